// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatisticsWindow.h"

#include "Colours.h"
#include "HeatMap.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// The five levels, then the error book and today's reviews, each a line of the accuracy chart.
constexpr int Lines = 7;
const QString LineNames[Lines] = {QStringLiteral("一级"),    QStringLiteral("二级"), QStringLiteral("三级"),
                                  QStringLiteral("四级"),    QStringLiteral("五级"), QStringLiteral("错题本"),
                                  QStringLiteral("今日复习")};
const QColor LineColours[Lines] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c), QColor(0xd6, 0x27, 0x28),
    QColor(0x94, 0x67, 0xbd), QColor(0x7f, 0x7f, 0x7f), QColor(0x17, 0xbe, 0xcf)};
constexpr int ErrorBookLine = 5;
constexpr int ReviewLine = 6;

// Beyond this many drills of one line the lines would only be a smear: the chart shows weekly means.
constexpr int DrawnDrills = 150;
// Qt draws a line's markers three times as wide as its pen.
constexpr qreal LineWidth = 1.5;
// Month labels along the time axis, at most.
constexpr int TimeLabels = 6;
// The narrowest the accuracy chart becomes beside the calendar.
constexpr int ChartMinimumWidth = 320;
const QString AccuracyTitle = QStringLiteral("测试模式的正确率");

int lineOf(const StatisticsData::TestDrill& drill)
{
    if (drill.review)
        return ReviewLine;
    if (drill.unitCode.isEmpty())
        return ErrorBookLine;
    const int level = drill.unitCode.front().digitValue();
    return level >= 1 && level <= 5 ? level - 1 : -1;
}

qreal msecsAt(const QDate& day)
{
    return qreal(QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch());
}

QString dayText(const QDate& day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

// The time axis over whole months that hold every point with room either side, so that no marker is cut
// by the plot's edge; labelled at the first of every month, or of every few.
QCategoryAxis* monthAxis(qint64 first, qint64 last)
{
    const qint64 room = std::max<qint64>(12 * 3600 * 1000, (last - first) / 30);
    const QDate from = QDateTime::fromMSecsSinceEpoch(first - room).date();
    const QDate to = QDateTime::fromMSecsSinceEpoch(last + room).date();
    const QDate start(from.year(), from.month(), 1);
    const QDate end = QDate(to.year(), to.month(), 1).addMonths(1);
    const int months = (end.year() - start.year()) * 12 + end.month() - start.month();
    int step = 1;
    for (const int every : {1, 2, 3, 6, 12, 24, 60}) {
        step = every;
        if (months / every < TimeLabels)
            break;
    }
    const bool oneYear = start.year() == end.addDays(-1).year();
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(msecsAt(start), msecsAt(end));
    // A category's label stands at its end: the first one, at the axis' start, ends there.
    axis->setStartValue(msecsAt(start) - 1);
    for (QDate month = start; month <= end; month = month.addMonths(1)) {
        if ((month.year() * 12 + month.month() - 1) % step == 0)
            axis->append(month.toString(oneYear ? QStringLiteral("M月") : QStringLiteral("yyyy/M")),
                         msecsAt(month));
    }
    return axis;
}

// The axes of a chart of percentages over time, added to `chart`: whole months along the bottom
// (monthAxis()), and up the side from the lowest value's ten down, so that the usual nineties do not crowd
// against the top, with room above 100 % and below the lowest, so that no marker is cut by the plot's edge.
struct PercentAxes {
    QCategoryAxis* time;
    QValueAxis* percent;
};
PercentAxes addPercentAxes(QChart& chart, qint64 first, qint64 last, double lowest)
{
    const int bottom = std::clamp(int(lowest) / 10 * 10, 0, 90);
    const qreal room = (100 - bottom) * 0.06;
    auto* percent = new QValueAxis;
    percent->setRange(bottom - room, 100 + room);
    percent->setTickType(QValueAxis::TicksDynamic);
    percent->setTickAnchor(0);
    percent->setTickInterval(100 - bottom > 50 ? 20 : 10);
    percent->setLabelFormat(QStringLiteral("%d%"));
    QCategoryAxis* time = monthAxis(first, last);
    // The last month's label is centred on the right edge of the plot: room for its half.
    const QStringList labels = time->categoriesLabels();
    chart.setMargins(QMargins(
        0, 0,
        QFontMetrics(time->labelsFont()).horizontalAdvance(labels.isEmpty() ? QString() : labels.last()) / 2,
        0));
    chart.addAxis(time, Qt::AlignBottom);
    chart.addAxis(percent, Qt::AlignLeft);
    return {time, percent};
}

struct Point {
    QPointF value; // msecs since the epoch, accuracy
    QString tip;
};

// The mean accuracy of each week, at the middle of the week.
QList<Point> weeklyMeans(const std::vector<const StatisticsData::TestDrill*>& drills, const QString& name)
{
    std::map<qint64, std::pair<double, int>> weeks;
    for (const StatisticsData::TestDrill* drill : drills) {
        auto& [total, count] = weeks[drill->day.addDays(1 - drill->day.dayOfWeek()).toJulianDay()];
        total += drill->accuracy;
        ++count;
    }
    QList<Point> means;
    for (const auto& [monday, sum] : weeks) {
        const QDate first = QDate::fromJulianDay(monday);
        const QDateTime middle(first.addDays(3), QTime(12, 0));
        const double mean = sum.first / sum.second;
        means.append({QPointF(qreal(middle.toMSecsSinceEpoch()), mean),
                      QStringLiteral("%1 起一周 %2：平均正确率 %3%（%4 次）")
                          .arg(dayText(first), name)
                          .arg(std::lround(mean))
                          .arg(sum.second)});
    }
    return means;
}

QGroupBox* box(const char* name, const QString& title, QWidget* content, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(name));
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

// A chart with a tip on each point: for the accuracy chart the drill, or the week, and its accuracy.
class TippedChartView final : public QChartView {
public:
    using QChartView::QChartView;

    struct Tip {
        QAbstractSeries* series;
        QPointF value;
        QString text;
    };
    void setTips(std::vector<Tip> tips) { tips_ = std::move(tips); }

    // The tip of the point drawn nearest `position`, within a few pixels; empty away from the points.
    QString tipAt(const QPoint& position) const
    {
        constexpr int Reach = 8;
        const Tip* nearest = nullptr;
        int best = Reach * Reach + 1;
        for (const Tip& tip : tips_) {
            const QPoint at =
                mapFromScene(chart()->mapToScene(chart()->mapToPosition(tip.value, tip.series))) - position;
            if (const int distance = QPoint::dotProduct(at, at); distance < best) {
                best = distance;
                nearest = &tip;
            }
        }
        return nearest ? nearest->text : QString();
    }

protected:
    bool viewportEvent(QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QChartView::viewportEvent(event);
        auto* help = static_cast<QHelpEvent*>(event);
        if (const QString tip = tipAt(help->pos()); !tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, viewport());
        else
            QToolTip::hideText();
        return true;
    }

private:
    std::vector<Tip> tips_;
};

namespace {

TippedChartView* chartView(const char* name, QWidget* parent)
{
    auto* chart = new QChart;
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new TippedChartView(chart, parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(ChartMinimumWidth, 200);
    return view;
}

// Empties a chart for new figures. It deletes the series it removes, but hands removed axes back.
void clearChart(TippedChartView& view)
{
    QChart* chart = view.chart();
    view.setTips({});
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
}

const QString ScheduleBeingRead = QStringLiteral("正在读取复习计划…");

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("学习统计"));
    setAttribute(Qt::WA_QuitOnClose, false);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("scroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    auto* content = new QWidget(scroll_);
    grid_ = new QGridLayout(content);
    grid_->setContentsMargins(8, 8, 8, 8);

    heatMap_ = new HeatMap(content);
    heatMap_->setObjectName(QStringLiteral("heatMap"));
    summary_ = new QLabel(content);
    summary_->setObjectName(QStringLiteral("summary"));
    auto* calendar = new QWidget(content);
    auto* calendarLayout = new QVBoxLayout(calendar);
    calendarLayout->setContentsMargins(0, 0, 0, 0);
    calendarLayout->addWidget(heatMap_);
    calendarLayout->addWidget(summary_);
    calendarLayout->addStretch();

    chartView_ = chartView("accuracyChart", content);
    auto* noDrills = new QLabel(QStringLiteral("还没有在测试模式下完成的练习。"), content);
    noDrills->setAlignment(Qt::AlignCenter);
    accuracy_ = new QStackedWidget(content);
    accuracy_->addWidget(noDrills);
    accuracy_->addWidget(chartView_);
    const auto scheduleView = [&](const char* name, QStackedWidget*& stack, TippedChartView*& view,
                                  QLabel*& note) {
        view = chartView(name, content);
        note = new QLabel(content);
        note->setObjectName(QLatin1String(name) + QStringLiteral("Note"));
        note->setAlignment(Qt::AlignCenter);
        stack = new QStackedWidget(content);
        stack->addWidget(note);
        stack->addWidget(view);
    };
    scheduleView("forecastChart", forecast_, forecastView_, forecastNote_);
    scheduleView("retentionChart", retention_, retentionView_, retentionNote_);

    units_ = table("unitTable",
                   {QStringLiteral("单元"), QStringLiteral("最近完成"), QStringLiteral("距今天数"),
                    QStringLiteral("完成次数"), QStringLiteral("平均正确率"), QStringLiteral("剩余单词"),
                    QStringLiteral("错题本")},
                   content);
    units_->verticalHeader()->hide();
    units_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    units_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    units_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    // Room for all twenty units without scrolling.
    const int rows =
        units_->verticalHeader()->defaultSectionSize() * 20 + units_->horizontalHeader()->sizeHint().height();
    units_->setMinimumHeight(rows + 2 * units_->frameWidth());
    mostMissed_ = table(
        "missedWords", {QStringLiteral("英文"), QStringLiteral("中文"), QStringLiteral("错误次数")}, content);

    problems_ = new QLabel(content);
    problems_->setObjectName(QStringLiteral("problems"));
    QPalette red = problems_->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    problems_->setPalette(red);
    problems_->hide();

    calendarBox_ = box("calendarBox", QStringLiteral("最近26周每天答对的单词"), calendar, content);
    accuracyBox_ = box("accuracyBox", AccuracyTitle, accuracy_, content);
    forecastBox_ = box("forecastBox", QStringLiteral("今后30天每天到期的单词"), forecast_, content);
    retentionBox_ = box("retentionBox", QString(), retention_, content);
    unitsBox_ = box("unitsBox", QStringLiteral("各单元"), units_, content);
    missedBox_ = box("missedBox", QStringLiteral("最常错的20个单词"), mostMissed_, content);
    scroll_->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);

    // A scroll bar may take its width from either arrangement.
    const int scrollBar = scroll_->verticalScrollBar()->sizeHint().width();
    arrange(true);
    twoColumnWidth_ = grid_->minimumSize().width() + scrollBar;
    preferred_ = QSize(std::max(1100, twoColumnWidth_), grid_->sizeHint().height());
    setMinimumSize(std::min(320, twoColumnWidth_), 240);
    resize(preferred_);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::arrange(bool twoColumns)
{
    twoColumns_ = twoColumns;
    QWidget* const parts[] = {calendarBox_, accuracyBox_, forecastBox_, retentionBox_,
                              unitsBox_,    missedBox_,   problems_};
    for (QWidget* part : parts)
        grid_->removeWidget(part);
    // The row that takes what height is left: the units' beside the words', or the accuracy chart's.
    int growing = 1;
    if (twoColumns) {
        for (int part = 0; part < 6; ++part)
            grid_->addWidget(parts[part], part / 2, part % 2);
        grid_->addWidget(problems_, 3, 0, 1, 2);
        growing = 2;
    } else {
        for (int row = 0; row < int(std::size(parts)); ++row)
            grid_->addWidget(parts[row], row, 0);
    }
    grid_->setColumnStretch(0, twoColumns ? 0 : 1);
    grid_->setColumnStretch(1, twoColumns ? 1 : 0);
    for (int row = 0; row < int(std::size(parts)); ++row)
        grid_->setRowStretch(row, row == growing ? 1 : 0);
}

void StatisticsWindow::resizeEvent(QResizeEvent* event)
{
    if (const bool wide = event->size().width() >= twoColumnWidth_; wide != twoColumns_)
        arrange(wide);
    QWidget::resizeEvent(event);
}

void StatisticsWindow::display(const StatisticsData& data)
{
    heatMap_->setDays(data.firstDay, data.today, data.answeredPerDay);
    const int total = std::accumulate(data.answeredPerDay.begin(), data.answeredPerDay.end(), 0,
                                      [](int sum, const auto& day) { return sum + day.second; });
    const int days = int(std::count_if(data.answeredPerDay.begin(), data.answeredPerDay.end(),
                                       [](const auto& day) { return day.second > 0; }));
    summary_->setText(QStringLiteral("26周里共答对 %1 个单词，练习了 %2 天。").arg(total).arg(days));
    showAccuracy(data);
    showForecast(data);
    showRetention(data);
    showUnits(data);
    showMostMissed(data);
    problems_->setText(data.problems.join(QLatin1Char('\n')));
    problems_->setVisible(!data.problems.isEmpty());
}

void StatisticsWindow::showAccuracy(const StatisticsData& data)
{
    QChart* chart = chartView_->chart();
    clearChart(*chartView_);
    if (data.testDrills.empty()) {
        accuracy_->setCurrentIndex(0);
        return;
    }

    std::array<std::vector<const StatisticsData::TestDrill*>, Lines> lines;
    for (const auto& drill : data.testDrills) {
        if (const int line = lineOf(drill); line >= 0)
            lines[size_t(line)].push_back(&drill);
    }
    QHash<QString, QString> captions;
    for (const StatisticsData::Unit& unit : data.units)
        captions.insert(unit.code, unit.caption);
    const bool weekly = std::any_of(lines.begin(), lines.end(),
                                    [](const auto& drills) { return drills.size() > size_t(DrawnDrills); });
    std::array<QList<Point>, Lines> points;
    for (size_t line = 0; line < lines.size(); ++line) {
        if (weekly) {
            points[line] = weeklyMeans(lines[line], LineNames[line]);
            continue;
        }
        for (const StatisticsData::TestDrill* drill : lines[line]) {
            const QString what =
                drill->unitCode.isEmpty() ? LineNames[line] : captions.value(drill->unitCode);
            points[line].append(
                {QPointF(qreal(drill->completed.toMSecsSinceEpoch()), drill->accuracy),
                 QStringLiteral("%1 %2 %3：正确率 %4%")
                     .arg(dayText(drill->day),
                          drill->completed.toLocalTime().toString(QStringLiteral("HH:mm")), what)
                     .arg(drill->accuracy)});
        }
    }
    accuracyBox_->setTitle(weekly ? AccuracyTitle + QStringLiteral("（每周平均）") : AccuracyTitle);

    double lowest = 100;
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    for (const QList<Point>& line : points) {
        for (const Point& point : line) {
            lowest = std::min(lowest, point.value.y());
            first = std::min(first, qint64(point.value.x()));
            last = std::max(last, qint64(point.value.x()));
        }
    }
    const auto [time, percent] = addPercentAxes(*chart, first, last, lowest);
    std::vector<TippedChartView::Tip> tips;
    for (size_t line = 0; line < points.size(); ++line) {
        if (points[line].isEmpty())
            continue;
        auto* series = new QLineSeries;
        series->setName(LineNames[line]);
        for (const Point& point : points[line]) {
            series->append(point.value);
            tips.push_back({series, point.value, point.tip});
        }
        chart->addSeries(series);
        // After the chart's theme, which gives every series a pen of its own. The markers' size follows
        // the pen's width.
        series->setPen(QPen(LineColours[line], LineWidth));
        series->setPointsVisible(true);
        series->attachAxis(time);
        series->attachAxis(percent);
    }
    chartView_->setTips(std::move(tips));
    accuracy_->setCurrentIndex(1);
}

void StatisticsWindow::showForecast(const StatisticsData& data)
{
    clearChart(*forecastView_);
    const int total = std::accumulate(data.duePerDay.begin(), data.duePerDay.end(), 0);
    if (!data.reviewsRead || total == 0) {
        forecastNote_->setText(data.reviewsRead ? QStringLiteral("今后30天没有要复习的单词。")
                                                : ScheduleBeingRead);
        forecast_->setCurrentIndex(0);
        return;
    }
    QChart* chart = forecastView_->chart();
    auto* words = new QBarSet(QStringLiteral("到期的单词"));
    words->setColor(LineColours[ReviewLine]);
    std::vector<TippedChartView::Tip> tips;
    auto* series = new QBarSeries;
    int most = 0;
    for (int day = 0; day < StatisticsData::ForecastDays; ++day) {
        const int due = data.duePerDay[size_t(day)];
        words->append(due);
        most = std::max(most, due);
        tips.push_back({series, QPointF(day, due),
                        QStringLiteral("%1：%2 个").arg(dayText(data.today.addDays(day))).arg(due) +
                            (day == 0 ? QStringLiteral("（含已过期的）") : QString())});
    }
    series->append(words);
    series->setBarWidth(0.8);
    chart->addSeries(series);
    chart->legend()->hide();
    // A label a week: today, then the dates.
    auto* days = new QCategoryAxis;
    days->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    days->setRange(-0.5, StatisticsData::ForecastDays - 0.5);
    days->setStartValue(-0.5);
    for (int day = 0; day < StatisticsData::ForecastDays; day += 7)
        days->append(
            day == 0 ? QStringLiteral("今天") : data.today.addDays(day).toString(QStringLiteral("M/d")), day);
    auto* count = new QValueAxis;
    count->setRange(0, std::max(4, most + (most + 9) / 10));
    count->setLabelFormat(QStringLiteral("%d"));
    count->applyNiceNumbers();
    chart->addAxis(days, Qt::AlignBottom);
    chart->addAxis(count, Qt::AlignLeft);
    series->attachAxis(days);
    series->attachAxis(count);
    forecastView_->setTips(std::move(tips));
    forecast_->setCurrentIndex(1);
}

void StatisticsWindow::showRetention(const StatisticsData& data)
{
    clearChart(*retentionView_);
    const long target = std::lround(data.targetRetention * 100);
    retentionBox_->setTitle(QStringLiteral("每周复习的记忆保持率（目标 %1%）").arg(target));
    if (!data.reviewsRead || data.retention.empty()) {
        retentionNote_->setText(data.reviewsRead ? QStringLiteral("最近26周还没有到期的复习。")
                                                 : ScheduleBeingRead);
        retention_->setCurrentIndex(0);
        return;
    }
    QChart* chart = retentionView_->chart();
    chart->legend()->show();
    auto* observed = new QLineSeries;
    observed->setName(QStringLiteral("实际"));
    std::vector<TippedChartView::Tip> tips;
    double lowest = data.targetRetention * 100;
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    for (const StatisticsData::RetentionWeek& week : data.retention) {
        const double share = 100.0 * week.recalled / week.dueReviews;
        const auto middle = qint64(msecsAt(week.monday.addDays(3)) + 12 * 3600 * 1000);
        observed->append(qreal(middle), share);
        tips.push_back({observed, QPointF(qreal(middle), share),
                        QStringLiteral("%1 起一周：记住 %2 / %3 个到期的单词（%4%）")
                            .arg(dayText(week.monday))
                            .arg(week.recalled)
                            .arg(week.dueReviews)
                            .arg(std::lround(share))});
        lowest = std::min(lowest, share);
        first = std::min(first, middle);
        last = std::max(last, middle);
    }
    const auto [time, percent] = addPercentAxes(*chart, first, last, lowest);
    auto* goal = new QLineSeries;
    goal->setName(QStringLiteral("目标"));
    goal->append(time->min(), data.targetRetention * 100);
    goal->append(time->max(), data.targetRetention * 100);
    for (QLineSeries* series : {goal, observed}) {
        chart->addSeries(series);
        series->attachAxis(time);
        series->attachAxis(percent);
    }
    goal->setPen(QPen(LineColours[ErrorBookLine], LineWidth, Qt::DashLine));
    observed->setPen(QPen(LineColours[ReviewLine], LineWidth));
    observed->setPointsVisible(true);
    retentionView_->setTips(std::move(tips));
    retention_->setCurrentIndex(1);
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
