// SPDX-License-Identifier: GPL-3.0-or-later
#include "StudyWindow.h"

#include "Colours.h"
#include "WindowPlacement.h"
#include "WordLabels.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

namespace {

const QString Notice = QStringLiteral("Vokabo");
const QString Title = QStringLiteral("Vokabo1.0");
const QString StatusNotice = QStringLiteral("Vokabo 1.0  英语单词练习  Ctrl+J 朗读  Ctrl+Shift+J 自动朗读");

template <typename Widget, typename... Args>
Widget* place(QWidget* parent, const char* name, const QRect& geometry, Args&&... args)
{
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// Labels wrap inside their width. Those whose text can run to a second line start at the top, so that
// the first line shows; the fixed one-line captions are centred, because the CJK fonts' line height is
// greater than some of their boxes.
QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
              Qt::Alignment vertical = Qt::AlignTop)
{
    auto* widget = place<QLabel>(parent, name, geometry, caption);
    widget->setAlignment(Qt::AlignLeft | vertical);
    widget->setWordWrap(true);
    return widget;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

template <typename Widget> void setTextIfChanged(Widget* widget, const QString& text)
{
    // Rewriting an unchanged text would move the learner's cursor and repaint twice a second.
    if (widget->text() != text)
        widget->setText(text);
}

// A word the learner must read whole: never cut off, never wrapped, drawn smaller when it is wider than
// its label, on the line's baseline.
void showWord(QLabel* label, const QString& text)
{
    if (label->text() == text)
        return;
    const QFont font = WordLabels::font();
    const QFont fitted = fittingFont(font, text, label->width());
    label->setFont(fitted);
    label->setContentsMargins(0, qRound(QFontMetricsF(font).ascent() - QFontMetricsF(fitted).ascent()), 0, 0);
    label->setText(text);
}

} // namespace

void Form1::WindowMessenger::showMessage(const QString& text, const QString& title)
{
    // The box runs its own event loop and the timer keeps ticking in it: the window must already show
    // the engine's state, the cleared input above all.
    window_.render(window_.engine_.view());
    messages_.showMessage(text, title);
}

Form1::Form1(SettingsFile& settings, Messenger& messages, const Clock& clock, QWidget* parent)
    : QWidget(parent), messenger_(*this, messages), engine_(settings, messenger_, clock)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Title);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(614, 301);
    setMouseTracking(true);

    const QFont song = songFont(10.5);
    const QFont songLarge = songFont(14.25);
    const QFont songLargeBold = WordLabels::font();

    Command8 = place<QPushButton>(this, "Command8", {8, 8, 89, 25}, QStringLiteral("返回主界面"));
    Frame1 = place<QGroupBox>(this, "Frame1", {208, 0, 169, 49});
    Option1 = place<QRadioButton>(Frame1, "Option1", {8, 16, 65, 17}, QStringLiteral("测试"));
    Option2 = place<QRadioButton>(Frame1, "Option2", {88, 16, 49, 17}, QStringLiteral("练习"));
    Option1->setChecked(true);
    Label1 = label(this, "Label1", Notice, {552, 8, 57, 17}, Qt::AlignVCenter);
    setTextColour(Label1, colourOfNumber(0x00C00000));
    Label1->setMouseTracking(true);
    Label1->installEventFilter(this);
    rightSum = label(this, "rightSum", QString(), {208, 56, 201, 17});
    rightSum->setFont(song);
    setTextColour(rightSum, colourOfNumber(RedColour));
    Label2 = label(this, "Label2", QStringLiteral("中文："), {168, 88, 49, 17}, Qt::AlignVCenter);
    Label2->setFont(song);
    // The words come from the database and are shown as they are, markup and all.
    Label4 = label(this, "Label4", QString(), {216, 80, WordLabels::PromptWidth, 25});
    Label4->setFont(songLargeBold);
    Label4->setTextFormat(Qt::PlainText);
    Label4->setWordWrap(false);
    Label3 = label(this, "Label3", QStringLiteral("答案："), {384, 88, 49, 17}, Qt::AlignVCenter);
    Label3->setFont(song);
    Label3->hide();
    Label5 = label(this, "Label5", QString(), {432, 80, WordLabels::AnswerWidth, 25});
    Label5->setFont(songLargeBold);
    Label5->setTextFormat(Qt::PlainText);
    Label5->setWordWrap(false);
    Label5->hide();
    Label6 = label(this, "Label6", QStringLiteral("英文："), {168, 128, 44, 14}, Qt::AlignVCenter);
    Label6->setFont(song);
    Text6 = place<QLineEdit>(this, "Text6", {216, 120, 121, 26});
    Text6->setFont(songLarge);
    delCheck = place<QCheckBox>(this, "delCheck", {352, 128, 241, 25}, UntickedCaption);
    delCheck->setFont(song);
    Label8 = label(this, "Label8", QStringLiteral("填写正确会自动进入下一个"), {184, 168, 169, 17},
                   Qt::AlignVCenter);
    Label8->setFont(songFont(9, true));
    setTextColour(Label8, colourOfNumber(0x00008000));
    Command5 = place<QPushButton>(this, "Command5", {176, 192, 52, 25}, QStringLiteral("开 始"));
    Command5->setFont(song);
    Command7 = place<QPushButton>(this, "Command7", {240, 192, 116, 25}, QStringLiteral("下一个"));
    Command7->setFont(song);
    Command7->setEnabled(false);
    Command6 = place<QPushButton>(this, "Command6", {376, 192, 137, 25}, QStringLiteral("投降了，看看答案"));
    Command6->setFont(song);
    Command6->setEnabled(false);
    Label7 = label(this, "Label7", QString(), {128, 232, 399, 19});
    StatusBar1 = place<QStatusBar>(this, "StatusBar1", {0, 276, 614, 25});
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(StatusNotice, StatusBar1), 1);
    // What the drill is, when it is not a unit; a unit's status bar is as it always was.
    drillSummary_ = new QLabel(StatusBar1);
    drillSummary_->setObjectName(QStringLiteral("drillSummary"));
    StatusBar1->addPermanentWidget(drillSummary_);
    drillSummary_->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    setTabOrder(Command5, Command7);
    setTabOrder(Command7, Text6);
    setTabOrder(Text6, Command6);
    setTabOrder(Command6, delCheck);
    setTabOrder(delCheck, Command8);
    setTabOrder(Command8, Option1);
    setTabOrder(Option1, Option2);
    Command5->setFocus();

    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Option1, &QRadioButton::clicked, this, &Form1::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &Form1::Option2_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::returnToMenuClicked);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Text6, &QLineEdit::textChanged, this,
            [this](const QString& text) { engine_.typedChanged(text); });
    connect(delCheck, &QCheckBox::toggled, this,
            [this](bool ticked) { engine_.masteredTickedChanged(ticked); });

    // Keys of the window, not controls on it, so that the layout stays as it is.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), this), &QShortcut::activated, this,
            [this] { render(engine_.speakAnswer()); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J), this), &QShortcut::activated, this,
            [this] { render(engine_.toggleAutoSpeak()); });
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    centreOnScreen(*this);
}

void Form1::openDrill(std::unique_ptr<Recordset> words, DrillKind kind, const QString& unitCode)
{
    engine_.open(std::move(words), kind, unitCode);
    render(engine_.view());
}

void Form1::Form_Unload()
{
    Timer1->stop();
    engine_.close();
}

void Form1::Timer1_Timer()
{
    render(engine_.tick(Text6->text(), delCheck->isChecked()));
}

void Form1::Command5_Click()
{
    render(engine_.start());
}

void Form1::Command6_Click()
{
    render(engine_.giveUp());
}

void Form1::Command7_Click()
{
    render(engine_.passOver());
}

void Form1::Option1_Click()
{
    render(engine_.changeMode(DrillMode::Test));
}

void Form1::Option2_Click()
{
    render(engine_.changeMode(DrillMode::Practice));
}

void Form1::Label1_MouseMove()
{
    // The notice in the corner stands out while the mouse is over it.
    if (!Label1->font().bold()) {
        QFont font = Label1->font();
        font.setBold(true);
        Label1->setFont(font);
    }
}

void Form1::Form_MouseMove()
{
    if (Label1->font().bold()) {
        QFont font = Label1->font();
        font.setBold(false);
        Label1->setFont(font);
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
    emit unloading();
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    // Moves over a control reach here too when the control ignores them; only the window's own surface
    // counts.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1 && event->type() == QEvent::MouseMove)
        Label1_MouseMove();
    return QWidget::eventFilter(watched, event);
}

void Form1::render(const StudyStep& step)
{
    render(step.view);
    if (step.focusInput)
        Text6->setFocus();
    if (!step.notice.isEmpty())
        StatusBar1->showMessage(step.notice, step.noticeSeconds * 1000);
}

void Form1::render(const StudyView& view)
{
    showWord(Label4, view.prompt);
    showWord(Label5, view.answer);
    setTextIfChanged(Label7, view.progress);
    setTextIfChanged(rightSum, view.accuracy);
    setTextIfChanged(Text6, view.typed);
    const QString title = view.drillName.isEmpty() ? Title : Title + QStringLiteral(" — ") + view.drillName;
    if (windowTitle() != title)
        setWindowTitle(title);
    setTextIfChanged(drillSummary_, view.drillSummary);
    drillSummary_->setVisible(!view.drillSummary.isEmpty());
    Label3->setVisible(view.answerShown);
    Label5->setVisible(view.answerShown);
    rightSum->setVisible(view.accuracyShown);

    if (delCheck->isChecked() != view.masteredTicked)
        delCheck->setChecked(view.masteredTicked);
    setTextIfChanged(delCheck, view.masteredCaption);
    if (shownDelCheckColour_ != view.masteredColour) {
        shownDelCheckColour_ = view.masteredColour;
        if (view.masteredColour == ButtonTextColour)
            setTextColour(delCheck, QApplication::palette(delCheck).color(QPalette::ButtonText));
        else
            setTextColour(delCheck, colourOfNumber(view.masteredColour));
    }

    Command6->setEnabled(view.canGiveUp);
    Command7->setEnabled(view.canPassOver);
    QRadioButton* mode = view.mode == DrillMode::Test ? Option1 : Option2;
    if (!mode->isChecked())
        mode->setChecked(true);

    if (view.judging && !Timer1->isActive())
        Timer1->start();
    else if (!view.judging && Timer1->isActive())
        Timer1->stop();
}
