// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Catalogue.h"
#include "Clock.h"
#include "Colours.h"
#include "DrillEngine.h"
#include "LearningFeatures.h"
#include "MenuWindow.h"
#include "Messenger.h"
#include "ModuleSpeaker.h"
#include "SettingsFile.h"
#include "SharedState.h"
#include "StudyWindow.h"

#include <QObject>
#include <memory>

class StartCheck;

// The running program: the shared state, the menu window from the start, the study window from the first
// unit opened, switching between them, and the end when either is closed.
class AppShell final : public QObject {
    Q_OBJECT
public:
    // `applicationDirectory` holds MyDatas.db and Syset.ini.
    AppShell(QString applicationDirectory, Messenger& messages, const Clock& clock);
    ~AppShell() override;

    // Loads and shows the menu window.
    void start();
    // Checks the word database and the learning record once the menu window has been painted, asking
    // `questions` whether a damaged one is to be restored from a snapshot. Until the check has been told, a
    // unit opened or a key or button pressed waits for it. The running program asks for it; without it
    // units open at once.
    void checkFilesOnceShown(Questioner& questions);

    void OpenUnit(const QString& code, const QString& table);
    // The study window's "返回主界面".
    void Command8_Click();
    // Brings the window in front up: another start of Vokabo for the same folder asked for it.
    void raiseWindow();

    const SharedState& shared() const { return shared_; }
    Form2& menuWindow() { return *form2_; }
    // Null until the first unit is opened.
    Form1* studyWindow() { return form1_.get(); }
    ModuleSpeaker& speaker() { return speaker_; }
    LearningFeatures& learning() { return *learning_; }

signals:
    // Either window was closed; the program ends.
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form1& ensureStudyWindow();
    // Puts an open recordset before the learner in the study window.
    void showDrill(std::unique_ptr<Recordset> recordset, DrillKind kind, const QString& unitCode);
    void end();

    QString applicationDirectory_;
    Messenger& messages_;
    const Clock& clock_;
    mdlINI settings_;
    SharedState shared_;
    ModuleSpeaker speaker_;                      // loaded at the first word spoken
    std::unique_ptr<LearningFeatures> learning_; // outlives the windows, whose drill reports to it
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<Form1> form1_;
    bool ended_ = false;
    std::unique_ptr<StartCheck> startCheck_; // asks whether the learning record is open: goes first
};
