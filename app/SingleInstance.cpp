// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include "DataDirectory.h"
#include "Logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char RaiseRequest[] = "raise\n";
constexpr char Raised[] = "raised\n";

std::optional<sockaddr_un> addressOf(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (size_t(bytes.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

// Waits for `events` on `fd`, at most `milliseconds`.
bool waitFor(int fd, short events, int milliseconds)
{
    pollfd entry{fd, events, 0};
    int result = 0;
    do
        result = ::poll(&entry, 1, milliseconds);
    while (result < 0 && errno == EINTR);
    return result == 1 && (entry.revents & events);
}

} // namespace

SingleInstance::SingleInstance(const QString& dataDirectory, QObject* parent)
    : QObject(parent), directory_(dataDirectory), socketPath_(socketPath(dataDirectory)),
      lock_(QDir(dataDirectory).filePath(DataDirectory::InstanceLockName))
{
    // A lock is broken only when the process that took it is gone, never for its age.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (listening_ >= 0) {
        ::close(listening_);
        ::unlink(QFile::encodeName(socketPath_).constData());
    }
}

QString SingleInstance::socketPath(const QString& dataDirectory)
{
    const QFileInfo folder(dataDirectory);
    const QString path =
        folder.canonicalFilePath().isEmpty() ? folder.absoluteFilePath() : folder.canonicalFilePath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256).toHex().left(16));
    // The runtime folder is the user's alone; the shared temporary folder gets the user's number in the name.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("vokabo-%1.socket").arg(hash));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("vokabo-%1-%2.socket").arg(::getuid()).arg(hash));
}

SingleInstance::Claim SingleInstance::claim()
{
    if (lock_.tryLock(0)) {
        if (!listen())
            qCWarning(lcApp, "cannot listen for later starts on %s: %s", qUtf8Printable(socketPath_),
                      qUtf8Printable(qt_error_string(errno)));
        return Claim::First;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        qCWarning(lcApp, "no lock in %s: another Vokabo for this folder would not be noticed",
                  qUtf8Printable(directory_));
        return Claim::Unknown;
    }
    if (!askRunningToRaise())
        qCWarning(lcApp, "another Vokabo holds %s but does not answer", qUtf8Printable(lock_.fileName()));
    return Claim::Running;
}

bool SingleInstance::listen()
{
    const auto address = addressOf(socketPath_);
    if (!address)
        return false;
    listening_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening_ < 0)
        return false;
    // The lock is ours, so a socket of this name is left over from a start that is gone.
    ::unlink(address->sun_path);
    const mode_t mask = ::umask(0077);
    const bool bound = ::bind(listening_, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0;
    ::umask(mask);
    if (!bound || ::listen(listening_, 4) != 0) {
        ::close(listening_);
        listening_ = -1;
        return false;
    }
    notifier_ = new QSocketNotifier(listening_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::answer);
    return true;
}

void SingleInstance::answer()
{
    const int connection = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0)
        return;
    char request[sizeof RaiseRequest] = {};
    const bool asked = waitFor(connection, POLLIN, 1000) &&
                       ::read(connection, request, sizeof request - 1) == ssize_t(sizeof RaiseRequest - 1) &&
                       std::strcmp(request, RaiseRequest) == 0;
    if (asked) {
        qCInfo(lcApp, "another start for %s: the window comes up here", qUtf8Printable(directory_));
        emit raiseRequested();
        // Without this answer the other start asks again for a while, then says this one does not answer.
        if (::write(connection, Raised, sizeof Raised - 1) < 0)
            qCWarning(lcApp, "cannot tell the other start that the window came up: %s",
                      qUtf8Printable(qt_error_string(errno)));
    }
    ::close(connection);
}

bool SingleInstance::askRunningToRaise() const
{
    const auto address = addressOf(socketPath_);
    if (!address)
        return false;
    // The running one may be starting up itself and not listen yet.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        char reply[sizeof Raised] = {};
        const bool raised =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0 &&
            ::write(fd, RaiseRequest, sizeof RaiseRequest - 1) == ssize_t(sizeof RaiseRequest - 1) &&
            waitFor(fd, POLLIN, 3000) && ::read(fd, reply, sizeof reply - 1) > 0 &&
            std::strcmp(reply, Raised) == 0;
        ::close(fd);
        if (raised)
            return true;
        QThread::msleep(100);
    }
    return false;
}
