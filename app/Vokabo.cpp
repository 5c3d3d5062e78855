#include "Vokabo.h"

Vokabo::Vokabo(QApplication& app) : shell_(QCoreApplication::applicationDirPath(), messages_, clock_)
{
    installFontSubstitutions();
    // The shell decides when the program ends: closing either window, even with the other one hidden.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&shell_, &AppShell::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    shell_.start();
}
