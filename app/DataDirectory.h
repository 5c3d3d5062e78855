// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AccessReader.h"
#include "Failure.h"

#include <QString>
#include <optional>
#include <variant>

// Where the learner's files (MyDatas.db and Syset.ini) live, and making that folder ready at start-up.
namespace DataDirectory {

// The folders to choose from; the first that applies wins.
struct Candidates {
    QString requested;  // --data-dir, else VOKABO_DATA_DIR; empty when neither is given
    QString executable; // the executable's own folder, chosen when it holds a word database
    QString perUser;    // the learner's data folder, ~/.local/share/vokabo
};
QString choose(const Candidates& candidates);

// The learner's data folder: $XDG_DATA_HOME/vokabo when that is an absolute path (a relative one is to be
// ignored), else $HOME/.local/share/vokabo.
QString perUserFolder(const QByteArray& xdgDataHome, const QString& home);

// The folder asked for with --data-dir DIR (or --data-dir=DIR; the last one counts) in the program's
// arguments as they came, else with `environment` (VOKABO_DATA_DIR); empty when neither. Refused when it
// is not UTF-8, which would otherwise silently name another folder.
Result<QString> requestedFolder(int argc, const char* const argv[], const QByteArray& environment);

// The Access reader that the program runs (AccessReader::installedProgram()).
inline QString installedReader()
{
    return AccessReader::installedProgram();
}

// Held in the data folder by the Vokabo that runs for it (SingleInstance), and by whatever must not run
// beside one, such as restoring a snapshot.
inline const QString InstanceLockName = QStringLiteral(".vokabo.lock");

// Creates the folder and any missing parents, each for the owner alone (0700), and says whether the folder
// is there. The learner's folders hold nothing for other users to read.
[[nodiscard]] bool makeFolder(const QString& directory);

// The course database that an install puts in <prefix>/share/vokabo, found from the executable's folder.
QString installedCourse(const QString& executableDirectory);

struct Ready {
    QString directory;
    std::optional<QString> notice; // what was brought over from MyDatas.mdb, to tell the learner once
};

// Makes sure that `directory` holds MyDatas.db. A word database that is there is used as it is, unless it
// is still the untouched copy of `course` and MyDatas.mdb lies beside it. Otherwise MyDatas.mdb, when there
// is one, is brought over into a new MyDatas.db (a copy of `course` with the old file's units, or only
// those when no course is installed) and left untouched; else the folder is created as needed and gets a
// copy of `course`. A new MyDatas.db is the learner's own (owner read and write) and appears whole or not
// at all; one that exists is never replaced by a seed. A MyDatas.mdb that `reader` finds damaged (or that
// makes it fail) is told of in the notice, remembered beside it, and not read again until it changes; the
// folder is then made ready as without it. Temporary copies that earlier starts left behind are removed.
// A folder named MyDatas.db is refused.
std::variant<Ready, Failure> prepare(const QString& directory, const QString& course,
                                     const QString& reader = AccessReader::installedProgram());

} // namespace DataDirectory
