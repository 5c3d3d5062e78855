// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logging.h"

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcCore, "vokabo.core")
Q_LOGGING_CATEGORY(lcSettings, "vokabo.settings")
Q_LOGGING_CATEGORY(lcWords, "vokabo.words")
Q_LOGGING_CATEGORY(lcHistory, "vokabo.history")
Q_LOGGING_CATEGORY(lcDrill, "vokabo.drill")
Q_LOGGING_CATEGORY(lcStatistics, "vokabo.statistics")
Q_LOGGING_CATEGORY(lcApp, "vokabo.app")

namespace {

QtMessageHandler qtHandler = nullptr;

void printMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category && std::strncmp(context.category, "vokabo.", 7) == 0) {
        std::fprintf(stderr, "vokabo: %s\n", qUtf8Printable(message));
        std::fflush(stderr);
        return;
    }
    qtHandler(type, context, message);
}

} // namespace

void installMessageFormat()
{
    const QtMessageHandler previous = qInstallMessageHandler(printMessage);
    if (previous != printMessage)
        qtHandler = previous;
}
