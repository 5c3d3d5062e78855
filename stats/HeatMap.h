// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QWidget>
#include <map>

// A calendar of weeks, one column a week from Monday to Sunday, each day coloured by how many words were
// answered on it.
class HeatMap final : public QWidget {
    Q_OBJECT
public:
    explicit HeatMap(QWidget* parent = nullptr);

    // Weeks from the Monday `firstDay` to the week of `today`; days after today stay blank.
    void setDays(const QDate& firstDay, const QDate& today, std::map<QDate, int> counts);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The shade of a count, 0 (none) to 4 (a quarter of the busiest day's count or more, in steps).
    static int shadeOf(int count, int busiest);
    // Where a day's cell is drawn.
    QRect dayRect(const QDate& day) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect cellRect(int week, int weekday) const;
    QDate dayAt(const QPoint& point) const;
    int weeks() const;

    QDate firstDay_;
    QDate today_;
    std::map<QDate, int> counts_;
    int busiest_ = 0;
};
