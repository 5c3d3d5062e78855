// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QSocketNotifier;

// One Vokabo per data folder: the first start for a folder holds a lock in it and listens on a local
// socket named after it; a later start for the same folder asks the first to bring its window up, and
// ends. Starts for different folders run side by side. Plain Unix sockets, so that no network library
// is loaded before the menu shows.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        First,   // this process is the folder's Vokabo
        Running, // another process is, and has been asked to show its window
        Unknown, // no lock can be made in the folder: go on as if alone
    };
    Claim claim();

    // The socket's path for a folder: in the user's runtime folder, named after the folder's real path.
    static QString socketPath(const QString& dataDirectory);

signals:
    // A later start for the same folder asked for the window.
    void raiseRequested();

private:
    bool listen();
    void answer();
    bool askRunningToRaise() const;

    QString directory_;
    QString socketPath_;
    QLockFile lock_;
    int listening_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
