// SPDX-License-Identifier: GPL-3.0-or-later
// The yardsticks for Vokabo's start-up: a bare Qt window of the menu window's size, shown and painted
// once. With --with-text it also shows one line in each of the three CJK faces that the menu window
// needs (Song regular and bold, and the default face for the controls that set no font).
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(577, 450);
    if (app.arguments().contains(QStringLiteral("--with-text"))) {
        QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"));
        for (int face = 0; face < 3; ++face) {
            auto* label = new QLabel(QStringLiteral("一级1单元 学习状态"), &window);
            label->move(10, 10 + 30 * face);
            if (face < 2) {
                QFont song(QStringLiteral("宋体"));
                song.setPointSizeF(10.5);
                song.setBold(face == 1);
                label->setFont(song);
            }
        }
    }
    window.show();
    QTimer::singleShot(0, &app, [&] {
        window.grab();
        QCoreApplication::quit();
    });
    return app.exec();
}
