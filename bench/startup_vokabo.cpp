// Vokabo's own start-up, as main() does it, ending once the menu window has been shown and painted with
// its twenty settings reads done. startup.py sets it against startup_bare.cpp.
#include "Vokabo.h"

#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Vokabo vokabo(app);
    QTimer::singleShot(0, &app, [&] {
        vokabo.shell().menuWindow().grab();
        QCoreApplication::quit();
    });
    return app.exec();
}
