// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"
#include "Messenger.h"
#include "Speaker.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <functional>
#include <optional>

// What the tests of every folder share: a clock they set, a messenger and a speaker that record, small
// word databases built from clear text, stderr captured, and a temporary data folder.
namespace TestSupport {

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime moment = QDateTime(QDate(2026, 3, 9), QTime(14, 5, 9))) : moment(moment) {}
    QDateTime now() const override { return moment; }
    QDateTime moment;
};

struct RecordingMessenger final : Messenger, Questioner {
    struct Shown {
        QString text;
        QString title;
    };
    void showMessage(const QString& text, const QString& title) override
    {
        shown.append({text, title});
        if (onShow)
            onShow(text, title);
    }
    bool askYesNo(const QString& text, const QString& title) override
    {
        asked.append({text, title});
        return answer;
    }
    QStringList texts() const;

    QList<Shown> shown;
    // Runs while the message is "open", as a modal box's own event loop would.
    std::function<void(const QString& text, const QString& title)> onShow;
    QList<Shown> asked;  // the questions
    bool answer = false; // to every question: yes when true
};

struct RecordingSpeaker final : Speaker {
    void speak(const QString& text) override { spoken.append(text); }
    QString unavailableReason() const override { return unavailable; }
    QStringList spoken;
    QString unavailable; // a machine that cannot be heard, when set
};

// A word of a test database, in clear text; no value stands for a Null field.
struct Word {
    std::optional<QString> chinese;
    std::optional<QString> english;
};

// "词1"/"word1" … "词N"/"wordN".
QList<Word> numberedWords(int count);

// Adds a unit table in the word database's format to `file` (made when missing), holding `words` with
// their fields enciphered as the program stores them. False when the file cannot be written.
[[nodiscard]] bool writeUnit(const QString& file, const QString& table, const QList<Word>& words);
// The rows of a table, or -1 when it cannot be read.
int rowsIn(const QString& file, const QString& table);
// Runs one statement on a database file, for a test that damages or edits one by hand.
[[nodiscard]] bool runStatement(const QString& file, const QString& statement);

// A data folder of its own for one test: MyDatas.db, Syset.ini and History.db live in it.
class DataFolder {
public:
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString wordDatabase() const { return file(QStringLiteral("MyDatas.db")); }
    QString settings() const { return file(QStringLiteral("Syset.ini")); }
    QString history() const { return file(QStringLiteral("History.db")); }

private:
    QTemporaryDir dir_;
};

// Collects what is written to the process's stderr (file descriptor 2) while it lives, the program's
// diagnostics included, printed as the program prints them ("vokabo: <message>"), also from a child
// process forked meanwhile.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Stops capturing and gives what was written.
    QByteArray text();

private:
    void restore();
    QTemporaryFile file_;
    int saved_ = -1;
    QtMessageHandler handler_ = nullptr;
};

// A file of the test fixtures, such as "mdb/word12-overflow.mdb".
QString fixture(const QString& name);

} // namespace TestSupport
