// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuWindow.h"

#include "Colours.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>
#include <qdrawutil.h>

namespace {

QLabel* legendLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                    const QFont& font)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QFrame* swatch(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour)
{
    auto* picture = new QFrame(parent);
    picture->setObjectName(QLatin1String(name));
    picture->setGeometry(geometry);
    picture->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    picture->setFocusPolicy(Qt::StrongFocus);
    picture->setBackgroundRole(QPalette::Button);
    picture->setAutoFillBackground(true);
    if (colour.isValid()) {
        QPalette palette = picture->palette();
        palette.setColor(QPalette::Button, colour);
        picture->setPalette(palette);
    }
    return picture;
}

} // namespace

// A unit button paints its own face: a flat fill of its back colour inside a raised edge, the same under
// every widget style. Without a back colour it shows the button face.
class UnitButton final : public QPushButton {
public:
    UnitButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

    void setBackColour(const QColor& colour)
    {
        backColour_ = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QBrush fill(backColour_.isValid() ? backColour_ : palette().color(QPalette::Button));
        const bool sunken = isDown();
        qDrawWinButton(&painter, rect(), palette(), sunken, &fill);
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(rect().adjusted(3, 3, -3, -3).translated(sunken ? 1 : 0, sunken ? 1 : 0),
                         Qt::AlignCenter | Qt::TextWordWrap, text());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(4, 4, -4, -4);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }

private:
    QColor backColour_;
};

// The unit buttons in the catalogue's order. Command1..Command5 are the first unit of each level;
// Command6..Command20 take units 2 to 4, level by level.
constexpr const char* UnitButtonNames[UnitCount] = {
    "Command1",  "Command6",  "Command7",  "Command8",  "Command2",  "Command9",  "Command10",
    "Command11", "Command3",  "Command12", "Command13", "Command14", "Command4",  "Command15",
    "Command16", "Command17", "Command5",  "Command18", "Command19", "Command20",
};

Form2::Form2(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Vokabo1.0"));
    resize(577, 450);

    const QFont unitFont = songFont(10.5, true);
    const auto& rows = UnitCatalogue();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const UnitRow& row = rows[i];
        auto* button = new UnitButton(row.caption, this);
        button->setObjectName(QLatin1String(UnitButtonNames[i]));
        button->setGeometry(8 + 88 * (row.unit - 1), 8 + 88 * (row.level - 1), 81, 81);
        button->setFont(unitFont);
        connect(button, &QPushButton::clicked, this,
                [this, row] { emit unitClicked(row.UnitCode, row.UnitTable); });
        units_[i] = button;
    }

    Frame1 = new QGroupBox(QStringLiteral("说明"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(368, 8, 193, 433);

    const QFont legendFont = songFont(10.5);
    Label1 =
        legendLabel(Frame1, "Label1", QStringLiteral("学习状态"), {56, 48, 121, 25}, songFont(10.5, true));
    Picture1 =
        swatch(Frame1, "Picture1", {48, 96, 17, 17}, colourOfNumber(bandColourNumber(ReviewBand::Best)));
    Label2 = legendLabel(Frame1, "Label2", bandCaption(ReviewBand::Best), {80, 96, 81, 17}, legendFont);
    Picture2 =
        swatch(Frame1, "Picture2", {48, 128, 17, 17}, colourOfNumber(bandColourNumber(ReviewBand::Good)));
    Label3 = legendLabel(Frame1, "Label3", bandCaption(ReviewBand::Good), {80, 128, 49, 17}, legendFont);
    Picture3 =
        swatch(Frame1, "Picture3", {48, 160, 17, 17}, colourOfNumber(bandColourNumber(ReviewBand::Fair)));
    Label4 = legendLabel(Frame1, "Label4", bandCaption(ReviewBand::Fair), {80, 160, 57, 17}, legendFont);
    Picture4 =
        swatch(Frame1, "Picture4", {48, 192, 17, 17}, colourOfNumber(bandColourNumber(ReviewBand::Poor)));
    Label5 = legendLabel(Frame1, "Label5", bandCaption(ReviewBand::Poor), {80, 192, 49, 17}, legendFont);
    Picture5 = swatch(Frame1, "Picture5", {48, 224, 17, 17}, QColor());
    Label7 = legendLabel(Frame1, "Label7", QStringLiteral("未练习"), {80, 224, 49, 17}, legendFont);
    Label6 = legendLabel(Frame1, "Label6", QString(), {16, 304, 161, 49}, font());
    // The hint's box holds four lines of twelve-pixel text; the CJK fonts' own line spacing would push the
    // last line out of it.
    Label6->setTextFormat(Qt::RichText);
    Label6->setText(
        QStringLiteral("<div style=\"line-height:%1px; -qt-line-height-type:fixed\">%2</div>")
            .arg(QFontInfo(font()).pixelSize())
            .arg(QStringLiteral("本软件会根据记忆曲线动态显示您的学习状态，请尽可能保持好的学习状态，"
                                "这样才能更快更牢固的学习好英语哦！")));

    // Command1..Command8, the five swatches, then Command9..Command20.
    QList<QWidget*> order;
    for (int n = 1; n <= 8; ++n)
        order.append(findChild<QPushButton*>(QStringLiteral("Command%1").arg(n)));
    order << Picture1 << Picture2 << Picture3 << Picture4 << Picture5;
    for (int n = 9; n <= 20; ++n)
        order.append(findChild<QPushButton*>(QStringLiteral("Command%1").arg(n)));
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    order.first()->setFocus();
}

void Form2::Form_Load(const SettingsFile& settings, const QDateTime& now)
{
    centreOnScreen(*this);
    const auto bands = reviewBands(settings, now);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        if (bands[i])
            units_[i]->setBackColour(colourOfNumber(bandColourNumber(*bands[i])));
    }
}

bool Form2::event(QEvent* event)
{
    // The window's tip belongs to its free areas: over a unit button the learner is choosing a unit.
    if (event->type() == QEvent::ToolTip) {
        const QWidget* under = childAt(static_cast<QHelpEvent*>(event)->pos());
        if (under && std::find(units_.begin(), units_.end(), under) != units_.end()) {
            QToolTip::hideText();
            return true;
        }
    }
    return QWidget::event(event);
}

void Form2::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloading();
}
