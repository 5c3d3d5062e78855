// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

void MessageBoxMessenger::showMessage(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    // Some styles put an icon on the OK button; the box shows text and a plain OK only.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

bool MessageBoxMessenger::askYesNo(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    // Without a translation of Qt's own the buttons would read Yes and No.
    for (const auto& [button, caption] : {std::pair{QMessageBox::Yes, QStringLiteral("是(&Y)")},
                                          std::pair{QMessageBox::No, QStringLiteral("否(&N)")}}) {
        box.button(button)->setText(caption);
        box.button(button)->setIcon(QIcon());
    }
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
