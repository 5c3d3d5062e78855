// SPDX-License-Identifier: GPL-3.0-or-later
#include "DateText.h"

#include <QtTest>
#include <ctime>

class DateTextTest : public QObject {
    Q_OBJECT

private slots:
    void format_data();
    void format();
    void parse_data();
    void parse();
    void roundTripKeepsTheDay();
    void dayStartingInADaylightSavingGap_data();
    void dayStartingInADaylightSavingGap();
};

void DateTextTest::format_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("text");

    QTest::newRow("afternoon") << QDateTime(QDate(2017, 11, 1), QTime(14, 5, 9)) << "2017/11/1 14:05:09";
    QTest::newRow("midnight: date alone") << QDateTime(QDate(2017, 11, 1), QTime(0, 0)) << "2017/11/1";
    QTest::newRow("single-digit month, day, hour")
        << QDateTime(QDate(2018, 1, 2), QTime(3, 4, 5)) << "2018/1/2 3:04:05";
    QTest::newRow("one second after midnight")
        << QDateTime(QDate(2018, 1, 2), QTime(0, 0, 1)) << "2018/1/2 0:00:01";
    QTest::newRow("one minute after midnight")
        << QDateTime(QDate(2018, 1, 2), QTime(0, 1, 0)) << "2018/1/2 0:01:00";
    QTest::newRow("noon is 24-hour") << QDateTime(QDate(2018, 12, 31), QTime(12, 0, 0))
                                     << "2018/12/31 12:00:00";
    QTest::newRow("evening is 24-hour")
        << QDateTime(QDate(2018, 12, 31), QTime(23, 59, 59)) << "2018/12/31 23:59:59";
    QTest::newRow("leap day") << QDateTime(QDate(2020, 2, 29), QTime(8, 30, 0)) << "2020/2/29 8:30:00";
    QTest::newRow("year below 1000") << QDateTime(QDate(17, 1, 1), QTime(9, 0)) << "0017/1/1 9:00:00";
    QTest::newRow("UTC moment keeps its own date")
        << QDateTime(QDate(2019, 6, 30), QTime(23, 30, 0), QTimeZone::utc()) << "2019/6/30 23:30:00";
}

void DateTextTest::format()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, text);
    QCOMPARE(formatMomentText(moment), text);
    const std::optional<QDateTime> back = parseMomentText(text);
    QVERIFY(back);
    QCOMPARE(back->date(), moment.date());
}

void DateTextTest::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");

    const QDate nov1(2017, 11, 1);
    const QTime afternoon(14, 5, 9);
    const QTime midnight(0, 0);
    QTest::newRow("written form") << "2017/11/1 14:05:09" << true << nov1 << afternoon;
    QTest::newRow("date alone") << "2017/11/1" << true << nov1 << midnight;
    QTest::newRow("dashes and leading zeros") << "2017-11-01 14:05:09" << true << nov1 << afternoon;
    QTest::newRow("slashes and leading zeros") << "2017/11/01" << true << nov1 << midnight;
    QTest::newRow("leading zero hour")
        << "2017/01/02 04:05:09" << true << QDate(2017, 1, 2) << QTime(4, 5, 9);
    QTest::newRow("single-digit hour") << "2017/1/2 4:05:09" << true << QDate(2017, 1, 2) << QTime(4, 5, 9);
    QTest::newRow("dashes, date alone") << "2017-1-2" << true << QDate(2017, 1, 2) << midnight;
    QTest::newRow("ISO 8601") << "2017-11-01T14:05:09" << true << nov1 << afternoon;
    QTest::newRow("ISO 8601 with milliseconds")
        << "2017-11-01T14:05:09.250" << true << nov1 << QTime(14, 5, 9, 250);
    QTest::newRow("leap day") << "2016/2/29 23:59:59" << true << QDate(2016, 2, 29) << QTime(23, 59, 59);
    QTest::newRow("last second of the year")
        << "2017/12/31 23:59:59" << true << QDate(2017, 12, 31) << QTime(23, 59, 59);

    // As Windows writes them under Chinese regional settings.
    const QDate mar20(2024, 3, 20);
    QTest::newRow("Windows: slashes") << "2024/3/20 9:05:09" << true << mar20 << QTime(9, 5, 9);
    QTest::newRow("Windows: dashes") << "2024-3-20 9:05:09" << true << mar20 << QTime(9, 5, 9);
    QTest::newRow("Windows: afternoon") << "2024/3/20 下午 2:05:09" << true << mar20 << QTime(14, 5, 9);
    QTest::newRow("Windows: morning") << "2024/3/20 上午 9:05:09" << true << mar20 << QTime(9, 5, 9);
    QTest::newRow("Windows: 12 noon") << "2024/3/20 下午 12:05:09" << true << mar20 << QTime(12, 5, 9);
    QTest::newRow("Windows: 12 midnight") << "2024/3/20 上午 12:05:09" << true << mar20 << QTime(0, 5, 9);
    QTest::newRow("Windows: dots") << "2024.3.20 9:05:09" << true << mar20 << QTime(9, 5, 9);
    QTest::newRow("Windows: date alone") << "2024/3/20" << true << mar20 << midnight;
    QTest::newRow("Windows: two-digit year") << "24/3/20 9:05:09" << true << mar20 << QTime(9, 5, 9);
    QTest::newRow("two-digit year of the last century")
        << "98/3/20" << true << QDate(1998, 3, 20) << midnight;

    const QDate none;
    const QTime never;
    QTest::newRow("empty") << "" << false << none << never;
    QTest::newRow("blank") << "   " << false << none << never;
    QTest::newRow("word") << "yesterday" << false << none << never;
    QTest::newRow("month 13") << "2017/13/1" << false << none << never;
    QTest::newRow("month 0") << "2017/0/1" << false << none << never;
    QTest::newRow("day 0") << "2017/11/0" << false << none << never;
    QTest::newRow("February 30") << "2017/2/30" << false << none << never;
    QTest::newRow("February 29 of a common year") << "2015/2/29" << false << none << never;
    QTest::newRow("time alone") << "14:05:09" << false << none << never;
    QTest::newRow("hour 24") << "2017/11/1 24:00:00" << false << none << never;
    QTest::newRow("minute 60") << "2017/11/1 14:60:00" << false << none << never;
    QTest::newRow("second 60") << "2017/11/1 14:05:60" << false << none << never;
    QTest::newRow("mixed separators") << "2017/11-1" << false << none << never;
    QTest::newRow("three-digit year") << "217/11/1" << false << none << never;
    QTest::newRow("afternoon hour 13") << "2024/3/20 下午 13:05:09" << false << none << never;
    QTest::newRow("morning hour 0") << "2024/3/20 上午 0:05:09" << false << none << never;
    QTest::newRow("marker without a time") << "2024/3/20 下午" << false << none << never;
    QTest::newRow("day first") << "1/11/2017" << false << none << never;
    QTest::newRow("trailing words") << "2017/11/1 14:05:09 later" << false << none << never;
    QTest::newRow("ISO with bad hour") << "2017-11-01T25:05:09" << false << none << never;
}

void DateTextTest::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QDate, date);
    QFETCH(QTime, time);

    const std::optional<QDateTime> moment = parseMomentText(text);
    QCOMPARE(moment.has_value(), valid);
    if (!valid)
        return;
    QVERIFY(moment->isValid());
    QCOMPARE(moment->date(), date);
    QCOMPARE(moment->time(), time);
}

void DateTextTest::roundTripKeepsTheDay()
{
    // Every 97 hours and 13 seconds across three decades, so hours, minutes and seconds all vary, plus the
    // midnights, which are written without a time.
    const QDateTime first(QDate(2000, 1, 1), QTime(0, 0));
    const QDateTime last(QDate(2030, 12, 31), QTime(23, 59, 59));
    int checked = 0;
    for (QDateTime moment = first; moment <= last; moment = moment.addSecs(97 * 3600 + 13)) {
        for (const QDateTime& m : {moment, moment.date().startOfDay()}) {
            const QString text = formatMomentText(m);
            const std::optional<QDateTime> back = parseMomentText(text);
            QVERIFY2(back.has_value(), qPrintable(text));
            QCOMPARE(back->date(), m.date());
            QCOMPARE(back->time(), m.time());
            ++checked;
        }
    }
    QVERIFY(checked > 5000);
}

void DateTextTest::dayStartingInADaylightSavingGap_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");

    // In Sao Paulo the clocks went from 0:00 to 1:00 on 4 November 2018: that day had no midnight.
    QTest::newRow("date alone") << "2018/11/4" << QDate(2018, 11, 4);
    QTest::newRow("time inside the gap") << "2018/11/4 0:30:00" << QDate(2018, 11, 4);
    QTest::newRow("first real time") << "2018/11/4 1:00:00" << QDate(2018, 11, 4);
}

void DateTextTest::dayStartingInADaylightSavingGap()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);

    const QByteArray savedZone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const auto restore = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", savedZone);
        else
            qunsetenv("TZ");
        tzset();
    });
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    if (QDateTime(QDate(2018, 11, 4), QTime(12, 0)).offsetFromUtc() != -2 * 3600)
        QSKIP("the time zone database has no America/Sao_Paulo");

    // The learner's day must come back as a real moment on that day, never as an invalid one.
    const std::optional<QDateTime> moment = parseMomentText(text);
    QVERIFY(moment.has_value());
    QVERIFY(moment->isValid());
    QCOMPARE(moment->date(), date);
}

QTEST_GUILESS_MAIN(DateTextTest)
#include "tst_datetext.moc"
