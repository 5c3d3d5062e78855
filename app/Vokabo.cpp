// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vokabo.h"
#include "Logging.h"

#include "DataDirectory.h"
#include "ProgramIcon.h"
#include "SingleInstance.h"
#include "Snapshots.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Options {
    QCommandLineOption dataDir{QStringLiteral("data-dir"),
                               QStringLiteral("Keep the word database and the settings in DIR (also: the "
                                              "environment variable VOKABO_DATA_DIR)."),
                               QStringLiteral("DIR")};
    // For the tests of an installed copy and for the start-up benchmark: quit once the menu window has
    // been shown and painted, saying so on the standard output.
    QCommandLineOption quitAfterMenu{QStringLiteral("quit-after-menu")};

    Options() { quitAfterMenu.setFlags(QCommandLineOption::HiddenFromHelp); }

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(
            QStringLiteral("Vokabo, a vocabulary trainer: see the Chinese meaning, type the English word.\n"
                           "The word database MyDatas.db and the settings Syset.ini live beside the program "
                           "when it has a MyDatas.db or MyDatas.mdb there, else in %1.")
                .arg(DataDirectory::perUserFolder(qgetenv("XDG_DATA_HOME"), QDir::homePath())));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(dataDir);
        parser.addOption(quitAfterMenu);
    }
};

void describeProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("vokabo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOKABO_VERSION));
}

bool asksForHelpOrVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"-h", "--help", "--help-all", "-?", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

// Qt's own options, which QApplication takes out of the command line.
bool isQtOption(const QString& name)
{
    static const QStringList names{QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                   QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                   QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                   QStringLiteral("qwindowtitle"),    QStringLiteral("reverse"),
                                   QStringLiteral("session"),         QStringLiteral("display"),
                                   QStringLiteral("geometry"),        QStringLiteral("style"),
                                   QStringLiteral("stylesheet"),      QStringLiteral("widgetcount"),
                                   QStringLiteral("qmljsdebugger"),   QStringLiteral("nograb"),
                                   QStringLiteral("dograb"),          QStringLiteral("sync")};
    return names.contains(name.section(u'=', 0, 0));
}

// A mistake on the command line ends the program before the display is opened, as help and version do:
// a console may have no display, and Qt would abort for the want of one.
// False when the program is to end with status 1.
bool checkCommandLine(int argc, char* argv[], const Options& options)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    options.addTo(parser);
    if (parser.parse(arguments))
        return true;
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), isQtOption))
        return true;
    qCWarning(lcApp, "%s", qUtf8Printable(parser.errorText()));
    return false;
}

// The end of a clean run that changed any of the learner's files. The learner has seen the windows close
// and is told nothing of a snapshot that fails.
void snapshotAfterChange(const QString& directory, const Snapshots::Fingerprints& atStart)
{
    const auto taken = Snapshots::takeAfterChange(directory, atStart, QDate::currentDate());
    if (const auto* failed = std::get_if<Failure>(&taken))
        qCWarning(lcApp, "no snapshot taken: %s", qUtf8Printable(failed->detail));
}

} // namespace

int runVokabo(int argc, char* argv[])
{
    installMessageFormat();
    const Options options;
    // Help and version are printed without a display, which a console may not have.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        describeProgram();
        QCommandLineParser parser;
        options.addTo(parser);
        parser.process(app);
    }
    if (!checkCommandLine(argc, argv, options))
        return 1;

    QApplication app(argc, argv);
    describeProgram();
    QGuiApplication::setDesktopFileName(QStringLiteral(VOKABO_APP_ID));
    QCommandLineParser parser;
    options.addTo(parser);
    parser.process(app);

    // Taken from the arguments as they came: the parser's text would hide bytes that are not UTF-8.
    const auto requested = DataDirectory::requestedFolder(argc, argv, qgetenv("VOKABO_DATA_DIR"));
    const QString executable = QCoreApplication::applicationDirPath();
    const QString chosen = std::holds_alternative<Failure>(requested)
                               ? QString()
                               : DataDirectory::choose({std::get<QString>(requested), executable,
                                                        DataDirectory::perUserFolder(qgetenv("XDG_DATA_HOME"),
                                                                                     QDir::homePath())});
    // One Vokabo per data folder, decided before anything in the folder is touched; a folder that cannot
    // be made is reported by prepare() below.
    std::unique_ptr<SingleInstance> instance;
    if (!chosen.isEmpty() && DataDirectory::makeFolder(chosen)) {
        instance = std::make_unique<SingleInstance>(chosen);
        if (instance->claim() == SingleInstance::Claim::Running) {
            qCInfo(lcApp, "Vokabo is already running for %s: its window was brought up",
                   qUtf8Printable(chosen));
            return 0;
        }
    }
    const auto prepared = std::holds_alternative<Failure>(requested)
                              ? std::variant<DataDirectory::Ready, Failure>(std::get<Failure>(requested))
                              : DataDirectory::prepare(chosen, DataDirectory::installedCourse(executable));
    MessageBoxMessenger messages;
    if (const auto* failure = std::get_if<Failure>(&prepared)) {
        qCWarning(lcApp, "%s", qUtf8Printable(failure->detail));
        installFontSubstitutions();
        QApplication::setWindowIcon(programIcon());
        messages.showMessage(failure->message, MessageTitle);
        return 1;
    }
    const auto& ready = std::get<DataDirectory::Ready>(prepared);

    const Snapshots::Fingerprints atStart = Snapshots::fingerprints(ready.directory);
    int status = 0;
    {
        Vokabo vokabo(app, ready.directory);
        if (instance)
            QObject::connect(instance.get(), &SingleInstance::raiseRequested, &vokabo.shell(),
                             [&vokabo] { vokabo.shell().raiseWindow(); });
        if (parser.isSet(options.quitAfterMenu)) {
            QTimer::singleShot(0, &vokabo.shell(), [&] {
                vokabo.shell().menuWindow().grab();
                std::printf("menu window shown, data in %s\n", qUtf8Printable(ready.directory));
                QCoreApplication::quit();
            });
        }
        if (ready.notice) {
            QTimer::singleShot(0, &vokabo.shell(), [&] {
                QApplication::setWindowIcon(programIcon());
                messages.showMessage(*ready.notice, MessageTitle);
            });
        }
        status = app.exec();
    } // the learning record is closed here
    if (status == 0)
        snapshotAfterChange(ready.directory, atStart);
    return status;
}

Vokabo::Vokabo(QApplication& app, const QString& dataDirectory) : shell_(dataDirectory, messages_, clock_)
{
    installFontSubstitutions();
    // The shell decides when the program ends: closing either window, even with the other one hidden.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&shell_, &AppShell::ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    shell_.start();
    shell_.checkFilesOnceShown(messages_);
}
