// SPDX-License-Identifier: GPL-3.0-or-later
#include "Colours.h"
#include "MessageBox.h"
#include "StudyWindow.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

namespace {

using namespace TestSupport;

class NullSettings final : public SettingsFile {
public:
    QString ReadIniValue(const QString&, const QString&) const override { return {}; }
    IniSection ReadIniSection(const QString&) const override { return {}; }
    IniWriteResult WriteIniValue(const QString&, const QString&, const QString&) override { return {}; }
};

QString captionOf(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    return {};
}

} // namespace

class TestStudyWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutions(); }
    void init()
    {
        folder = std::make_unique<DataFolder>();
        window = std::make_unique<Form1>(settings, messages, clock);
    }
    void layout_data();
    void layout();
    void windowAndTabOrder();
    void modesAndNoticeHover();
    void wordsShowAsPlainText();
    void messageBoxHasOnlyOkAndNoIcon();
    void pronunciationKeys();
    void wideWordsAreDrawnSmaller_data();
    void wideWordsAreDrawnSmaller();
    void drillThatIsNotAUnitSaysSo_data();
    void drillThatIsNotAUnitSaysSo();

private:
    template <typename T = QWidget> T* control(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    // Opens a drill of one word and starts it.
    void startWord(const QString& chinese, const QString& english, DrillKind kind = DrillKind::Unit)
    {
        QVERIFY(writeUnit(folder->wordDatabase(), QStringLiteral("word1"), {{chinese, english}}));
        startAgain(kind);
    }
    // Opens the words of word1 again, as a drill of the given kind, and starts it.
    void startAgain(DrillKind kind)
    {
        auto opened = WordStore::open(folder->wordDatabase(), QStringLiteral("word1"));
        QVERIFY(std::holds_alternative<std::unique_ptr<Recordset>>(opened));
        window->openDrill(std::move(std::get<std::unique_ptr<Recordset>>(opened)), kind,
                          kind == DrillKind::Unit ? QStringLiteral("11") : QString());
        QTest::mouseClick(control("Command5"), Qt::LeftButton);
    }

    std::unique_ptr<DataFolder> folder;
    NullSettings settings;
    FixedClock clock;
    RecordingMessenger messages;
    std::unique_ptr<Form1> window;
};

void TestStudyWindow::layout_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<qreal>("songPoints"); // 0: the window's font
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("enabled");
    // clang-format off
    QTest::newRow("Command8") << "QPushButton" << "返回主界面" << QRect(8, 8, 89, 25) << 0.0 << false << true << true;
    QTest::newRow("Frame1") << "QGroupBox" << "" << QRect(208, 0, 169, 49) << 0.0 << false << true << true;
    QTest::newRow("Option1") << "QRadioButton" << "测试" << QRect(8, 16, 65, 17) << 0.0 << false << true << true;
    QTest::newRow("Option2") << "QRadioButton" << "练习" << QRect(88, 16, 49, 17) << 0.0 << false << true << true;
    QTest::newRow("Label1") << "QLabel" << "Vokabo" << QRect(552, 8, 57, 17) << 0.0 << false << true << true;
    QTest::newRow("rightSum") << "QLabel" << "" << QRect(208, 56, 201, 17) << 10.5 << false << true << true;
    QTest::newRow("Label2") << "QLabel" << "中文：" << QRect(168, 88, 49, 17) << 10.5 << false << true << true;
    QTest::newRow("Label4") << "QLabel" << "" << QRect(216, 80, 153, 25) << 14.25 << true << true << true;
    QTest::newRow("Label3") << "QLabel" << "答案：" << QRect(384, 88, 49, 17) << 10.5 << false << false << true;
    QTest::newRow("Label5") << "QLabel" << "" << QRect(432, 80, 129, 25) << 14.25 << true << false << true;
    QTest::newRow("Label6") << "QLabel" << "英文：" << QRect(168, 128, 44, 14) << 10.5 << false << true << true;
    QTest::newRow("Text6") << "QLineEdit" << "" << QRect(216, 120, 121, 26) << 14.25 << false << true << true;
    QTest::newRow("delCheck") << "QCheckBox" << "已完全掌握这个单词，从词库删除" << QRect(352, 128, 241, 25) << 10.5 << false << true << true;
    QTest::newRow("Label8") << "QLabel" << "填写正确会自动进入下一个" << QRect(184, 168, 169, 17) << 9.0 << true << true << true;
    QTest::newRow("Command5") << "QPushButton" << "开 始" << QRect(176, 192, 52, 25) << 10.5 << false << true << true;
    QTest::newRow("Command7") << "QPushButton" << "下一个" << QRect(240, 192, 116, 25) << 10.5 << false << true << false;
    QTest::newRow("Command6") << "QPushButton" << "投降了，看看答案" << QRect(376, 192, 137, 25) << 10.5 << false << true << false;
    QTest::newRow("Label7") << "QLabel" << "" << QRect(128, 232, 399, 19) << 0.0 << false << true << true;
    QTest::newRow("StatusBar1") << "QStatusBar" << "" << QRect(0, 276, 614, 25) << 0.0 << false << true << true;
    // clang-format on
}

void TestStudyWindow::layout()
{
    QFETCH(QString, className);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(qreal, songPoints);
    QFETCH(bool, bold);
    QFETCH(bool, visible);
    QFETCH(bool, enabled);
    QWidget* w = control(QTest::currentDataTag());
    QVERIFY(w);
    QCOMPARE(w->metaObject()->className(), className);
    QCOMPARE(captionOf(w), caption);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->font().family(), songPoints > 0 ? QStringLiteral("宋体") : window->font().family());
    if (songPoints > 0)
        QCOMPARE(w->font().pointSizeF(), songPoints);
    QCOMPARE(w->font().bold(), bold);
    QCOMPARE(w->isVisibleTo(window.get()), visible);
    QCOMPARE(w->isEnabled(), enabled);
}

void TestStudyWindow::windowAndTabOrder()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Vokabo1.0"));
    QCOMPARE(window->minimumSize(), QSize(614, 301));
    QCOMPARE(window->maximumSize(), QSize(614, 301));
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(control<QTimer>("Timer1")->interval(), 500);
    QVERIFY(!control<QTimer>("Timer1")->isActive());
    QVERIFY(control<QRadioButton>("Option1")->isChecked());

    QStringList order;
    QWidget* w = control("Command5");
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != control("Command5"));
    QCOMPARE(order, QStringList({"Command5", "Command7", "Text6", "Command6", "delCheck", "Command8",
                                 "Option1", "Option2"}));
    QCOMPARE(window->focusWidget(), control("Command5"));
}

void TestStudyWindow::modesAndNoticeHover()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTest::mouseClick(control("Option2"), Qt::LeftButton);
    QVERIFY(control("Label3")->isVisible() && control("Label5")->isVisible());
    QVERIFY(!control("rightSum")->isVisible());
    QTest::mouseClick(control("Option1"), Qt::LeftButton);
    QVERIFY(control("rightSum")->isVisible());

    auto* notice = control<QLabel>("Label1");
    QTest::mouseMove(notice, notice->rect().center());
    QTRY_VERIFY(notice->font().bold());
    QTest::mouseMove(control("Label8"), QPoint(5, 5)); // another control: stays bold
    QVERIFY(notice->font().bold());
    QTest::mouseMove(window.get(), QPoint(20, 150)); // the window's own surface
    QTRY_VERIFY(!notice->font().bold());
}

void TestStudyWindow::wordsShowAsPlainText()
{
    const QString markup = QStringLiteral("<b>x</b>");
    startWord(markup, markup);
    QTest::mouseClick(control("Option2"), Qt::LeftButton); // shows the answer
    for (const char* name : {"Label4", "Label5"}) {
        auto* label = control<QLabel>(name);
        QCOMPARE(label->text(), markup);
        // Shown as rich text, the markup would take the width of one letter.
        QVERIFY2(label->sizeHint().width() >= QFontMetrics(label->font()).horizontalAdvance(markup), name);
    }
}

void TestStudyWindow::messageBoxHasOnlyOkAndNoIcon()
{
    QStringList seen;
    QTimer::singleShot(0, this, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen << box->windowTitle() << box->text();
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        box->button(QMessageBox::Ok)->click();
    });
    MessageBoxMessenger().showMessage("恭喜您，终于完成练习了", "提示信息");
    QCOMPARE(seen, QStringList({"提示信息", "恭喜您，终于完成练习了"}));
}

void TestStudyWindow::pronunciationKeys()
{
    RecordingSpeaker speaker;
    window->engine().setSpeaker(&speaker);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    startWord(QStringLiteral("苹果"), QStringLiteral("apple")); // hidden, as in test mode
    auto* input = control<QLineEdit>("Text6");
    QTRY_COMPARE(QApplication::focusWidget(), input);
    QTest::keyClicks(input, QStringLiteral("ap"));

    QTest::keyClick(input, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(speaker.spoken, QStringList{"apple"});
    QCOMPARE(input->text(), QStringLiteral("ap"));

    auto* status = control<QStatusBar>("StatusBar1");
    auto* notice = status->findChild<QLabel*>();
    QVERIFY(notice->text().contains(QStringLiteral("Ctrl+J 朗读")));
    QSignalSpy messages(status, &QStatusBar::messageChanged);
    QTest::keyClick(input, Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(window->engine().autoSpeak());
    QCOMPARE(status->currentMessage(), QStringLiteral("自动朗读：开"));
    QVERIFY(!notice->isVisible());
    // The message goes by itself, and the notice comes back.
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 2, 30000);
    QCOMPARE(messages.last().first().toString(), QString());
    QVERIFY(notice->isVisible());
    QCOMPARE(speaker.spoken.size(), 1);

    speaker.unavailable = QStringLiteral("朗读不可用：没有声音服务");
    QTest::keyClick(input, Qt::Key_J, Qt::ControlModifier);
    QCOMPARE(status->currentMessage(), speaker.unavailable);
}

void TestStudyWindow::wideWordsAreDrawnSmaller_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("smaller");
    QTest::newRow("answer that fits") << "Label5"
                                      << "apple" << false;
    QTest::newRow("the course's widest answer") << "Label5"
                                                << "responsibility" << true;
    QTest::newRow("answer of two words") << "Label5"
                                         << "comprehensive infrastructure" << true;
    QTest::newRow("prompt that fits") << "Label4"
                                      << "（与主题）相关的" << false;
    QTest::newRow("prompt of twelve characters") << "Label4"
                                                 << "一二三四五六七八九十一二" << true;
}

void TestStudyWindow::wideWordsAreDrawnSmaller()
{
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(bool, smaller);
    startWord(text, text);
    QTest::mouseClick(control("Option2"), Qt::LeftButton); // shows the answer
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* shown = control<QLabel>(qPrintable(label));
    QCOMPARE(shown->text(), text);
    QCOMPARE(shown->font().pointSizeF() < 14.25, smaller);
    // Whole, on one line.
    QVERIFY(QFontMetricsF(shown->font()).horizontalAdvance(text) <= shown->contentsRect().width());
    QVERIFY(!shown->wordWrap());
}

void TestStudyWindow::drillThatIsNotAUnitSaysSo_data()
{
    QTest::addColumn<DrillKind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("summary"); // empty: no panel
    QTest::addColumn<QString>("progress");
    QTest::newRow("unit") << DrillKind::Unit << "Vokabo1.0"
                          << ""
                          << "当前单元中共有 1 个单词,当前为 第  1 个";
    QTest::newRow("error book") << DrillKind::ErrorBook << "Vokabo1.0 — 错题本"
                                << "错题本：1 个单词"
                                << "错题本中共有 1 个单词,当前为 第  1 个";
}

void TestStudyWindow::drillThatIsNotAUnitSaysSo()
{
    QFETCH(DrillKind, kind);
    QFETCH(QString, summary);
    // Another kind first, so that nothing of it stays.
    startWord(QStringLiteral("苹果"), QStringLiteral("apple"),
              kind == DrillKind::Unit ? DrillKind::ErrorBook : DrillKind::Unit);
    startAgain(kind);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTEST(window->windowTitle(), "title");
    auto* panel = control<QLabel>("drillSummary");
    QCOMPARE(panel->isVisible(), !summary.isEmpty());
    QCOMPARE(panel->text(), summary);
    QTEST(control<QLabel>("Label7")->text(), "progress");
}

QTEST_MAIN(TestStudyWindow)
#include "tst_studywindow.moc"
