#pragma once

class QDateTime;
class QString;
class QWidget;

// The statistics window as the program sees it. It lives in a module of its own that the program loads
// when the window is first opened, so that Qt Charts and its OpenGL libraries stay out of start-up.
class StatisticsView {
public:
    virtual ~StatisticsView() = default;
    virtual QWidget* widget() = 0;
    // Reads the learning record, the word database and the settings file again and shows them.
    virtual void refresh(const QDateTime& now) = 0;
};

// The module's one entry point: a new statistics window over the files of `applicationDirectory`.
using CreateStatisticsView = StatisticsView* (*)(const QString& applicationDirectory);
inline constexpr char StatisticsModuleName[] = "vokabo_statistics";
inline constexpr char CreateStatisticsViewSymbol[] = "vokabo_createStatisticsView";
