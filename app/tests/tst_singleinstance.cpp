// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>
#include <csignal>

namespace {

// The real program, offscreen, on the given data folder.
std::unique_ptr<QProcess> startVokabo(const QString& folder, const QStringList& more = {})
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(VOKABO_PROGRAM), QStringList{QStringLiteral("--data-dir"), folder} + more);
    return process;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void oneWindowPerFolder()
    {
        TestSupport::DataFolder folder;
        auto first = startVokabo(folder.path());
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::socketPath(folder.path())), 20000);

        // A second start for the folder brings the first one's window up and ends.
        auto second = startVokabo(folder.path());
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(second->readAllStandardError().contains("already running"), "the second start said nothing");
        QByteArray told;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (told += first->readAllStandardError()).contains("the window comes up here"), told.constData(),
            20000);
        QCOMPARE(first->state(), QProcess::Running);

        // Another folder runs beside it.
        TestSupport::DataFolder other;
        auto beside = startVokabo(other.path(), {QStringLiteral("--quit-after-menu")});
        QVERIFY(beside->waitForFinished(20000));
        QVERIFY(beside->readAllStandardOutput().contains("menu window shown"));

        // The first one killed, its lock no longer counts.
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(20000));
        auto after = startVokabo(folder.path(), {QStringLiteral("--quit-after-menu")});
        QVERIFY(after->waitForFinished(20000));
        QVERIFY(after->readAllStandardOutput().contains("menu window shown"));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
