// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppShell.h"
#include "Logging.h"

#include "ProgramIcon.h"
#include "StartCheck.h"
#include "WordStore.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

AppShell::AppShell(QString applicationDirectory, Messenger& messages, const Clock& clock)
    : applicationDirectory_(std::move(applicationDirectory)), messages_(messages), clock_(clock),
      settings_(applicationDirectory_), form2_(std::make_unique<Form2>())
{
    form2_->setWindowIcon(programIcon());
    learning_ = std::make_unique<LearningFeatures>(
        applicationDirectory_, messages_, clock_, *form2_,
        [this](std::unique_ptr<Recordset> words, DrillKind kind) { showDrill(std::move(words), kind, {}); });
    connect(form2_.get(), &Form2::unitClicked, this, &AppShell::OpenUnit);
    connect(form2_.get(), &Form2::unloading, this, [this] {
        // Our choice: an open unit is closed before the end, as the study window's own close does.
        if (form1_)
            form1_->Form_Unload();
        end();
    });
}

AppShell::~AppShell() = default;

void AppShell::start()
{
    form2_->Form_Load(settings_, clock_.now());
    form2_->show();
}

void AppShell::checkFilesOnceShown(Questioner& questions)
{
    startCheck_ = std::make_unique<StartCheck>(applicationDirectory_, messages_, questions, clock_,
                                               [this] { return learning_->record() != nullptr; });
    connect(startCheck_.get(), &StartCheck::finished, this, [this] { qApp->removeEventFilter(this); });
    qApp->installEventFilter(this);
}

bool AppShell::eventFilter(QObject* watched, QEvent* event)
{
    if (!startCheck_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        // Nothing new is loaded before the menu window shows: the check begins in the turn after its paint.
        if (watched == form2_.get() && !startCheck_->hasBegun())
            QTimer::singleShot(0, startCheck_.get(), &StartCheck::begin);
        break;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::ContextMenu:
        // The learner reaches no file (a unit, the error book, the statistics) before its check is told.
        startCheck_->finish();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

Form1& AppShell::ensureStudyWindow()
{
    if (!form1_) {
        form1_ = std::make_unique<Form1>(settings_, messages_, clock_);
        form1_->setWindowIcon(programIcon());
        form1_->engine().setSpeaker(&speaker_);
        connect(form1_.get(), &Form1::returnToMenuClicked, this, &AppShell::Command8_Click);
        connect(form1_.get(), &Form1::unloading, this, &AppShell::end);
        form1_->engine().setObserver(learning_.get());
        form1_->Form_Load();
    }
    return *form1_;
}

void AppShell::OpenUnit(const QString& code, const QString& table)
{
    if (startCheck_)
        startCheck_->finish();
    shared_.UnitCode = code;
    shared_.UnitTable = table;
    ensureStudyWindow();
    auto opened = WordStore::open(WordStore::databasePath(applicationDirectory_), table);
    if (auto* failure = std::get_if<Failure>(&opened)) {
        qCWarning(lcApp, "opening unit %s: %s", qUtf8Printable(code), qUtf8Printable(failure->detail));
        const auto unit = unitByCode(code);
        const QString which = unit ? unit->caption : code;
        messages_.showMessage(QStringLiteral("无法打开%1：%2").arg(which, failure->message), MessageTitle);
        return;
    }
    showDrill(std::move(std::get<std::unique_ptr<Recordset>>(opened)), DrillKind::Unit, code);
}

void AppShell::showDrill(std::unique_ptr<Recordset> recordset, DrillKind kind, const QString& unitCode)
{
    Form1& study = ensureStudyWindow();
    study.openDrill(std::move(recordset), kind, unitCode);
    study.show();
    form2_->hide();
}

void AppShell::Command8_Click()
{
    if (form1_)
        form1_->returnedToMenu();
    form2_->show();
    if (form1_)
        form1_->hide();
}

void AppShell::raiseWindow()
{
    QWidget* front = form1_ && form1_->isVisible() ? static_cast<QWidget*>(form1_.get()) : form2_.get();
    if (front->isMinimized())
        front->showNormal();
    front->show();
    front->raise();
    front->activateWindow();
}

void AppShell::end()
{
    if (ended_)
        return;
    ended_ = true;
    form2_->hide();
    if (form1_)
        form1_->hide();
    emit ended();
}
