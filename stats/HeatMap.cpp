// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeatMap.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <array>

namespace {

constexpr int Cell = 14;
constexpr int Gap = 3;
constexpr int Pitch = Cell + Gap;
constexpr int Left = 22; // weekday labels
constexpr int Top = 18;  // month labels

const std::array<QColor, 5> Shades{QColor(0xd9, 0xdc, 0xe0), QColor(0x9b, 0xe9, 0xa8),
                                   QColor(0x40, 0xc4, 0x63), QColor(0x30, 0xa1, 0x4e),
                                   QColor(0x21, 0x6e, 0x39)};

} // namespace

HeatMap::HeatMap(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void HeatMap::setDays(const QDate& firstDay, const QDate& today, std::map<QDate, int> counts)
{
    firstDay_ = firstDay;
    today_ = today;
    counts_ = std::move(counts);
    busiest_ = 0;
    for (const auto& [day, count] : counts_)
        busiest_ = std::max(busiest_, count);
    updateGeometry();
    update();
}

int HeatMap::weeks() const
{
    return firstDay_.isValid() && today_ >= firstDay_ ? int(firstDay_.daysTo(today_) / 7) + 1 : 0;
}

QSize HeatMap::sizeHint() const
{
    const int legend = fontMetrics().height() + 8;
    // A month's name can start above the last week and run past it.
    const int lastLabel = fontMetrics().horizontalAdvance(QStringLiteral("12月")) - Cell;
    return {Left + std::max(weeks(), 26) * Pitch + lastLabel, Top + 7 * Pitch + legend};
}

int HeatMap::shadeOf(int count, int busiest)
{
    if (count <= 0 || busiest <= 0)
        return 0;
    return std::clamp((count * 4 + busiest - 1) / busiest, 1, 4);
}

QRect HeatMap::cellRect(int week, int weekday) const
{
    return {Left + week * Pitch, Top + weekday * Pitch, Cell, Cell};
}

QRect HeatMap::dayRect(const QDate& day) const
{
    const qint64 days = firstDay_.daysTo(day);
    return cellRect(int(days / 7), int(days % 7));
}

QDate HeatMap::dayAt(const QPoint& point) const
{
    for (int week = 0; week < weeks(); ++week) {
        for (int weekday = 0; weekday < 7; ++weekday) {
            if (cellRect(week, weekday).contains(point)) {
                const QDate day = firstDay_.addDays(week * 7 + weekday);
                return day <= today_ ? day : QDate();
            }
        }
    }
    return {};
}

void HeatMap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    painter.setPen(palette().color(QPalette::WindowText));

    const QString weekdays[] = {QStringLiteral("一"), QString(), QStringLiteral("三"), QString(),
                                QStringLiteral("五"), QString(), QStringLiteral("日")};
    for (int weekday = 0; weekday < 7; ++weekday)
        painter.drawText(QRect(0, Top + weekday * Pitch, Left - 4, Cell), Qt::AlignRight | Qt::AlignVCenter,
                         weekdays[weekday]);

    int lastLabelRight = -1;
    for (int week = 0; week < weeks(); ++week) {
        const QDate monday = firstDay_.addDays(week * 7);
        // A month is named above the first week that starts in it.
        if (week == 0 || monday.month() != monday.addDays(-7).month()) {
            painter.setPen(palette().color(QPalette::WindowText));
            const QString name = QStringLiteral("%1月").arg(monday.month());
            const int x = Left + week * Pitch;
            if (x > lastLabelRight) {
                painter.drawText(QPoint(x, Top - 5), name);
                lastLabelRight = x + metrics.horizontalAdvance(name) + 4;
            }
        }
        for (int weekday = 0; weekday < 7; ++weekday) {
            const QDate day = monday.addDays(weekday);
            if (day > today_)
                continue;
            const auto found = counts_.find(day);
            painter.setPen(day == today_ ? QPen(palette().color(QPalette::WindowText), 1) : QPen(Qt::NoPen));
            painter.setBrush(Shades[size_t(shadeOf(found == counts_.end() ? 0 : found->second, busiest_))]);
            painter.drawRoundedRect(QRectF(cellRect(week, weekday)).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        }
    }

    // The legend, under the calendar's right edge: 少 ■■■■■ 多.
    const int y = Top + 7 * Pitch + 4;
    const QString less = QStringLiteral("少"), more = QStringLiteral("多");
    int x = Left + weeks() * Pitch - Gap - metrics.horizontalAdvance(more) - 4 - 5 * Pitch -
            metrics.horizontalAdvance(less) - 4;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(x, y, metrics.horizontalAdvance(less), Cell), Qt::AlignVCenter, less);
    x += metrics.horizontalAdvance(less) + 4;
    painter.setPen(Qt::NoPen);
    for (const QColor& shade : Shades) {
        painter.setBrush(shade);
        painter.drawRoundedRect(QRectF(x, y, Cell, Cell).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        x += Pitch;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(x + 1, y, metrics.horizontalAdvance(more), Cell), Qt::AlignVCenter, more);
}

bool HeatMap::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QDate day = dayAt(help->pos());
        if (day.isValid()) {
            const auto found = counts_.find(day);
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("%1：答对 %2 个")
                                   .arg(day.toString(QStringLiteral("yyyy-MM-dd")))
                                   .arg(found == counts_.end() ? 0 : found->second),
                               this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}
