#include "Vokabo.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Vokabo vokabo(app);
    return app.exec();
}
