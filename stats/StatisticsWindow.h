// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StatisticsData.h"
#include "StatisticsView.h"

#include <QWidget>

class TippedChartView;
class HeatMap;
class QGridLayout;
class QGroupBox;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QTableWidget;

// "学习统计": words answered per day over 26 weeks, the accuracy of each test-mode drill by level, the
// words due for review each day of the next 30, the retention of each week's due reviews against the one
// asked for, a table of the twenty units, and the twenty words missed most often. Two columns when the
// window is wide enough, else one; what does not fit scrolls. Esc and Ctrl+W close it.
class StatisticsWindow final : public QWidget, public StatisticsView {
    Q_OBJECT
public:
    explicit StatisticsWindow(QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    QWidget* widget() override { return this; }
    void display(const StatisticsData& data) override;

    // Everything in two columns, without scrolling; the program fits it to the screen.
    QSize sizeHint() const override { return preferred_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrange(bool twoColumns);
    void showAccuracy(const StatisticsData& data);
    void showForecast(const StatisticsData& data);
    void showRetention(const StatisticsData& data);
    void showUnits(const StatisticsData& data);
    void showMostMissed(const StatisticsData& data);

    QLabel* summary_ = nullptr;
    HeatMap* heatMap_ = nullptr;
    QGroupBox* calendarBox_ = nullptr;
    QGroupBox* accuracyBox_ = nullptr;
    QGroupBox* forecastBox_ = nullptr;
    QGroupBox* retentionBox_ = nullptr;
    QGroupBox* unitsBox_ = nullptr;
    QGroupBox* missedBox_ = nullptr;
    QStackedWidget* accuracy_ = nullptr;
    TippedChartView* chartView_ = nullptr;
    QStackedWidget* forecast_ = nullptr;
    TippedChartView* forecastView_ = nullptr;
    QLabel* forecastNote_ = nullptr; // while the schedule is read, or when nothing is due
    QStackedWidget* retention_ = nullptr;
    TippedChartView* retentionView_ = nullptr;
    QLabel* retentionNote_ = nullptr;
    QTableWidget* units_ = nullptr;
    QTableWidget* mostMissed_ = nullptr;
    QLabel* problems_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QGridLayout* grid_ = nullptr;
    bool twoColumns_ = false;
    int twoColumnWidth_ = 0; // the narrowest window that shows two columns
    QSize preferred_;
};
