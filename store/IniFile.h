#pragma once

#include <QString>

// Where the drill and the menu keep small settings: read a value, write a value.
class SettingsFile {
public:
    virtual ~SettingsFile() = default;
    virtual QString ReadIniValue(const QString& section, const QString& key) const = 0;
    // Returns false when the value could not be stored; the reason has been printed on stderr.
    virtual bool WriteIniValue(const QString& section, const QString& key, const QString& value) = 0;
};

// "Syset.ini" in the application directory, in the Windows profile format: the same files that the
// profile functions of Windows read and write, with code page 936 text and CRLF line endings.
// The file is opened and closed inside each call.
class mdlINI final : public SettingsFile {
public:
    explicit mdlINI(QString applicationDirectory);

    QString path() const;
    QString ReadIniValue(const QString& section, const QString& key) const override;
    bool WriteIniValue(const QString& section, const QString& key, const QString& value) override;

    // Values longer than this come back cut, as from the profile reader's buffer.
    static constexpr int MaxValueLength = 1024;

private:
    QString directory_;
};
