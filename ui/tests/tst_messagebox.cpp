// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// The question box as the learner answers it: its buttons read 是 and 否, Enter takes 是, and Esc or 否
// says no.
class MessageBoxTest : public QObject {
    Q_OBJECT

private slots:
    void questionIsAnsweredYesOrNo_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("yes");
        QTest::newRow("是 clicked") << "是" << true;
        QTest::newRow("Enter") << "Enter" << true;
        QTest::newRow("否 clicked") << "否" << false;
        QTest::newRow("Esc") << "Esc" << false;
    }

    void questionIsAnsweredYesOrNo()
    {
        QFETCH(QString, answer);
        QFETCH(bool, yes);
        QStringList captions;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton* button : box->buttons())
                captions << button->text();
            if (answer == "Enter" || answer == "Esc")
                QTest::keyClick(box, answer == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
            else
                box->button(answer == "是" ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        MessageBoxMessenger messages;
        QCOMPARE(messages.askYesNo("要恢复吗？", MessageTitle), yes);
        captions.sort();
        QCOMPARE(captions, QStringList({"否(&N)", "是(&Y)"}));
    }
};

QTEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
