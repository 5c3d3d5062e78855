#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void MessageBoxMessenger::showMessage(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    // Some styles put an icon on the OK button; the box shows text and a plain OK only.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}
