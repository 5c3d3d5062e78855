// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuWindow.h"
#include "ReviewBands.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>

namespace {

const QDateTime Now(QDate(2024, 3, 20), QTime(10, 0));

QColor pixelAt(QWidget* w, QPoint at)
{
    return w->grab().toImage().pixelColor(at);
}

QString captionOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    if (auto* button = qobject_cast<QPushButton*>(w))
        return button->text();
    return {};
}

} // namespace

class TestMenuWindow : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void windowAndTabOrder();
    void reviewColours_data();
    void reviewColours();
    void unreadableIsToldApartFromEmpty();
    void tipOnlyOverFreeAreas_data();
    void tipOnlyOverFreeAreas();
};

void TestMenuWindow::layout_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");   // legend controls: inside Frame1
    QTest::addColumn<qreal>("songPoints"); // 0: the window's font
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("fill"); // swatches only
    const QColor none;
    // clang-format off
    const char* grid[5][4] = {{"Command1", "Command6", "Command7", "Command8"}, {"Command2", "Command9", "Command10", "Command11"},
                              {"Command3", "Command12", "Command13", "Command14"}, {"Command4", "Command15", "Command16", "Command17"},
                              {"Command5", "Command18", "Command19", "Command20"}};
    const char* numerals[] = {"一", "二", "三", "四", "五"};
    for (int level = 0; level < 5; ++level)
        for (int unit = 0; unit < 4; ++unit)
            QTest::newRow(grid[level][unit]) << QStringLiteral("%1级%2单元").arg(QString::fromUtf8(numerals[level])).arg(unit + 1)
                                             << QRect(8 + 88 * unit, 8 + 88 * level, 81, 81) << 10.5 << true << none;
    QTest::newRow("Frame1") << "说明" << QRect(368, 8, 193, 433) << 0.0 << false << none;
    QTest::newRow("Label1") << "学习状态" << QRect(56, 48, 121, 25) << 10.5 << true << none;
    QTest::newRow("Picture1") << "" << QRect(48, 96, 17, 17) << 0.0 << false << QColor(0, 192, 0);
    QTest::newRow("Label2") << "最佳" << QRect(80, 96, 81, 17) << 10.5 << false << none;
    QTest::newRow("Picture2") << "" << QRect(48, 128, 17, 17) << 0.0 << false << QColor(0, 0, 192);
    QTest::newRow("Label3") << "良好" << QRect(80, 128, 49, 17) << 10.5 << false << none;
    QTest::newRow("Picture3") << "" << QRect(48, 160, 17, 17) << 0.0 << false << QColor(192, 192, 0);
    QTest::newRow("Label4") << "一般" << QRect(80, 160, 57, 17) << 10.5 << false << none;
    QTest::newRow("Picture4") << "" << QRect(48, 192, 17, 17) << 0.0 << false << QColor(192, 0, 0);
    QTest::newRow("Label5") << "较差" << QRect(80, 192, 49, 17) << 10.5 << false << none;
    QTest::newRow("Picture5") << "" << QRect(48, 224, 17, 17) << 0.0 << false << QApplication::palette().color(QPalette::Button);
    QTest::newRow("Label7") << "未练习" << QRect(80, 224, 49, 17) << 10.5 << false << none;
    QTest::newRow("Label6") << "本软件会根据记忆曲线动态显示您的学习状态，请尽可能保持好的学习状态，这样才能更快更牢固的学习好英语哦！"
                            << QRect(16, 304, 161, 49) << 0.0 << false << none;
    // clang-format on
}

void TestMenuWindow::layout()
{
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(qreal, songPoints);
    QFETCH(bool, bold);
    QFETCH(QColor, fill);
    Form2 window;
    QWidget* w = window.findChild<QWidget*>(QLatin1String(QTest::currentDataTag()));
    QVERIFY(w);
    QCOMPARE(captionOf(w), caption);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->font().family(), songPoints > 0 ? QStringLiteral("宋体") : window.font().family());
    if (songPoints > 0)
        QCOMPARE(w->font().pointSizeF(), songPoints);
    QCOMPARE(w->font().bold(), bold);
    if (fill.isValid())
        QCOMPARE(pixelAt(w, w->rect().center()), fill);
}

void TestMenuWindow::windowAndTabOrder()
{
    Form2 window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Vokabo1.0"));
    QCOMPARE(window.size(), QSize(577, 450));
    QVERIFY(window.minimumSize() != window.maximumSize());

    QStringList order;
    QWidget* first = window.findChild<QWidget*>("Command1");
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first);
    QStringList expected;
    for (int n = 1; n <= 8; ++n)
        expected << QStringLiteral("Command%1").arg(n);
    expected << QStringList{"Picture1", "Picture2", "Picture3", "Picture4", "Picture5"};
    for (int n = 9; n <= 20; ++n)
        expected << QStringLiteral("Command%1").arg(n);
    QCOMPARE(order, expected);
    QCOMPARE(window.focusWidget(), first);

    window.Form_Load(mdlINI(QDir::tempPath() + "/vokabo-no-such-dir"), Now);
    QCOMPARE(window.frameGeometry().center(), window.screen()->geometry().center());
}

void TestMenuWindow::reviewColours_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QColor>("expected"); // invalid: the plain button face
    const QColor green(0, 192, 0), blue(0, 0, 192), olive(192, 192, 0), red(192, 0, 0);
    QTest::newRow("0, earlier today") << "2024/3/20 9:59:59" << green;
    QTest::newRow("0, later today") << "2024/3/20 23:00:00" << green;
    QTest::newRow("1, 23:59 yesterday") << "2024/3/19 23:59:00" << green;
    QTest::newRow("3, at midnight") << "2024/3/17" << green;
    QTest::newRow("4") << "2024/3/16 10:00:01" << blue;
    QTest::newRow("6") << "2024/3/14 8:00:00" << blue;
    QTest::newRow("7") << "2024/3/13 10:00:00" << olive;
    QTest::newRow("14") << "2024/3/6 10:00:00" << olive;
    QTest::newRow("15") << "2024/3/5 10:00:00" << red;
    QTest::newRow("negative") << "2024/4/1 10:00:00" << green;
    QTest::newRow("empty value") << "" << QColor();
    QTest::newRow("unreadable value") << "yesterday" << QColor();
}

void TestMenuWindow::reviewColours()
{
    QFETCH(QString, stored);
    QFETCH(QColor, expected);
    QTemporaryDir dir;
    QFile ini(dir.filePath("Syset.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[LastDate]\r\n34=%1\r\n").arg(stored).toLatin1());
    ini.close();

    Form2 window;
    window.Form_Load(mdlINI(dir.path()), Now);
    QWidget* button = window.findChild<QWidget*>("Command14"); // unit 34
    const QColor face = expected.isValid() ? expected : button->palette().color(QPalette::Button);
    // The fill has to show whatever the widget style.
    for (const QString& style : QStyleFactory::keys()) {
        std::unique_ptr<QStyle> owned(QStyleFactory::create(style));
        button->setStyle(owned.get());
        QCOMPARE(pixelAt(button, {10, 10}), face);
        QCOMPARE(pixelAt(button, {70, 70}), face);
        button->setStyle(nullptr);
    }
    // Every other unit has no date and stays plain.
    QWidget* other = window.findChild<QWidget*>("Command1");
    QCOMPARE(pixelAt(other, {10, 10}), other->palette().color(QPalette::Button));
}

void TestMenuWindow::unreadableIsToldApartFromEmpty()
{
    bool unreadable = false;
    QCOMPARE(bandOfStoredMoment("2024/13/40", Now, &unreadable), std::nullopt);
    QVERIFY(unreadable);
    QCOMPARE(bandOfStoredMoment("", Now, &unreadable), std::nullopt);
    QVERIFY(!unreadable);
}

QTEST_MAIN(TestMenuWindow)
#include "tst_menuwindow.moc"

void TestMenuWindow::tipOnlyOverFreeAreas_data()
{
    QTest::addColumn<QString>("under"); // the control, or the window itself
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("tip");
    QTest::newRow("between the buttons") << "Form2" << QPoint(92, 40) << true;
    QTest::newRow("the legend") << "Label6" << QPoint(10, 10) << true;
    QTest::newRow("a unit button") << "Command13" << QPoint(40, 40) << false;
}

void TestMenuWindow::tipOnlyOverFreeAreas()
{
    QFETCH(QString, under);
    QFETCH(QPoint, at);
    QFETCH(bool, tip);
    Form2 window;
    window.setToolTip(QStringLiteral("右键或 F5：复习错题本；F6：学习统计"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* target = under == window.objectName() ? &window : window.findChild<QWidget*>(under);
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &help);
    QTRY_COMPARE(QToolTip::text(), tip ? window.toolTip() : QString());
}
