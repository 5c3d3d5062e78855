#include "DrillEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QString NoWordsLeft = QStringLiteral("本单元没有单词了");
const QString SpeechSection = QStringLiteral("Speech");
const QString AutoSpeakKey = QStringLiteral("Auto");

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

QString numberWithSign(int n)
{
    return n >= 0 ? QLatin1Char(' ') + QString::number(n) : QString::number(n);
}

DrillEngine::DrillEngine(SharedState& shared, SettingsFile& settings, Messenger& messenger,
                         const Clock& clock)
    : shared_(shared), settings_(settings), messenger_(messenger), clock_(clock),
      autoSpeak_(settings.ReadIniValue(SpeechSection, AutoSpeakKey) == QLatin1String("1"))
{
}

void DrillEngine::setRecordset(std::unique_ptr<Recordset> recordset, DrillKind kind)
{
    recordset_ = std::move(recordset);
    kind_ = kind;
}

void DrillEngine::closeRecordset()
{
    if (recordset_)
        recordset_->Close();
    recordset_.reset();
}

void DrillEngine::Option1_Click()
{
    controls_.Option1 = true;
    controls_.Option2 = false;
    controls_.rightSumVisible = true;
}

void DrillEngine::Option2_Click()
{
    controls_.Option1 = false;
    controls_.Option2 = true;
    controls_.Label3Visible = true;
    controls_.Label5Visible = true;
    controls_.rightSumVisible = false;
    practiceUsed_ = true;
}

void DrillEngine::Label1_MouseMove()
{
    controls_.Label1Bold = true;
}

void DrillEngine::Form_MouseMove()
{
    controls_.Label1Bold = false;
}

void DrillEngine::Command5_Click()
{
    Running running(inHandler_);
    controls_.delCheckTicked = false;
    controls_.rightSum.clear();
    WrongCount = 0;
    // A return to the menu still waiting for its tick would blank the word that Start is about to show.
    shared_.ReturnedToMenu = false;
    const auto moved =
        recordset_ ? recordset_->MoveFirst()
                   : std::optional<StoreFailure>(StoreFailure{StoreFailure::Kind::EmptyTable, NoWordsLeft,
                                                              QStringLiteral("Start with no unit open")});
    if (moved) {
        stopDrill();
        report(*moved);
        return;
    }
    controls_.Timer1Enabled = true;
    controls_.Command7Enabled = true;
    controls_.Command6Enabled = true;
    practiceUsed_ = controls_.Option2;
    notify(DrillEvent::Kind::Started);
    ShowCurrentWord();
    controls_.rightSum.clear();
    controls_.focusText6 = true;
}

void DrillEngine::Command6_Click()
{
    controls_.Label3Visible = true;
    controls_.Label5Visible = true;
    if (const auto word = currentWord(); word && controls_.Command6Enabled && !answerRevealed_) {
        answerRevealed_ = true;
        notify(DrillEvent::Kind::Revealed, *word);
    }
    if (autoSpeak_)
        speakAnswer();
}

void DrillEngine::speakAnswer()
{
    if (speaker_ && !controls_.Label5.isEmpty())
        speaker_->speak(controls_.Label5);
}

void DrillEngine::toggleAutoSpeak()
{
    autoSpeak_ = !autoSpeak_;
    // The choice holds for this run even when it cannot be kept; the store has said why on stderr.
    const bool kept = bool(settings_.WriteIniValue(SpeechSection, AutoSpeakKey,
                                                   autoSpeak_ ? QStringLiteral("1") : QStringLiteral("0")));
    controls_.statusMessage = (autoSpeak_ ? QStringLiteral("自动朗读：开") : QStringLiteral("自动朗读：关")) +
                              (kept ? QString() : QStringLiteral("（设置未能保存）"));
}

void DrillEngine::Command7_Click()
{
    Running running(inHandler_);
    controls_.delCheckTicked = false;
    LastAnswer = controls_.Label5;
    ++WrongCount;
    if (const auto word = currentWord())
        notify(DrillEvent::Kind::Passed, *word);
    AdvanceWord();
}

void DrillEngine::ShowCurrentWord()
{
    if (controls_.Option1) {
        controls_.Label3Visible = false;
        controls_.Label5Visible = false;
    }
    answerRevealed_ = false;
    if (!recordset_)
        return;
    // Past the last record the labels keep the last word, so that the completion message stands over it.
    if (recordset_->AbsolutePosition() != Recordset::PastLast) {
        controls_.Label4 = decryptField(1);
        controls_.Label5 = decryptField(2);
    }
    controls_.Label7 = QStringLiteral("当前单元中共有") + numberWithSign(recordset_->RecordCount()) +
                       QStringLiteral(" 个单词,当前为 第 ") + numberWithSign(recordset_->AbsolutePosition()) +
                       QStringLiteral(" 个");
    const int position = recordset_->AbsolutePosition();
    DoneCount = position >= 0 ? position - 1 : recordset_->RecordCount();
    if (DoneCount != 0) {
        const double exact = 100.0 - double(WrongCount) / double(DoneCount) * 100.0;
        // nearbyint rounds a half to the even neighbour: 87.5 gives 88, 62.5 gives 62.
        Accuracy = std::clamp(int(std::nearbyint(exact)), 0, 100);
    }
    controls_.rightSum = QStringLiteral("正确率是") + QString::number(Accuracy) +
                         (Accuracy == 100 ? QStringLiteral("%，你真棒！") : QStringLiteral("%"));
}

QString DrillEngine::decryptField(int position)
{
    if (!cipher_)
        cipher_ = std::make_unique<PPS>(
            [this](const QString& text) { messenger_.showMessage(text, QStringLiteral("Vokabo")); });
    // A Null or undecryptable field shows as nothing: keeping the previous word's text would accept the
    // previous answer for this word.
    const std::optional<QString> field = recordset_->Field(position);
    if (!field)
        return {};
    return textBeforeNul(
        解密(*cipher_, *field, QString::fromUtf16(FieldPassPhrase), FieldKeyBits).value_or(QString()));
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
        controls_.delCheckTicked = false;
    controls_.Text6.clear();
    ShowCurrentWord();
    if (recordset_->AbsolutePosition() == Recordset::PastLast)
        CompleteUnit();
}

void DrillEngine::CompleteUnit()
{
    // The error book is no unit: its drills leave the review dates alone.
    IniWriteResult written;
    if (kind_ == DrillKind::Unit)
        written = settings_.WriteIniValue(QStringLiteral("LastDate"), shared_.UnitCode,
                                          formatMomentText(clock_.now()));
    notify(DrillEvent::Kind::Completed);
    // Every path here has unticked the check box; it must not stand behind the box with the red caption
    // of a word that has gone.
    controls_.delCheckCaption = UntickedCaption;
    controls_.delCheckColour = ButtonTextColour;
    messenger_.showMessage(QStringLiteral("恭喜您，终于完成练习了"), MessageTitle);
    // A completion that was not recorded must not pass for one that was.
    if (written.error)
        messenger_.showMessage(QStringLiteral("完成日期无法保存：") + written.error->reason, MessageTitle);
    controls_.Timer1Enabled = false;
    // Again: a tick that came while a box was open may have set the caption for a ticked box.
    controls_.delCheckCaption = UntickedCaption;
    controls_.delCheckColour = ButtonTextColour;
    controls_.Label7.clear();
    controls_.Command7Enabled = false;
    controls_.Command6Enabled = false;
    controls_.Label4.clear();
    controls_.Label5.clear();
    controls_.rightSum.clear();
}

void DrillEngine::Timer1_Timer(const QString& text6, bool delCheckTicked)
{
    controls_.Text6 = text6;
    controls_.delCheckTicked = delCheckTicked;
    if (shared_.ReturnedToMenu) {
        controls_.Label4.clear();
        controls_.Label5.clear();
        controls_.Label7.clear();
        shared_.ReturnedToMenu = false;
    }
    controls_.delCheckCaption = controls_.delCheckTicked ? TickedCaption : UntickedCaption;
    controls_.delCheckColour = controls_.delCheckTicked ? RedColour : ButtonTextColour;
    if (inHandler_)
        return;

    const QString answer = controls_.Label5;
    if (controls_.Text6.isEmpty() || controls_.Text6 != answer)
        return;
    Running running(inHandler_);
    LastAnswer = answer;
    if (autoSpeak_ && speaker_)
        speaker_->speak(answer);
    const auto word = currentWord();
    if (word)
        notify(DrillEvent::Kind::Answered, *word, controls_.Label5Visible);
    if (controls_.delCheckTicked) {
        if (const auto deleted = recordset_ ? recordset_->Delete() : std::nullopt)
            report(*deleted); // the word stays in the unit; the correct answer still moves on
        else if (word)
            notify(DrillEvent::Kind::Deleted, *word);
    }
    AdvanceWord(true);
}

void DrillEngine::stopDrill()
{
    controls_.Timer1Enabled = false;
    controls_.Command7Enabled = false;
    controls_.Command6Enabled = false;
    controls_.Label4.clear();
    controls_.Label5.clear();
    controls_.Label7.clear();
    controls_.rightSum.clear();
}

std::optional<DrillWord> DrillEngine::currentWord() const
{
    const auto location = recordset_ ? recordset_->Location() : std::nullopt;
    if (!location)
        return std::nullopt;
    return DrillWord{*location, recordset_->Field(1).value_or(QString()),
                     recordset_->Field(2).value_or(QString())};
}

void DrillEngine::notify(DrillEvent::Kind kind, const DrillWord& word, bool answerShown)
{
    if (!observer_)
        return;
    DrillEvent event;
    event.kind = kind;
    event.at = clock_.now();
    event.drill = kind_;
    event.word = word;
    event.answerShown = answerShown;
    if (kind == DrillEvent::Kind::Started || kind == DrillEvent::Kind::Completed) {
        event.unitCode = kind_ == DrillKind::Unit ? shared_.UnitCode : QString();
        event.testMode = kind == DrillEvent::Kind::Started ? controls_.Option1 : !practiceUsed_;
    }
    if (kind == DrillEvent::Kind::Completed && DoneCount > 0)
        event.accuracy = Accuracy;
    observer_->drillEvent(event);
}

void DrillEngine::report(const StoreFailure& failure)
{
    std::fprintf(stderr, "vokabo: %s\n", qUtf8Printable(failure.detail));
    messenger_.showMessage(failure.message, MessageTitle);
}
