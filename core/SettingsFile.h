// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Failure.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// Values longer than this come back cut, as from the Windows profile reader's buffer.
inline constexpr int MaxIniValueLength = 1024;

// The entries of one section as they stood when the file was read; later writes do not change it.
class IniSection {
public:
    // As ReadIniValue gives it: the empty text for a key that is not there.
    QString value(const QString& key) const;
    // Every key once, as the file spells it first, in file order.
    QStringList keys() const { return keys_; }

    void add(const QString& key, const QString& value);

private:
    QHash<QString, QString> values_; // by case-folded key; the first entry of a key counts
    QStringList keys_;
};

// True when the value has been stored.
struct [[nodiscard]] IniWriteResult {
    std::optional<Failure> error;
    explicit operator bool() const { return !error; }
};

// Where the drill and the menu keep small settings: read a value, a whole section, write a value.
class SettingsFile {
public:
    virtual ~SettingsFile() = default;
    virtual QString ReadIniValue(const QString& section, const QString& key) const = 0;
    // One read of the file for all the keys of a section.
    virtual IniSection ReadIniSection(const QString& section) const = 0;
    // A failure has also been printed on stderr.
    virtual IniWriteResult WriteIniValue(const QString& section, const QString& key,
                                         const QString& value) = 0;
};

// The Windows profile format on a file's contents in memory, as the profile functions of Windows read
// and write it: code page 936 text, or UTF-8 or UTF-16 after a byte order mark; section and key names
// match without regard to case, and blanks (space, tab, vertical tab) around names and values do not
// count. Nothing here touches a file.
namespace IniText {

QString readValue(const QByteArray& file, const QString& section, const QString& key);
IniSection readSection(const QByteArray& file, const QString& section);
// The names of the sections, each once, in file order.
QStringList sectionNames(const QByteArray& file);
// The file's new contents: the value replaces the key's value in place, or the key is added at the end
// of its section, or the section at the end of the file. Every other byte stays as it was; new lines end
// in CRLF, in the file's own encoding.
std::variant<QByteArray, Failure> writeValue(const QByteArray& file, const QString& section,
                                             const QString& key, const QString& value);

} // namespace IniText

// "Syset.ini" in the application directory. The file is opened and closed inside each call and replaced
// whole on every write, so that a crash leaves the old file or the new one. Writes of several processes
// take turns under a lock beside the file.
class mdlINI final : public SettingsFile {
public:
    explicit mdlINI(QString applicationDirectory);

    QString path() const;
    QString ReadIniValue(const QString& section, const QString& key) const override;
    IniSection ReadIniSection(const QString& section) const override;
    IniWriteResult WriteIniValue(const QString& section, const QString& key, const QString& value) override;
    // Copies the file, under the writers' lock, into `target`, a new file for the owner alone: false when
    // there is no settings file to copy.
    [[nodiscard]] Result<bool> copyTo(const QString& target) const;

    static constexpr int MaxValueLength = MaxIniValueLength;
    // How long a write waits for another process's, and when a lock left by a crashed writer is broken.
    static constexpr int LockWaitMilliseconds = 5000;
    static constexpr int LockStaleMilliseconds = 10000;

private:
    std::optional<QByteArray> contents() const;

    QString directory_;
};
