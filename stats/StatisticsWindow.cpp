#include "StatisticsWindow.h"

#include "Colours.h"
#include "HeatMap.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QStackedWidget>
#include <QTableWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

const QString LevelNames[] = {QStringLiteral("一级"), QStringLiteral("二级"), QStringLiteral("三级"),
                              QStringLiteral("四级"), QStringLiteral("五级")};
const QColor LevelColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                               QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd)};

// Beyond this many drills of a level the points are left out, and only the line is drawn.
constexpr int MarkedDrills = 60;
// Beyond this many drills of one level the lines would only be a smear: the chart shows weekly means.
constexpr int DrawnDrills = 150;
const QString AccuracyTitle = QStringLiteral("测试模式的正确率");

// The mean accuracy of each week, at the middle of the week.
QList<QPointF> weeklyMeans(const std::vector<const StatisticsData::TestDrill*>& drills)
{
    std::map<qint64, std::pair<double, int>> weeks;
    for (const StatisticsData::TestDrill* drill : drills) {
        auto& [total, count] = weeks[drill->day.addDays(1 - drill->day.dayOfWeek()).toJulianDay()];
        total += drill->accuracy;
        ++count;
    }
    QList<QPointF> means;
    for (const auto& [monday, sum] : weeks) {
        const QDateTime middle(QDate::fromJulianDay(monday).addDays(3), QTime(12, 0));
        means.append(QPointF(qreal(middle.toMSecsSinceEpoch()), sum.first / sum.second));
    }
    return means;
}

QGroupBox* box(const QString& title, QWidget* content, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(content);
    return group;
}

QTableWidget* table(const char* name, const QStringList& headers, QWidget* parent)
{
    auto* widget = new QTableWidget(0, int(headers.size()), parent);
    widget->setObjectName(QLatin1String(name));
    widget->setHorizontalHeaderLabels(headers);
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget->setSelectionMode(QAbstractItemView::NoSelection);
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setWordWrap(false);
    widget->verticalHeader()->setDefaultSectionSize(widget->fontMetrics().height() + 6);
    widget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    widget->horizontalHeader()->setHighlightSections(false);
    return widget;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    return item;
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("学习统计"));
    setAttribute(Qt::WA_QuitOnClose, false);

    heatMap_ = new HeatMap(this);
    heatMap_->setObjectName(QStringLiteral("heatMap"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    auto* calendar = new QWidget(this);
    auto* calendarLayout = new QVBoxLayout(calendar);
    calendarLayout->setContentsMargins(0, 0, 0, 0);
    calendarLayout->addWidget(heatMap_);
    calendarLayout->addWidget(summary_);
    calendarLayout->addStretch();

    auto* chart = new QChart;
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chartView_ = new QChartView(chart, this);
    chartView_->setObjectName(QStringLiteral("accuracyChart"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumHeight(180);
    auto* noDrills = new QLabel(QStringLiteral("还没有在测试模式下完成的单元。"), this);
    noDrills->setAlignment(Qt::AlignCenter);
    accuracy_ = new QStackedWidget(this);
    accuracy_->addWidget(noDrills);
    accuracy_->addWidget(chartView_);

    units_ = table("unitTable",
                   {QStringLiteral("单元"), QStringLiteral("最近完成"), QStringLiteral("距今天数"),
                    QStringLiteral("完成次数"), QStringLiteral("平均正确率"), QStringLiteral("剩余单词"),
                    QStringLiteral("错题本")},
                   this);
    units_->verticalHeader()->hide();
    units_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    units_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    units_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    mostMissed_ = table("missedWords",
                        {QStringLiteral("英文"), QStringLiteral("中文"), QStringLiteral("错误次数")}, this);

    problems_ = new QLabel(this);
    problems_->setObjectName(QStringLiteral("problems"));
    QPalette red = problems_->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    problems_->setPalette(red);
    problems_->hide();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(box(QStringLiteral("最近26周每天答对的单词"), calendar, this), 0, 0);
    accuracyBox_ = box(AccuracyTitle, accuracy_, this);
    layout->addWidget(accuracyBox_, 0, 1);
    layout->addWidget(box(QStringLiteral("各单元"), units_, this), 1, 0);
    layout->addWidget(box(QStringLiteral("最常错的20个单词"), mostMissed_, this), 1, 1);
    layout->addWidget(problems_, 2, 0, 1, 2);
    layout->setColumnStretch(0, 0);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);

    // Room for all twenty units without scrolling.
    const int rows =
        units_->verticalHeader()->defaultSectionSize() * 20 + units_->horizontalHeader()->sizeHint().height();
    units_->setMinimumHeight(rows + 2 * units_->frameWidth());
    resize(1100, sizeHint().height());
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::display(const StatisticsData& data)
{
    heatMap_->setDays(data.firstDay, data.today, data.answeredPerDay);
    const int total = std::accumulate(data.answeredPerDay.begin(), data.answeredPerDay.end(), 0,
                                      [](int sum, const auto& day) { return sum + day.second; });
    const int days = int(std::count_if(data.answeredPerDay.begin(), data.answeredPerDay.end(),
                                       [](const auto& day) { return day.second > 0; }));
    summary_->setText(QStringLiteral("26周里共答对 %1 个单词，练习了 %2 天。").arg(total).arg(days));
    showAccuracy(data);
    showUnits(data);
    showMostMissed(data);
    problems_->setText(data.problems.join(QLatin1Char('\n')));
    problems_->setVisible(!data.problems.isEmpty());
}

void StatisticsWindow::showAccuracy(const StatisticsData& data)
{
    QChart* chart = chartView_->chart();
    chart->removeAllSeries();
    // The chart deletes the series it removes, but hands removed axes back.
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    if (data.testDrills.empty()) {
        accuracy_->setCurrentIndex(0);
        return;
    }

    std::array<std::vector<const StatisticsData::TestDrill*>, 5> levels;
    for (const auto& drill : data.testDrills) {
        const int level = drill.unitCode.isEmpty() ? 0 : drill.unitCode.front().digitValue();
        if (level >= 1 && level <= 5)
            levels[size_t(level - 1)].push_back(&drill);
    }
    const bool weekly = std::any_of(levels.begin(), levels.end(),
                                    [](const auto& drills) { return drills.size() > size_t(DrawnDrills); });
    std::array<QList<QPointF>, 5> points;
    for (size_t level = 0; level < levels.size(); ++level) {
        if (weekly) {
            points[level] = weeklyMeans(levels[level]);
            continue;
        }
        for (const StatisticsData::TestDrill* drill : levels[level])
            points[level].append(QPointF(qreal(drill->completed.toMSecsSinceEpoch()), drill->accuracy));
    }
    accuracyBox_->setTitle(weekly ? AccuracyTitle + QStringLiteral("（每周平均）") : AccuracyTitle);

    // From the lowest accuracy's ten down, so that the usual nineties do not crowd against the top.
    double lowest = 100;
    for (const QList<QPointF>& level : points) {
        for (const QPointF& point : level)
            lowest = std::min(lowest, point.y());
    }
    const int bottom = std::clamp(int(lowest) / 10 * 10, 0, 90);
    auto* percent = new QValueAxis;
    percent->setRange(bottom, 100);
    percent->setTickCount(std::min(6, (100 - bottom) / 10 + 1));
    percent->setLabelFormat(QStringLiteral("%d%"));
    auto* time = new QDateTimeAxis;
    const QDateTime first = data.testDrills.front().completed, last = data.testDrills.back().completed;
    const qint64 span = first.daysTo(last);
    time->setFormat(span > 300 ? QStringLiteral("yyyy/M") : QStringLiteral("M/d"));
    // A day either side of a short span, so that its ticks fall on different days.
    const qint64 margin = span < 7 ? 24 * 3600 : 12 * 3600;
    time->setRange(first.addSecs(-margin), last.addSecs(margin));
    time->setTickCount(span < 7 ? 3 : 6);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(percent, Qt::AlignLeft);
    for (size_t level = 0; level < points.size(); ++level) {
        if (points[level].isEmpty())
            continue;
        auto* series = new QLineSeries;
        series->setName(LevelNames[level]);
        series->setColor(LevelColours[level]);
        series->setPointsVisible(points[level].size() <= MarkedDrills);
        series->setMarkerSize(6);
        series->replace(points[level]);
        chart->addSeries(series);
        series->attachAxis(time);
        series->attachAxis(percent);
    }
    accuracy_->setCurrentIndex(1);
}

void StatisticsWindow::showUnits(const StatisticsData& data)
{
    units_->setRowCount(int(data.units.size()));
    for (int row = 0; row < int(data.units.size()); ++row) {
        const StatisticsData::Unit& unit = data.units[size_t(row)];
        units_->setItem(row, 0, cell(unit.caption, Qt::AlignLeft | Qt::AlignVCenter));
        units_->setItem(row, 1,
                        cell(unit.lastCompleted
                                 ? unit.lastCompleted->toString(QStringLiteral("yyyy/M/d H:mm"))
                                 : QStringLiteral("未练习"),
                             Qt::AlignLeft | Qt::AlignVCenter));
        QTableWidgetItem* days = cell(unit.daysSince ? QString::number(*unit.daysSince) : QString());
        // The menu's colour for the unit, so that the table reads like the buttons.
        if (unit.band) {
            days->setBackground(colourOfNumber(bandColourNumber(*unit.band)));
            days->setForeground(Qt::white);
            days->setToolTip(bandCaption(*unit.band));
        }
        units_->setItem(row, 2, days);
        units_->setItem(row, 3, cell(QString::number(unit.drillsDone)));
        units_->setItem(row, 4,
                        cell(unit.meanAccuracy ? QStringLiteral("%1%").arg(std::lround(*unit.meanAccuracy))
                                               : QStringLiteral("—")));
        units_->setItem(row, 5,
                        cell(unit.wordsLeft ? QString::number(*unit.wordsLeft) : QStringLiteral("—")));
        units_->setItem(row, 6, cell(QString::number(unit.inErrorBook)));
    }
}

void StatisticsWindow::showMostMissed(const StatisticsData& data)
{
    mostMissed_->setRowCount(int(data.mostMissed.size()));
    for (int row = 0; row < int(data.mostMissed.size()); ++row) {
        const StatisticsData::MissedWord& word = data.mostMissed[size_t(row)];
        mostMissed_->setItem(row, 0, cell(word.english, Qt::AlignLeft | Qt::AlignVCenter));
        mostMissed_->setItem(row, 1, cell(word.chinese, Qt::AlignLeft | Qt::AlignVCenter));
        mostMissed_->setItem(row, 2, cell(QString::number(word.misses)));
    }
    QHeaderView* header = mostMissed_->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
}
