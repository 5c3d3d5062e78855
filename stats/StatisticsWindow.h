#pragma once

#include "StatisticsData.h"
#include "StatisticsView.h"

#include <QWidget>

class HeatMap;
class QChart;
class QChartView;
class QGroupBox;
class QLabel;
class QStackedWidget;
class QTableWidget;

// "学习统计": words answered per day over 26 weeks, the accuracy of each test-mode drill by level, a
// table of the twenty units, and the twenty words missed most often.
class StatisticsWindow final : public QWidget, public StatisticsView {
    Q_OBJECT
public:
    explicit StatisticsWindow(QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    QWidget* widget() override { return this; }
    void display(const StatisticsData& data) override;

private:
    void showAccuracy(const StatisticsData& data);
    void showUnits(const StatisticsData& data);
    void showMostMissed(const StatisticsData& data);

    QLabel* summary_ = nullptr;
    HeatMap* heatMap_ = nullptr;
    QGroupBox* accuracyBox_ = nullptr;
    QStackedWidget* accuracy_ = nullptr;
    QChartView* chartView_ = nullptr;
    QTableWidget* units_ = nullptr;
    QTableWidget* mostMissed_ = nullptr;
    QLabel* problems_ = nullptr;
};
