#include "support/TempSettings.h"

#include "platform/core/Registry.h"

TempSettings::TempSettings()
{
    platform::setSettingsRoot(m_dir.path());
}

TempSettings::~TempSettings()
{
    platform::setSettingsRoot(QString());
}

QString TempSettings::productFile(const QString &maker, const QString &product) const
{
    return m_dir.path() + QLatin1Char('/') + maker + QLatin1Char('/') + product + QLatin1String(".conf");
}
