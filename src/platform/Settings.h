#pragma once

#include "platform/Exceptions.h"

#include <QString>

#include <memory>

class QSettings;

// A setting that could not be stored.
QUORBEL_DECLARE_EXCEPTION(ERegistryException, Exception)

// The user's settings, the key "Software\Quorbel\4.0" of the program: the
// group "Software/Quorbel/4.0" of an INI file under $XDG_CONFIG_HOME. The file
// name is taken afresh for every object, so a changed $XDG_CONFIG_HOME counts.
class TSettings {
public:
    TSettings();
    ~TSettings();
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    // False when the store exists but cannot be read.
    bool Readable() const;
    // The value as text; a missing value, or one of an unreadable store,
    // reads as empty.
    QString ReadString(const QString& name) const;
    // Stores the value at once; raises ERegistryException when it cannot.
    void WriteString(const QString& name, const QString& value);

    static QString FileName();

private:
    std::unique_ptr<QSettings> FSettings;
};
