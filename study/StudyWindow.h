// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrillEngine.h"
#include "Messenger.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;

// The study window. The drill itself lives in the engine: the window turns the learner's clicks, keys and
// typing into the engine's calls and shows on its controls what each call returns.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    // `messages` shows the drill's messages; the window brings itself up to date before each one.
    Form1(SettingsFile& settings, Messenger& messages, const Clock& clock, QWidget* parent = nullptr);
    ~Form1() override;

    // Centres the window; runs once, when the window is created.
    void Form_Load();
    // Closes the open recordset and stops the timer: the window is going away with the program.
    void Form_Unload();

    DrillEngine& engine() { return engine_; }
    // Puts a unit's words, or another drill's, before the learner, and says which in the title.
    void openDrill(std::unique_ptr<Recordset> words, DrillKind kind, const QString& unitCode = {});
    // The learner went back to the menu with Command8: the next tick blanks the word display.
    void returnedToMenu() { engine_.returnedToMenu(); }

signals:
    // Command8 "返回主界面".
    void returnToMenuClicked();
    // The learner closed the window.
    void unloading();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class WindowMessenger final : public Messenger {
    public:
        WindowMessenger(Form1& window, Messenger& messages) : window_(window), messages_(messages) {}
        void showMessage(const QString& text, const QString& title) override;

    private:
        Form1& window_;
        Messenger& messages_;
    };

    void render(const StudyStep& step);
    void render(const StudyView& view);
    void Timer1_Timer();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Option1_Click();
    void Option2_Click();
    void Label1_MouseMove();
    void Form_MouseMove();

    WindowMessenger messenger_;
    DrillEngine engine_;
    quint32 shownDelCheckColour_ = ButtonTextColour;

    QPushButton* Command8 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* rightSum = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Text6 = nullptr;
    QCheckBox* delCheck = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command6 = nullptr;
    QLabel* Label7 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* drillSummary_ = nullptr; // a panel of StatusBar1
    QTimer* Timer1 = nullptr;
};
