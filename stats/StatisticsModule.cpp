// The entry point of the statistics module, which the program loads when the window is first opened.
#include "StatisticsWindow.h"

extern "C" Q_DECL_EXPORT StatisticsView* vokabo_createStatisticsView(const QString& applicationDirectory)
{
    return new StatisticsWindow(applicationDirectory);
}
