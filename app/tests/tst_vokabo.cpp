// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppShell.h"
#include "FieldCipher.h"
#include "HistoryFile.h"
#include "LearningRecord.h"
#include "MemoryModel.h"
#include "MessageBox.h"
#include "ProgramModule.h"
#include "Snapshots.h"
#include "TestSupport.h"
#include "WordStore.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextToSpeech>
#include <QtTest>
#include <unistd.h>

namespace {

const QDateTime Now(QDate(2024, 3, 20), QTime(10, 0));

using TestSupport::RecordingMessenger;

struct FixedClock final : Clock {
    QDateTime now() const override { return moment; }
    QDateTime moment = Now;
};

// A word database in the program's format, with the given units' words (unit table -> prompt, answer).
bool makeDatabase(const QString& file, const QMap<QString, QList<QPair<QString, QString>>>& units)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery query(db);
        for (auto unit = units.begin(); ok && unit != units.end(); ++unit) {
            ok = query.exec(
                QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, chinese TEXT, english TEXT)")
                    .arg(unit.key()));
            // The fields are hexadecimal digits, safe inside quotes.
            for (const auto& [prompt, answer] : unit.value())
                ok = ok && query.exec(QStringLiteral("INSERT INTO %1 (chinese, english) VALUES ('%2', '%3')")
                                          .arg(unit.key(), *encodeField(prompt), *encodeField(answer)));
        }
    }
    QSqlDatabase::removeDatabase("maker");
    return ok;
}

QByteArray bytesOf(const QString& file)
{
    QFile read(file);
    return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
}

// The page of the first unit table overwritten, the file's header kept: quick_check fails.
bool damage(const QString& database)
{
    QFile file(database);
    return file.open(QIODevice::ReadWrite) && file.size() > 8192 && file.seek(4096) &&
           file.write(QByteArray(4096, 'x')) == 4096;
}

template <typename T = QWidget> T* control(QWidget* window, const char* name)
{
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

} // namespace

class TestVokabo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { installFontSubstitutions(); }
    void wholeUnitThroughTheWindows();
    void unitThatCannotBeOpened_data();
    void unitThatCannotBeOpened();
    void closingEitherWindowEnds_data();
    void closingEitherWindowEnds();
    void iconAndFonts();
    void ctrlJSpeaksTheWordOfAStartedDrill();
    void speakerWithoutItsModuleSaysWhyOnce();
    void errorBookFromTheMenu();
    void recordThatCannotBeSaved();
    void errorBookEntryWaitsForTheBook();
    void eventsLostAtTheEndAreSaid();
    void damagedWordDatabaseAtStart_data();
    void damagedWordDatabaseAtStart();
    void reviewsFollowTheFirstDrill();
};

void TestVokabo::wholeUnitThroughTheWindows()
{
    QTemporaryDir dir;
    const QString database = WordStore::databasePath(dir.path());
    QVERIFY(makeDatabase(database, {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}, {"樱桃", "cherry"}}},
                                    {"word5", {{"老虎", "tiger"}, {"狮子", "lion"}}}}));
    // The real message box, closed the way a learner would; the study window's timer ticks behind it, so
    // the input must already be cleared when it opens.
    QStringList boxes;
    QTimer closer;
    Form1* study = nullptr;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text() << control<QLineEdit>(study, "Text6")->text()
                  << control<QLabel>(study, "Label4")->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(50);
    MessageBoxMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    Form2& menu = shell.menuWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&menu));

    QTest::mouseClick(control(&menu, "Command1"), Qt::LeftButton);
    study = shell.studyWindow();
    QVERIFY(study && study->isVisible());
    QVERIFY(!menu.isVisible());
    QCOMPARE(shell.shared().UnitCode, QStringLiteral("11"));
    QCOMPARE(shell.shared().UnitTable, QStringLiteral("word1"));

    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    auto* prompt = control<QLabel>(study, "Label4");
    auto* input = control(study, "Text6");
    QCOMPARE(prompt->text(), QStringLiteral("苹果"));
    QCOMPARE(study->focusWidget(), input);
    QTest::keyClicks(input, "apple");
    QTRY_COMPARE(prompt->text(), QStringLiteral("香蕉"));
    auto* delCheck = control<QCheckBox>(study, "delCheck");
    QTest::mouseClick(delCheck, Qt::LeftButton, {}, QPoint(8, delCheck->height() / 2));
    QTRY_COMPARE(delCheck->text(), QStringLiteral("填写正确后将删除此单词"));
    QCOMPARE(delCheck->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QTest::keyClicks(input, "banana");
    QTRY_COMPARE(prompt->text(), QStringLiteral("樱桃"));
    QTRY_COMPARE(delCheck->text(), QStringLiteral("已完全掌握这个单词，从词库删除"));
    QVERIFY(!delCheck->isChecked());
    QTest::keyClicks(input, "cherry");
    QTRY_COMPARE(boxes, QStringList({"恭喜您，终于完成练习了", "", "樱桃"}));
    QTRY_COMPARE(prompt->text(), QString());
    QVERIFY(!control(study, "Command7")->isEnabled() && !control(study, "Command6")->isEnabled());
    QVERIFY(!control<QTimer>(study, "Timer1")->isActive());
    QCOMPARE(mdlINI(dir.path()).ReadIniValue("LastDate", "11"), QStringLiteral("2024/3/20 10:00:00"));
    auto reread = WordStore::open(database, "word1");
    QCOMPARE(std::get<std::unique_ptr<Recordset>>(reread)->RecordCount(), 2);

    QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
    QVERIFY(menu.isVisible() && !study->isVisible());
    QVERIFY(study->engine().returnPending());

    QTest::mouseClick(control(&menu, "Command2"), Qt::LeftButton);
    QCOMPARE(shell.studyWindow(), study);
    QVERIFY(study->isVisible() && !menu.isVisible());
    QCOMPARE(shell.shared().UnitTable, QStringLiteral("word5"));
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    QCOMPARE(prompt->text(), QStringLiteral("老虎"));
    QTest::keyClicks(input, "tiger");
    QTRY_COMPARE(prompt->text(), QStringLiteral("狮子"));
}

void TestVokabo::unitThatCannotBeOpened_data()
{
    QTest::addColumn<QByteArray>("fileContent"); // empty: a database with unit 11 only; "-": no file
    QTest::addColumn<QString>("reason");
    QTest::newRow("database missing") << QByteArray("-") << "找不到词库文件";
    QTest::newRow("not a word database") << QByteArray(4096, 'x') << "不是词库文件";
    QTest::newRow("table missing") << QByteArray() << "词库中没有本单元的单词表 word20";
}

void TestVokabo::unitThatCannotBeOpened()
{
    QFETCH(QByteArray, fileContent);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString database = WordStore::databasePath(dir.path());
    if (fileContent.isEmpty()) {
        QVERIFY(makeDatabase(database, {{"word1", {{"苹果", "apple"}}}}));
    } else if (fileContent != "-") {
        QFile file(database);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(fileContent) == fileContent.size());
    }
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    QTest::mouseClick(control(&shell.menuWindow(), "Command20"), Qt::LeftButton);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, QStringLiteral("提示信息"));
    QVERIFY2(messages.shown[0].text.contains("五级4单元") && messages.shown[0].text.contains(reason),
             qPrintable(messages.shown[0].text));
    QVERIFY(shell.menuWindow().isVisible() && shell.menuWindow().isEnabled());
    QVERIFY(!shell.studyWindow() || !shell.studyWindow()->isVisible());
}

void TestVokabo::closingEitherWindowEnds_data()
{
    QTest::addColumn<bool>("openUnit");
    QTest::addColumn<bool>("returnFirst");
    QTest::addColumn<QString>("closed");
    QTest::newRow("menu, nothing opened") << false << false << "Form2";
    QTest::newRow("study window") << true << false << "Form1";
    QTest::newRow("menu after a return") << true << true << "Form2";
}

void TestVokabo::closingEitherWindowEnds()
{
    QFETCH(bool, openUnit);
    QFETCH(bool, returnFirst);
    QFETCH(QString, closed);
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()), {{"word1", {{"苹果", "apple"}}}}));
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    QSignalSpy ended(&shell, &AppShell::ended);
    shell.start();
    if (openUnit)
        shell.OpenUnit("11", "word1");
    if (returnFirst)
        shell.Command8_Click();
    QWidget* window = closed == "Form1" ? static_cast<QWidget*>(shell.studyWindow()) : &shell.menuWindow();
    QVERIFY(window->close());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(shell.studyWindow() != nullptr, openUnit);
    if (shell.studyWindow())
        QVERIFY(!shell.studyWindow()->engine().isOpen());
    QVERIFY(!shell.menuWindow().isVisible());
}

void TestVokabo::iconAndFonts()
{
    QTemporaryDir dir;
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.OpenUnit("11", "word1"); // no database: the study window exists but stays hidden
    for (QWidget* window :
         {static_cast<QWidget*>(&shell.menuWindow()), static_cast<QWidget*>(shell.studyWindow())}) {
        const QIcon icon = window->windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)) &&
                icon.availableSizes().contains(QSize(16, 16)));
        const QImage image = icon.pixmap(32).toImage();
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        const QColor middle = image.pixelColor(16, 16);
        QVERIFY(middle.blue() > middle.red() || middle.green() > middle.red());
    }
    QCOMPARE(QFontInfo(QFont(QStringLiteral("宋体"))).family(), QStringLiteral("Noto Serif CJK SC"));
}

void TestVokabo::ctrlJSpeaksTheWordOfAStartedDrill()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()), {{"word1", {{"苹果", "apple"}}}}));
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    shell.OpenUnit("11", "word1");
    Form1* study = shell.studyWindow();
    QVERIFY(QTest::qWaitForWindowActive(study));
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    // Nothing of the engine exists before the first word is to be spoken.
    QCOMPARE(shell.speaker().findChild<QTextToSpeech*>(), nullptr);
    // A machine may lack an engine or sound, but the program never lacks its module.
    QLibrary module;
    if (const auto loaded = loadProgramModule<CreateSpeaker>(module, SpeechModuleName);
        const auto* problem = std::get_if<Failure>(&loaded))
        QFAIL(qPrintable(problem->detail));

    QTest::keyClick(control(study, "Text6"), Qt::Key_J, Qt::ControlModifier);
    auto* engine = shell.speaker().findChild<QTextToSpeech*>();
    if (!engine)
        QSKIP("no speech engine with audio output here (see the line on stderr)");
    // The engine's own signals reach this thread from its worker, so none has been missed yet.
    QSignalSpy states(engine, &QTextToSpeech::stateChanged);
    QTRY_VERIFY_WITH_TIMEOUT(states.contains({QVariant::fromValue(QTextToSpeech::Speaking)}), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(engine->state(), QTextToSpeech::Ready, 20000);
    QCOMPARE(control<QLabel>(study, "Label4")->text(), QStringLiteral("苹果")); // the drill goes on
}

void TestVokabo::speakerWithoutItsModuleSaysWhyOnce()
{
    TestSupport::StderrCapture captured;
    QString reason;
    {
        ModuleSpeaker speaker("vokabo_missing_module");
        for (int press = 0; press < 3; ++press)
            speaker.speak(QStringLiteral("apple"));
        reason = speaker.unavailableReason();
    }
    QVERIFY2(reason.startsWith(QStringLiteral("朗读不可用：")) && reason.contains("vokabo_missing_module"),
             qPrintable(reason));
    const QStringList lines = QString::fromUtf8(captured.text()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.front().startsWith(QStringLiteral("vokabo: pronunciation is off:")) &&
                 lines.front().contains(QStringLiteral("vokabo_missing_module")),
             qPrintable(lines.front()));
}

// The entries of an open menu, each with whether it can be chosen.
QStringList menuEntries(const QMenu& popup)
{
    QStringList entries;
    for (const QAction* action : popup.actions())
        entries << action->text() + (action->isEnabled() ? "" : " (disabled)");
    return entries;
}

// The right-click menu of the menu window, opened over a unit button: its entries once the error book has
// been read; `opened` is given them as the menu first shows. The menu is closed again.
QStringList rightClickMenu(Form2& menu, const std::function<void(const QStringList&)>& opened = {})
{
    QStringList entries;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, &menu, [&] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!popup)
            return;
        const bool first = entries.isEmpty();
        entries = menuEntries(*popup);
        if (first && opened)
            opened(entries);
        if (!entries.join(' ').contains(QStringLiteral("读取中")) || waited.elapsed() > 5000) {
            poll.stop();
            popup->close();
        }
    });
    poll.start(10);
    QWidget* button = control(&menu, "Command7");
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10), button->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(button, &click);
    // The offscreen platform gives the focus back to no window when a popup closes.
    menu.activateWindow();
    if (!QTest::qWaitForWindowActive(&menu))
        entries << "menu window not active";
    return entries;
}

void TestVokabo::errorBookFromTheMenu()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(
        WordStore::databasePath(dir.path()),
        {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}, {"樱桃", "cherry"}, {"葡萄", "grape"}}}}));
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    Form2& menu = shell.menuWindow();
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QCOMPARE(rightClickMenu(menu),
             QStringList({"复习错题本（0个） (disabled)", "今日复习（0个） (disabled)", "学习统计"}));
    QTest::keyClick(&menu, Qt::Key_F5);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("错题本是空的"));

    // A unit drill that passes over two words and reveals one.
    QTest::mouseClick(control(&menu, "Command1"), Qt::LeftButton);
    Form1* study = shell.studyWindow();
    auto* prompt = control<QLabel>(study, "Label4");
    auto* input = control(study, "Text6");
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    QTest::mouseClick(control(study, "Command7"), Qt::LeftButton);
    QTest::keyClicks(input, "banana");
    QTRY_COMPARE(prompt->text(), QStringLiteral("樱桃"));
    QTest::mouseClick(control(study, "Command6"), Qt::LeftButton);
    QTest::keyClicks(input, "cherry");
    QTRY_COMPARE(prompt->text(), QStringLiteral("葡萄"));
    QTest::mouseClick(control(study, "Command7"), Qt::LeftButton);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("恭喜您，终于完成练习了"));
    const QString completed = mdlINI(dir.path()).ReadIniValue("LastDate", "11");
    QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QCOMPARE(rightClickMenu(menu),
             QStringList({"复习错题本（3个）", "今日复习（0个） (disabled)", "学习统计"}));

    // Two clean drills of the error book, a day later, empty it and leave the unit's date alone.
    clock.moment = Now.addDays(1);
    for (int drill = 0; drill < 2; ++drill) {
        QTest::keyClick(&menu, Qt::Key_F5);
        QVERIFY(study->isVisible() && !menu.isVisible());
        QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
        QCOMPARE(control<QLabel>(study, "Label7")->text(),
                 QStringLiteral("错题本中共有 3 个单词,当前为 第  1 个"));
        QCOMPARE(study->windowTitle(), QStringLiteral("Vokabo1.0 — 错题本"));
        QCOMPARE(control<QLabel>(study, "drillSummary")->text(), QStringLiteral("错题本：3 个单词"));
        for (const auto& [meaning, word] :
             {std::pair{"苹果", "apple"}, {"樱桃", "cherry"}, {"葡萄", "grape"}}) {
            QTRY_COMPARE(prompt->text(), QString::fromUtf8(meaning));
            QTest::keyClicks(input, word);
        }
        QTRY_COMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.takeLast().text, QStringLiteral("恭喜您，终于完成练习了"));
        QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
    }
    QCOMPARE(mdlINI(dir.path()).ReadIniValue("LastDate", "11"), completed);
    QCOMPARE(rightClickMenu(menu),
             QStringList({"复习错题本（0个） (disabled)", "今日复习（0个） (disabled)", "学习统计"}));
    QTest::keyClick(&menu, Qt::Key_F5);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("错题本是空的"));

    // The statistics window, from the module beside the program.
    QTest::keyClick(&menu, Qt::Key_F6);
    QWidget* statistics = shell.learning().statisticsWindow();
    QVERIFY2(statistics, qPrintable(messages.shown.isEmpty() ? QString() : messages.shown.last().text));
    QVERIFY(QTest::qWaitForWindowExposed(statistics));
    QCOMPARE(statistics->windowTitle(), QStringLiteral("学习统计"));
    auto* units = statistics->findChild<QTableWidget*>("unitTable");
    // What the record had still to write is shown once it is written.
    QTRY_COMPARE(units->item(0, 3)->text(), QStringLiteral("1")); // error-book drills are no unit's
    QTRY_COMPARE(units->item(0, 6)->text(), QStringLiteral("0"));
    QTRY_COMPARE(statistics->findChild<QTableWidget*>("missedWords")->rowCount(), 3);
}

void TestVokabo::recordThatCannotBeSaved()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()),
                         {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}}}}));
    QVERIFY(QDir(dir.path()).mkdir("History.db"));
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    shell.OpenUnit("11", "word1");
    Form1* study = shell.studyWindow();
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    QTest::mouseClick(control(study, "Command7"), Qt::LeftButton);
    QTRY_COMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, QStringLiteral("提示信息"));
    QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("学习记录无法保存：")),
             qPrintable(messages.shown[0].text));
    // The drill goes on, and says so no more.
    QTest::keyClicks(control(study, "Text6"), "banana");
    QTRY_COMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown[1].text, QStringLiteral("恭喜您，终于完成练习了"));
    // Once the record has tried everything, and what it posted has arrived, nothing more has been said.
    QTRY_VERIFY(shell.learning().record()->isSettled());
    QCoreApplication::processEvents();
    QCOMPARE(messages.shown.size(), 2);
}

void TestVokabo::errorBookEntryWaitsForTheBook()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()),
                         {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}}}}));
    const QString history = HistoryFile::path(dir.path());
    {
        // An earlier run passed over "apple".
        LearningRecord record(history);
        DrillEvent passed;
        passed.kind = DrillEvent::Kind::Passed;
        passed.at = Now;
        passed.word = {{"word1", 1}, *encodeField("苹果"), *encodeField("apple")};
        record.drillEvent(passed);
        QVERIFY(record.flush());
    }
    // Another program keeps the record from being read for now.
    QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
    holder.setDatabaseName(history);
    QVERIFY(holder.open() && QSqlQuery(holder).exec("PRAGMA locking_mode=EXCLUSIVE") &&
            QSqlQuery(holder).exec("BEGIN EXCLUSIVE"));
    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    Form2& menu = shell.menuWindow();
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QTest::keyClick(&menu, Qt::Key_F5);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("错题本正在读取…"));
    QStringList whileReading;
    const QStringList entries = rightClickMenu(menu, [&](const QStringList& first) {
        whileReading = first;
        holder.close();
    });
    QCOMPARE(whileReading,
             QStringList({"复习错题本（读取中…） (disabled)", "今日复习（读取中…） (disabled)", "学习统计"}));
    QCOMPARE(entries, QStringList({"复习错题本（1个）", "今日复习（0个） (disabled)",
                                   "学习统计"})); // in the menu still open
    QVERIFY(messages.shown.isEmpty());
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase("holder");
}

void TestVokabo::eventsLostAtTheEndAreSaid()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()), {{"word1", {{"苹果", "apple"}}}}));
    QVERIFY(QDir(dir.path()).mkdir("History.db"));
    QVERIFY(QDir(dir.path()).mkdir("History.db.journal"));
    RecordingMessenger messages;
    FixedClock clock;
    {
        AppShell shell(dir.path(), messages, clock);
        shell.start();
        shell.OpenUnit("11", "word1");
        QTest::mouseClick(control(shell.studyWindow(), "Command5"), Qt::LeftButton);
        QTRY_COMPARE(messages.shown.size(), 1); // the record cannot be saved
    }
    QCOMPARE(messages.shown.size(), 2);
    QVERIFY2(messages.shown[1].text.startsWith(QStringLiteral("学习记录无法保存：")) &&
                 messages.shown[1].text.contains(QStringLiteral("History.db.journal")),
             qPrintable(messages.shown[1].text));
}

void TestVokabo::damagedWordDatabaseAtStart_data()
{
    QTest::addColumn<bool>("snapshot");
    QTest::addColumn<bool>("accept");
    // What comes first: the menu window's paint, a unit opened or a key pressed before it.
    QTest::addColumn<QString>("first");
    QTest::newRow("restored") << true << true << "paint";
    QTest::newRow("restored before a unit opens") << true << true << "unit";
    QTest::newRow("restored before a key is taken") << true << true << "key";
    QTest::newRow("declined") << true << false << "paint";
    QTest::newRow("no snapshot") << false << true << "paint";
}

void TestVokabo::damagedWordDatabaseAtStart()
{
    QFETCH(bool, snapshot);
    QFETCH(bool, accept);
    QFETCH(QString, first);
    QTemporaryDir dir;
    const QString database = WordStore::databasePath(dir.path());
    QVERIFY(makeDatabase(
        database, {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}}}, {"word5", {{"老虎", "tiger"}}}}));
    if (snapshot) {
        QVERIFY(!Snapshots::take(dir.path(), Now.date().addDays(-3)));
        QVERIFY(!Snapshots::take(dir.path(), Now.date().addDays(-1)));
        // The newest snapshot's copy is damaged too: the one before it is offered.
        QVERIFY(damage(QDir(Snapshots::folder(dir.path())).filePath("2024-03-19/MyDatas.db")));
    }
    QVERIFY(damage(database));
    const QByteArray damaged = bytesOf(database);

    RecordingMessenger messages;
    messages.answer = accept;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    shell.checkFilesOnceShown(messages);
    if (first == "unit")
        shell.OpenUnit("11", "word1");
    else if (first == "key")
        QTest::keyClick(&shell.menuWindow(), Qt::Key_A);
    else
        QTRY_VERIFY(!messages.asked.isEmpty() || !messages.shown.isEmpty());

    const QString kept = database + ".damaged-2024-03-20";
    const bool restored = snapshot && accept;
    QCOMPARE(messages.asked.size(), snapshot ? 1 : 0);
    if (snapshot)
        QVERIFY2(messages.asked[0].text.contains("2024-03-17") &&
                     messages.asked[0].text.contains("MyDatas.db.damaged-2024-03-20"),
                 qPrintable(messages.asked[0].text));
    if (!restored) {
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown[0].text.contains(snapshot ? "已损坏，没有改动" : "没有可以用来恢复的快照"),
                 qPrintable(messages.shown[0].text));
        QCOMPARE(bytesOf(database), damaged);
        QVERIFY(!QFileInfo::exists(kept));
        return;
    }
    QCOMPARE(bytesOf(kept), damaged);
    const auto problems = Snapshots::problems(database);
    QVERIFY(std::holds_alternative<QStringList>(problems) && std::get<QStringList>(problems).isEmpty());
    if (first != "unit")
        shell.OpenUnit("11", "word1");
    QVERIFY(shell.studyWindow() && shell.studyWindow()->isVisible());
    QTest::mouseClick(control(shell.studyWindow(), "Command5"), Qt::LeftButton);
    QCOMPARE(control<QLabel>(shell.studyWindow(), "Label4")->text(), QStringLiteral("苹果"));
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
}

// A learner drills a unit in test mode, passing over one word, typing one slowly and one at once: the
// words come back, in today's review drill (F7) and in `vokabo-words due`, on the days the memory model
// gives for Again, Hard and Good, the most overdue first.
void TestVokabo::reviewsFollowTheFirstDrill()
{
    QTemporaryDir dir;
    QVERIFY(makeDatabase(WordStore::databasePath(dir.path()),
                         {{"word1", {{"苹果", "apple"}, {"香蕉", "banana"}, {"樱桃", "cherry"}}}}));
    const MemoryModel model;
    const MemoryModel::AfterReview again = model.firstReview(Grade::Again),
                                   hard = model.firstReview(Grade::Hard),
                                   good = model.firstReview(Grade::Good);
    QCOMPARE(again.interval, 1);
    QVERIFY(again.interval < hard.interval && hard.interval < good.interval);

    RecordingMessenger messages;
    FixedClock clock;
    AppShell shell(dir.path(), messages, clock);
    shell.start();
    Form2& menu = shell.menuWindow();
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QCOMPARE(rightClickMenu(menu).value(1), QStringLiteral("今日复习（0个） (disabled)"));
    QTest::keyClick(&menu, Qt::Key_F7);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("今天没有要复习的单词"));

    QTest::mouseClick(control(&menu, "Command1"), Qt::LeftButton);
    Form1* study = shell.studyWindow();
    auto* prompt = control<QLabel>(study, "Label4");
    auto* input = control(study, "Text6");
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    QTest::mouseClick(control(study, "Command7"), Qt::LeftButton);
    QCOMPARE(prompt->text(), QStringLiteral("香蕉"));
    clock.moment = clock.moment.addSecs(20); // slow for six letters: more than 5.1 s
    QTest::keyClicks(input, "banana");
    QTRY_COMPARE(prompt->text(), QStringLiteral("樱桃"));
    QTest::keyClicks(input, "cherry");
    QTRY_COMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("恭喜您，终于完成练习了"));
    const QString completed = mdlINI(dir.path()).ReadIniValue("LastDate", "11");
    QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QVERIFY(shell.learning().record()->flush());

    // Day by day: the words due, as the tool prints them and as the menu counts them.
    struct Expected {
        const char* english;
        const char* chinese;
        MemoryModel::AfterReview first;
    };
    const Expected words[] = {{"apple", "苹果", again}, {"banana", "香蕉", hard}, {"cherry", "樱桃", good}};
    for (int day = 0; day <= good.interval; ++day) {
        const QDate date = Now.date().addDays(day);
        QStringList expected;
        for (const Expected& word : words) {
            if (word.first.interval <= day)
                expected << QStringLiteral("11\t%1\t%2\t%3\t%4\t%5")
                                .arg(QString::fromUtf8(word.english), QString::fromUtf8(word.chinese))
                                .arg(word.first.memory.stability, 0, 'f', 4)
                                .arg(word.first.memory.difficulty, 0, 'f', 4)
                                .arg(date.addDays(word.first.interval - day).toString(Qt::ISODate));
        }
        QProcess tool;
        tool.start(QStringLiteral(VOKABO_WORDS), {"due", dir.path(), "--at", date.toString(Qt::ISODate)});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QStringList printed =
            QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (QString& line : printed) {
            QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 7);
            const double retrievability = fields.takeAt(5).toDouble();
            QVERIFY(retrievability > 0 && retrievability < 1);
            line = fields.join(u'\t');
        }
        QCOMPARE(printed, expected);

        clock.moment = Now.addDays(day);
        const QString entry = expected.isEmpty() ? QStringLiteral("今日复习（0个） (disabled)")
                                                 : QStringLiteral("今日复习（%1个）").arg(expected.size());
        QCOMPARE(rightClickMenu(menu).value(1), entry);
    }

    // The first day after the drill: the passed-over word alone. Started and left, it is still due.
    clock.moment = Now.addDays(again.interval);
    QTest::keyClick(&menu, Qt::Key_F7);
    QVERIFY(study->isVisible() && !menu.isVisible());
    QCOMPARE(study->windowTitle(), QStringLiteral("Vokabo1.0 — 今日复习"));
    QCOMPARE(control<QLabel>(study, "drillSummary")->text(), QStringLiteral("今日复习：1 个单词"));
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    QCOMPARE(prompt->text(), QStringLiteral("苹果"));
    QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QCOMPARE(rightClickMenu(menu).value(1), QStringLiteral("今日复习（1个）"));

    // The day the last of them is due: all three, the most overdue first; done, none is left for the day,
    // and the unit's completion date stays as it was.
    clock.moment = Now.addDays(good.interval);
    QTest::keyClick(&menu, Qt::Key_F7);
    QCOMPARE(control<QLabel>(study, "drillSummary")->text(), QStringLiteral("今日复习：3 个单词"));
    QTest::mouseClick(control(study, "Command5"), Qt::LeftButton);
    for (const Expected& word : words) {
        QTRY_COMPARE(prompt->text(), QString::fromUtf8(word.chinese));
        QTest::keyClicks(input, word.english);
    }
    QTRY_COMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("恭喜您，终于完成练习了"));
    QTest::mouseClick(control(study, "Command8"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(&menu));
    QCOMPARE(rightClickMenu(menu).value(1), QStringLiteral("今日复习（0个） (disabled)"));
    QTest::keyClick(&menu, Qt::Key_F7);
    QCOMPARE(messages.shown.takeLast().text, QStringLiteral("今天没有要复习的单词"));
    QCOMPARE(mdlINI(dir.path()).ReadIniValue("LastDate", "11"), completed);
}

QTEST_MAIN(TestVokabo)
#include "tst_vokabo.moc"
