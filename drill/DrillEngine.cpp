// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrillEngine.h"

#include "DateText.h"
#include "Logging.h"

#include <algorithm>
#include <cmath>

namespace {

const QString NoWordsLeft = QStringLiteral("本单元没有单词了");
const QString SpeechSection = QStringLiteral("Speech");
const QString AutoSpeakKey = QStringLiteral("Auto");
// Long enough to read why nothing was heard.
constexpr int SpeechNoticeSeconds = 3;
// A day: an answer typed after the learner came back to a word left on screen overnight is slow all the same.
constexpr qint64 MaxResponseMs = 24 * 3600 * 1000;

// Marks a handler as running, so that a tick delivered by a message box's own event loop does not judge
// an answer in the middle of it.
class Running {
public:
    explicit Running(bool& flag) : flag_(flag), outer_(flag) { flag_ = true; }
    ~Running() { flag_ = outer_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    bool& flag_;
    bool outer_;
};

} // namespace

QString drillName(DrillKind kind)
{
    switch (kind) {
    case DrillKind::ErrorBook:
        return QStringLiteral("错题本");
    case DrillKind::Review:
        return QStringLiteral("今日复习");
    case DrillKind::Unit:
        break;
    }
    return {};
}

QString numberWithSign(int n)
{
    return n >= 0 ? QLatin1Char(' ') + QString::number(n) : QString::number(n);
}

DrillEngine::DrillEngine(SettingsFile& settings, Messenger& messenger, const Clock& clock)
    : settings_(settings), messenger_(messenger), clock_(clock),
      autoSpeak_(settings.ReadIniValue(SpeechSection, AutoSpeakKey) == QLatin1String("1"))
{
}

void DrillEngine::open(std::unique_ptr<Recordset> words, DrillKind kind, const QString& unitCode)
{
    recordset_ = std::move(words);
    kind_ = kind;
    UnitCode = unitCode;
    view_.drillName = drillName(kind);
    showDrillSize();
}

void DrillEngine::showDrillSize()
{
    view_.drillSummary =
        view_.drillName.isEmpty() || !recordset_
            ? QString()
            : QStringLiteral("%1：%2 个单词").arg(view_.drillName).arg(recordset_->RecordCount());
}

void DrillEngine::close()
{
    if (recordset_)
        recordset_->Close();
    recordset_.reset();
}

StudyStep DrillEngine::step()
{
    StudyStep step{view_, focusInput_, notice_, noticeSeconds_};
    focusInput_ = false;
    notice_.clear();
    noticeSeconds_ = StudyStep().noticeSeconds;
    return step;
}

StudyStep DrillEngine::changeMode(DrillMode mode)
{
    view_.mode = mode;
    if (mode == DrillMode::Test) {
        view_.accuracyShown = true; // the answer stays until the next word comes
    } else {
        view_.answerShown = true;
        view_.accuracyShown = false;
        practiceUsed_ = true;
    }
    return step();
}

StudyStep DrillEngine::start()
{
    Running running(inHandler_);
    view_.masteredTicked = false;
    view_.accuracy.clear();
    WrongCount = 0;
    // A return to the menu still waiting for its tick would blank the word that Start is about to show.
    ReturnedToMenu = false;
    const auto moved =
        recordset_ ? recordset_->MoveFirst()
                   : std::optional<Failure>(Failure{NoWordsLeft, QStringLiteral("Start with no unit open")});
    if (moved) {
        stopDrill();
        report(*moved);
        return step();
    }
    view_.judging = true;
    view_.canPassOver = true;
    view_.canGiveUp = true;
    practiceUsed_ = view_.mode == DrillMode::Practice;
    notify(DrillEvent::Kind::Started);
    ShowCurrentWord();
    view_.accuracy.clear();
    focusInput_ = true;
    return step();
}

StudyStep DrillEngine::giveUp()
{
    const bool shownBefore = view_.answerShown;
    view_.answerShown = true;
    reveal(shownBefore, false);
    if (autoSpeak_)
        say();
    return step();
}

void DrillEngine::reveal(bool shownBefore, bool spoken)
{
    // Once per word, however often the learner asks.
    if (const auto word = currentWord(); word && view_.canGiveUp && !answerRevealed_) {
        answerRevealed_ = true;
        notify(DrillEvent::Kind::Revealed, *word, shownBefore, spoken);
    }
}

bool DrillEngine::say()
{
    if (!speaker_ || view_.answer.isEmpty())
        return false;
    speaker_->speak(view_.answer);
    if (const QString unavailable = speaker_->unavailableReason(); !unavailable.isEmpty()) {
        notice_ = unavailable;
        noticeSeconds_ = SpeechNoticeSeconds;
        return false;
    }
    return true;
}

StudyStep DrillEngine::speakAnswer()
{
    // A word the learner cannot hear gives nothing away.
    if (say() && view_.mode == DrillMode::Test && !view_.answerShown)
        reveal(false, true);
    return step();
}

StudyStep DrillEngine::toggleAutoSpeak()
{
    autoSpeak_ = !autoSpeak_;
    // The choice holds for this run even when it cannot be kept; the settings file has said why on stderr.
    const bool kept = bool(settings_.WriteIniValue(SpeechSection, AutoSpeakKey,
                                                   autoSpeak_ ? QStringLiteral("1") : QStringLiteral("0")));
    notice_ = (autoSpeak_ ? QStringLiteral("自动朗读：开") : QStringLiteral("自动朗读：关")) +
              (kept ? QString() : QStringLiteral("（设置未能保存）"));
    return step();
}

StudyStep DrillEngine::passOver()
{
    Running running(inHandler_);
    view_.masteredTicked = false;
    LastAnswer = view_.answer;
    ++WrongCount;
    if (const auto word = currentWord())
        notify(DrillEvent::Kind::Passed, *word, view_.answerShown || answerRevealed_);
    AdvanceWord();
    return step();
}

void DrillEngine::ShowCurrentWord()
{
    if (view_.mode == DrillMode::Test)
        view_.answerShown = false;
    answerRevealed_ = false;
    if (!recordset_)
        return;
    // Past the last record the labels keep the last word, so that the completion message stands over it.
    if (recordset_->AbsolutePosition() != Recordset::PastLast) {
        view_.prompt = shownField(1);
        view_.answer = shownField(2);
        wordShownAt_ = clock_.now();
    }
    view_.progress = (view_.drillName.isEmpty() ? QStringLiteral("当前单元") : view_.drillName) +
                     QStringLiteral("中共有") + numberWithSign(recordset_->RecordCount()) +
                     QStringLiteral(" 个单词,当前为 第 ") + numberWithSign(recordset_->AbsolutePosition()) +
                     QStringLiteral(" 个");
    showDrillSize();
    const int position = recordset_->AbsolutePosition();
    DoneCount = position >= 0 ? position - 1 : recordset_->RecordCount();
    if (DoneCount != 0) {
        const double exact = 100.0 - double(WrongCount) / double(DoneCount) * 100.0;
        // nearbyint rounds a half to the even neighbour: 87.5 gives 88, 62.5 gives 62.
        Accuracy = std::clamp(int(std::nearbyint(exact)), 0, 100);
    }
    view_.accuracy = QStringLiteral("正确率是") + QString::number(Accuracy) +
                     (Accuracy == 100 ? QStringLiteral("%，你真棒！") : QStringLiteral("%"));
}

QString DrillEngine::shownField(int position)
{
    if (!cipher_)
        cipher_ = std::make_unique<PPS>(
            [this](const QString& text) { messenger_.showMessage(text, QStringLiteral("Vokabo")); });
    // A Null or undecryptable field shows as nothing: keeping the previous word's text would accept the
    // previous answer for this word.
    const std::optional<QString> field = recordset_->Field(position);
    return field ? textShown(*cipher_, *field) : QString();
}

void DrillEngine::AdvanceWord(bool untickAfterMove)
{
    if (const auto moved = recordset_ ? recordset_->MoveNext() : std::nullopt; moved || !recordset_) {
        stopDrill();
        if (moved)
            report(*moved);
        return;
    }
    if (untickAfterMove)
        view_.masteredTicked = false;
    view_.typed.clear();
    ShowCurrentWord();
    if (recordset_->AbsolutePosition() == Recordset::PastLast)
        CompleteUnit();
}

void DrillEngine::CompleteUnit()
{
    // Only a unit has a completion date: other drills leave the review dates alone.
    IniWriteResult written;
    if (kind_ == DrillKind::Unit)
        written =
            settings_.WriteIniValue(QStringLiteral("LastDate"), UnitCode, formatMomentText(clock_.now()));
    notify(DrillEvent::Kind::Completed);
    // Every path here has unticked the check box; it must not stand behind the box with the red caption
    // of a word that has gone.
    view_.masteredCaption = UntickedCaption;
    view_.masteredColour = ButtonTextColour;
    messenger_.showMessage(QStringLiteral("恭喜您，终于完成练习了"), MessageTitle);
    // A completion that was not recorded must not pass for one that was.
    if (written.error)
        messenger_.showMessage(QStringLiteral("完成日期无法保存：") + written.error->message, MessageTitle);
    view_.judging = false;
    // Again: a tick that came while a box was open may have set the caption for a ticked box.
    view_.masteredCaption = UntickedCaption;
    view_.masteredColour = ButtonTextColour;
    view_.progress.clear();
    view_.canPassOver = false;
    view_.canGiveUp = false;
    view_.prompt.clear();
    view_.answer.clear();
    view_.accuracy.clear();
}

StudyStep DrillEngine::tick(const QString& typed, bool masteredTicked)
{
    view_.typed = typed;
    view_.masteredTicked = masteredTicked;
    if (ReturnedToMenu) {
        view_.prompt.clear();
        view_.answer.clear();
        view_.progress.clear();
        ReturnedToMenu = false;
    }
    view_.masteredCaption = view_.masteredTicked ? TickedCaption : UntickedCaption;
    view_.masteredColour = view_.masteredTicked ? RedColour : ButtonTextColour;
    if (inHandler_)
        return step();

    const QString answer = view_.answer;
    if (view_.typed.isEmpty() || view_.typed != answer)
        return step();
    Running running(inHandler_);
    LastAnswer = answer;
    if (autoSpeak_ && speaker_)
        speaker_->speak(answer);
    const auto word = currentWord();
    if (word)
        notify(DrillEvent::Kind::Answered, *word, view_.answerShown || answerRevealed_);
    if (view_.masteredTicked) {
        if (const auto deleted = recordset_ ? recordset_->Delete() : std::nullopt)
            report(*deleted); // the word stays in the unit; the correct answer still moves on
        else if (word)
            notify(DrillEvent::Kind::Deleted, *word);
    }
    AdvanceWord(true);
    return step();
}

void DrillEngine::stopDrill()
{
    view_.judging = false;
    view_.canPassOver = false;
    view_.canGiveUp = false;
    view_.prompt.clear();
    view_.answer.clear();
    view_.progress.clear();
    view_.accuracy.clear();
}

std::optional<DrillWord> DrillEngine::currentWord() const
{
    const auto location = recordset_ ? recordset_->Location() : std::nullopt;
    if (!location)
        return std::nullopt;
    return DrillWord{*location, recordset_->Field(1).value_or(QString()),
                     recordset_->Field(2).value_or(QString())};
}

void DrillEngine::notify(DrillEvent::Kind kind, const DrillWord& word, bool answerShown, bool spoken)
{
    if (!observer_)
        return;
    DrillEvent event;
    event.kind = kind;
    event.at = clock_.now();
    event.drill = kind_;
    event.word = word;
    event.answerShown = answerShown;
    event.spoken = spoken;
    if (kind == DrillEvent::Kind::Answered && wordShownAt_.isValid())
        event.responseMs = int(std::clamp<qint64>(wordShownAt_.msecsTo(event.at), 0, MaxResponseMs));
    if (kind == DrillEvent::Kind::Started || kind == DrillEvent::Kind::Completed) {
        event.unitCode = kind_ == DrillKind::Unit ? UnitCode : QString();
        event.testMode = kind == DrillEvent::Kind::Started ? view_.mode == DrillMode::Test : !practiceUsed_;
    }
    if (kind == DrillEvent::Kind::Completed && DoneCount > 0)
        event.accuracy = Accuracy;
    observer_->drillEvent(event);
}

void DrillEngine::report(const Failure& failure)
{
    qCWarning(lcDrill, "%s", qUtf8Printable(failure.detail));
    messenger_.showMessage(failure.message, MessageTitle);
}
