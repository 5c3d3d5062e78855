// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReviewSchedule.h"

#include <QFile>
#include <QTest>
#include <cmath>

namespace {

// One review step of fsrs-vectors.tsv: what was done, and what the reference made of it.
struct Step {
    int day = 0;
    Grade grade = Grade::Good;
    int elapsed = 0;
    double retrievability = 0; // before the review; NaN on the first
    double stability = 0;
    double difficulty = 0;
    int interval = 0;
    int due = 0;
    int reps = 0;
    int lapses = 0;
};

const QDate firstDay(2025, 1, 6); // day 0 of the file

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestMemoryModel : public QObject {
    Q_OBJECT
private slots:
    void agreesWithReference_data();
    void agreesWithReference();
    void retentionSetting_data();
    void retentionSetting();
};

void TestMemoryModel::agreesWithReference_data()
{
    QTest::addColumn<double>("retention");
    QTest::addColumn<QList<Step>>("steps");

    QFile file(QStringLiteral(VOKABO_FSRS_VECTORS));
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.errorString()));
    QMap<int, QList<Step>> cards;
    QMap<int, double> retentions;
    qsizetype count = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u"card")) {
            continue;
        }
        const QStringList f = line.split(u'\t');
        QCOMPARE(f.size(), 13);
        const int card = f[0].toInt();
        retentions[card] = f[1].toDouble();
        QCOMPARE(f[2].toInt(), cards[card].size());
        cards[card].append({f[3].toInt(), Grade(f[4].toInt()), f[5].toInt(),
                            f[6].isEmpty() ? std::nan("") : f[6].toDouble(), f[7].toDouble(), f[8].toDouble(),
                            f[9].toInt(), f[10].toInt(), f[11].toInt(), f[12].toInt()});
        ++count;
    }
    QVERIFY2(count >= 1000, qPrintable(QStringLiteral("only %1 review steps").arg(count)));
    for (auto card = cards.cbegin(); card != cards.cend(); ++card) {
        QTest::addRow("card %d", card.key()) << retentions[card.key()] << card.value();
    }
}

// Each word's reviews go through the program's own fold, so the dates, counts and rounding are checked
// together with the formulas; the memory carried from step to step is Vokabo's, not the file's.
void TestMemoryModel::agreesWithReference()
{
    QFETCH(double, retention);
    QFETCH(QList<Step>, steps);
    const MemoryModel model(retention);
    QCOMPARE(model.desiredRetention(), retention);

    std::optional<WordSchedule> word;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const Step& expected = steps[i];
        const QDate day = firstDay.addDays(expected.day);
        const QByteArray where = QByteArray("step ") + QByteArray::number(i);
        if (word) {
            QCOMPARE(word->lastReview.daysTo(day), expected.elapsed);
            const double r = model.retrievability(word->memory, expected.elapsed);
            QVERIFY2(std::abs(r - expected.retrievability) < 1e-4, where.constData());
        }
        word = afterReview(word, {day, expected.grade}, model);
        QVERIFY2(std::abs(word->memory.stability - expected.stability) < 1e-4,
                 (where + " stability " + QByteArray::number(word->memory.stability, 'g', 17)).constData());
        QVERIFY2(std::abs(word->memory.difficulty - expected.difficulty) < 1e-4,
                 (where + " difficulty " + QByteArray::number(word->memory.difficulty, 'g', 17)).constData());
        QCOMPARE(word->lastReview.daysTo(word->due), expected.interval);
        QCOMPARE(firstDay.daysTo(word->due), expected.due);
        QCOMPARE(word->reps, expected.reps);
        QCOMPARE(word->lapses, expected.lapses);
    }
}

void TestMemoryModel::retentionSetting_data()
{
    QTest::addColumn<double>("asked");
    QTest::addColumn<double>("used");
    QTest::newRow("lowest accepted") << 0.70 << 0.70;
    QTest::newRow("highest accepted") << 0.97 << 0.97;
    QTest::newRow("below") << 0.69 << 0.90;
    QTest::newRow("above") << 0.98 << 0.90;
    QTest::newRow("not a number") << std::nan("") << 0.90;
}

void TestMemoryModel::retentionSetting()
{
    QFETCH(double, asked);
    QFETCH(double, used);
    QCOMPARE(MemoryModel::acceptsRetention(asked), asked == used);
    QCOMPARE(MemoryModel(asked).desiredRetention(), used);
}

QTEST_APPLESS_MAIN(TestMemoryModel)
#include "tst_memorymodel.moc"
