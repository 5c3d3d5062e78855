// Vokabo's own start-up, as the program does it, ending once the menu window has been shown with its
// twenty settings reads done. startup.py sets it against startup_bare.cpp.
#include "AppShell.h"
#include "MessageBox.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installFontSubstitutions();
    app.setQuitOnLastWindowClosed(false);

    MessageBoxMessenger messages;
    SystemClock clock;
    AppShell shell(QCoreApplication::applicationDirPath(), messages, clock);
    shell.start();
    // Paint the whole window once, so that fonts and buttons are part of the figure.
    QTimer::singleShot(0, &app, [&] {
        shell.menuWindow().grab();
        QCoreApplication::quit();
    });
    return app.exec();
}
