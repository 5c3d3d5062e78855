#include "AppShell.h"
#include "MessageBox.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installFontSubstitutions();
    // The shell decides when the program ends: closing either window, even with the other one hidden.
    app.setQuitOnLastWindowClosed(false);

    MessageBoxMessenger messages;
    SystemClock clock;
    AppShell shell(QCoreApplication::applicationDirPath(), messages, clock);
    QObject::connect(&shell, &AppShell::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    shell.start();
    return app.exec();
}
