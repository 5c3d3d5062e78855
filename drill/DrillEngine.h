// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"
#include "DrillEvent.h"
#include "FieldCipher.h"
#include "Messenger.h"
#include "Recordset.h"
#include "SettingsFile.h"
#include "Speaker.h"

#include <QString>
#include <memory>

enum class DrillMode { Test, Practice };

// Colour numbers of the mastered box's caption: &H00BBGGRR, or &H80000000 + n for system colour n.
inline constexpr quint32 ButtonTextColour = 0x80000012;
inline constexpr quint32 RedColour = 0x000000FF;

inline const QString UntickedCaption = QStringLiteral("已完全掌握这个单词，从词库删除");
inline const QString TickedCaption = QStringLiteral("填写正确后将删除此单词");

// What the study window shows of a drill.
struct StudyView {
    QString prompt;           // the Chinese meaning
    QString answer;           // the English word to type
    bool answerShown = false; // the answer with its caption
    QString progress;         // "当前单元中共有 20 个单词,当前为 第  1 个"
    QString drillName;    // what a drill that is not a unit is: "错题本", "今日复习"; empty for a unit
    QString drillSummary; // "错题本：2 个单词"; empty for a unit
    QString accuracy;     // "正确率是88%"
    bool accuracyShown = true;   // in test mode
    QString typed;               // what the learner has typed
    bool masteredTicked = false; // "delete this word once it is typed correctly"
    QString masteredCaption = UntickedCaption;
    quint32 masteredColour = ButtonTextColour;
    bool canGiveUp = false;
    bool canPassOver = false;
    bool judging = false; // the answer timer runs
    DrillMode mode = DrillMode::Test;
};

// What one thing the learner did leads to: the view, and what the window does once.
struct StudyStep {
    StudyView view;
    bool focusInput = false; // the input takes the focus
    QString notice;          // shown in the status bar for a moment
    int noticeSeconds = 2;
};

// The rules of a drill, in the learner's words: start, give up, pass over, an answer typed with the
// mastered box ticked or not, the mode changed, and the answer timer's tick. Each returns what the study
// window shows. Messages that stand over the window while the drill goes on behind them (the completion,
// a word that cannot be deleted) are shown through the messenger at the moment they arise.
class DrillEngine {
public:
    DrillEngine(SettingsFile& settings, Messenger& messenger, const Clock& clock);

    // Puts a unit's words, the error book's or today's reviews before the learner; replaces what was open.
    // Completing a unit records the date under `unitCode`; other drills record none.
    void open(std::unique_ptr<Recordset> words, DrillKind kind, const QString& unitCode = {});
    void close();
    bool isOpen() const { return recordset_ != nullptr; }
    // Where the drill reports what the learner does; none by default.
    void setObserver(DrillObserver* observer) { observer_ = observer; }
    // Where words are spoken; without one the drill is silent.
    void setSpeaker(Speaker* speaker) { speaker_ = speaker; }

    StudyStep start();
    StudyStep giveUp();
    StudyStep passOver();
    StudyStep changeMode(DrillMode mode);
    // The answer timer: judges what has been typed, with the mastered box as it stands.
    StudyStep tick(const QString& typed, bool masteredTicked);
    // The learner's edits, between ticks.
    void typedChanged(const QString& text) { view_.typed = text; }
    void masteredTickedChanged(bool ticked) { view_.masteredTicked = ticked; }
    // The learner has gone back to the menu: the next tick blanks the word display.
    void returnedToMenu() { ReturnedToMenu = true; }
    bool returnPending() const { return ReturnedToMenu; }

    // Ctrl+J: the current answer, shown or hidden. Hearing a hidden answer in test mode counts as seeing it.
    StudyStep speakAnswer();
    // Ctrl+Shift+J: whether each word is spoken when it is answered or given up. Kept in the settings.
    StudyStep toggleAutoSpeak();
    bool autoSpeak() const { return autoSpeak_; }

    const StudyView& view() const { return view_; }
    int wrongCount() const { return WrongCount; }
    int doneCount() const { return DoneCount; }

private:
    StudyStep step();
    void ShowCurrentWord();
    void AdvanceWord(bool untickAfterMove = false);
    void CompleteUnit();
    void stopDrill();
    void report(const Failure& failure);
    QString shownField(int position);
    std::optional<DrillWord> currentWord() const;
    void notify(DrillEvent::Kind kind, const DrillWord& word = {}, bool answerShown = false,
                bool spoken = false);
    void reveal(bool shownBefore, bool spoken);
    bool say();
    void showDrillSize();

    SettingsFile& settings_;
    Messenger& messenger_;
    const Clock& clock_;
    std::unique_ptr<Recordset> recordset_;
    DrillKind kind_ = DrillKind::Unit;
    QString UnitCode;
    std::unique_ptr<PPS> cipher_;
    StudyView view_;
    bool focusInput_ = false;
    QString notice_;
    int noticeSeconds_ = StudyStep().noticeSeconds;

    int WrongCount = 0;
    int DoneCount = 0;
    int Accuracy = 0;
    QString LastAnswer;
    bool ReturnedToMenu = false;

    bool inHandler_ = false;
    Speaker* speaker_ = nullptr;
    bool autoSpeak_ = false;
    DrillObserver* observer_ = nullptr;
    bool answerRevealed_ = false; // the current word's answer was asked for, to see or to hear
    QDateTime wordShownAt_;       // when the current word came on screen: an answer's response time
    bool practiceUsed_ = false;   // the drill has been in practice mode since Start
};

// How the learner sees a drill that is not a unit named; empty for a unit.
QString drillName(DrillKind kind);

// Str() of the progress line: a blank before a number that is 0 or more.
QString numberWithSign(int n);
