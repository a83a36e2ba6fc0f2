#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString KeyGroup = QStringLiteral("Software/Quorbel/4.0");
} // namespace

TSettings::TSettings()
    : FSettings(std::make_unique<QSettings>(FileName(), QSettings::IniFormat))
{
    FSettings->beginGroup(KeyGroup);
}

TSettings::~TSettings() = default;

QString TSettings::FileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Quorbel/Quorbel.ini");
}

bool TSettings::Readable() const
{
    return FSettings->status() == QSettings::NoError;
}

QString TSettings::ReadString(const QString& name) const
{
    if (!Readable())
        return QString();
    return FSettings->value(name).toString();
}

void TSettings::WriteString(const QString& name, const QString& value)
{
    FSettings->setValue(name, value);
    // Without the sync a failed write would pass unnoticed until the object
    // goes, and the caller would go on as if the value were stored.
    FSettings->sync();
    if (FSettings->status() != QSettings::NoError)
        throw ERegistryException(QStringLiteral("The setting \"%1\" could not be stored in %2")
                                     .arg(name, FileName()));
}
