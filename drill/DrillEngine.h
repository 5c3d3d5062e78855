#pragma once

#include "DateText.h"
#include "DrillEvent.h"
#include "FieldCipher.h"
#include "IniFile.h"
#include "Recordset.h"
#include "SharedState.h"
#include "Speaker.h"

#include <QDateTime>
#include <QString>
#include <memory>

// Shows a modal message to the learner and returns when it has been closed.
class Messenger {
public:
    virtual ~Messenger() = default;
    virtual void showMessage(const QString& text, const QString& title) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Colour numbers as the study window uses them: &H00BBGGRR, or &H80000000 + n for system colour n.
inline constexpr quint32 ButtonTextColour = 0x80000012;
inline constexpr quint32 RedColour = 0x000000FF;

inline const QString MessageTitle = QStringLiteral("提示信息");
inline const QString UntickedCaption = QStringLiteral("已完全掌握这个单词，从词库删除");
inline const QString TickedCaption = QStringLiteral("填写正确后将删除此单词");

// Everything the drill writes to the study window's controls. The window renders it after each call.
struct StudyControls {
    bool Label1Bold = false;
    QString Label4; // prompt
    QString Label5; // answer
    bool Label3Visible = false;
    bool Label5Visible = false;
    QString Label7;   // progress line
    QString rightSum; // accuracy line
    bool rightSumVisible = true;
    QString Text6; // the learner's input
    bool delCheckTicked = false;
    QString delCheckCaption = UntickedCaption;
    quint32 delCheckColour = ButtonTextColour;
    bool Command6Enabled = false; // give up
    bool Command7Enabled = false; // next
    bool Timer1Enabled = false;
    bool Option1 = true;     // test mode
    bool Option2 = false;    // practice mode
    bool focusText6 = false; // one-shot: the window moves the focus to the input, then clears it
    QString statusMessage;   // one-shot: shown in the status bar for a moment, then the notice returns
};

// The study drill without widgets: counters, cursor moves, mode, deletion of mastered words, completion,
// and the answer timer's tick.
class DrillEngine {
public:
    DrillEngine(SharedState& shared, SettingsFile& settings, Messenger& messenger, const Clock& clock);

    // The recordset of the unit opened last, or of the error book; replaces the one before. Completing an
    // error-book drill records no date.
    void setRecordset(std::unique_ptr<Recordset> recordset, DrillKind kind = DrillKind::Unit);
    // Where the drill reports what the learner does; none by default.
    void setObserver(DrillObserver* observer) { observer_ = observer; }
    void closeRecordset();
    Recordset* recordset() const { return recordset_.get(); }

    // Where words are spoken; without one the drill is silent.
    void setSpeaker(Speaker* speaker) { speaker_ = speaker; }
    // Ctrl+J: the current answer, shown or hidden.
    void speakAnswer();
    // Ctrl+Shift+J: whether each word is spoken when it is answered or given up. Kept in the settings file.
    void toggleAutoSpeak();
    bool autoSpeak() const { return autoSpeak_; }

    const StudyControls& controls() const { return controls_; }
    StudyControls& controls() { return controls_; }

    // What the learner changed in the window since the last call.
    void setText6(const QString& text) { controls_.Text6 = text; }
    void setDelCheckTicked(bool ticked) { controls_.delCheckTicked = ticked; }

    void Option1_Click();
    void Option2_Click();
    void Command5_Click(); // Start
    void Command6_Click(); // give up: show the answer
    void Command7_Click(); // Next: pass the word over
    void Label1_MouseMove();
    void Form_MouseMove();
    void Timer1_Timer(const QString& text6, bool delCheckTicked);

    void ShowCurrentWord();
    void AdvanceWord(bool untickAfterMove = false);
    void CompleteUnit();

    int WrongCount = 0;
    int DoneCount = 0;
    int Accuracy = 0;
    QString LastAnswer;

private:
    void stopDrill();
    void report(const StoreFailure& failure);
    QString decryptField(int position);
    std::optional<DrillWord> currentWord() const;
    void notify(DrillEvent::Kind kind, const DrillWord& word = {}, bool answerShown = false);

    SharedState& shared_;
    SettingsFile& settings_;
    Messenger& messenger_;
    const Clock& clock_;
    std::unique_ptr<Recordset> recordset_;
    std::unique_ptr<PPS> cipher_;
    StudyControls controls_;
    bool inHandler_ = false;
    Speaker* speaker_ = nullptr;
    bool autoSpeak_ = false;
    DrillKind kind_ = DrillKind::Unit;
    DrillObserver* observer_ = nullptr;
    bool answerRevealed_ = false; // the current word's answer was asked for
    bool practiceUsed_ = false;   // the drill has been in practice mode since Start
};

// Str() of the progress line: a blank before a number that is 0 or more.
QString numberWithSign(int n);
