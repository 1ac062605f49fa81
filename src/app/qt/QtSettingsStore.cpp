#include "app/qt/QtSettingsStore.h"

#include <QFile>

#include "app/SettingsKeys.h"
#include "app/qt/TextCodec.h"

namespace {
QString Key(const std::string& section, const std::string& name)
{
    return text_codec::ToQString(section) + QLatin1Char('/') + text_codec::ToQString(name);
}
} // namespace

CQtSettingsStore::CQtSettingsStore() : m_settings(QStringLiteral("Orvella Systems"), QStringLiteral("Brivantel")) {}

CQtSettingsStore::~CQtSettingsStore()
{
    Sync();
}

bool CQtSettingsStore::Contains(const std::string& section, const std::string& name) const
{
    return m_settings.contains(Key(section, name));
}

std::string CQtSettingsStore::GetString(const std::string& section, const std::string& name,
                                        const std::string& fallback) const
{
    const QVariant value = m_settings.value(Key(section, name));
    if (!value.isValid())
        return fallback;
    return text_codec::FromQStringLossy(value.toString());
}

void CQtSettingsStore::SetString(const std::string& section, const std::string& name, const std::string& value)
{
    m_settings.setValue(Key(section, name), text_codec::ToQString(value));
}

int CQtSettingsStore::GetInt(const std::string& section, const std::string& name, int fallback) const
{
    bool ok = false;
    const int value = m_settings.value(Key(section, name)).toInt(&ok);
    return ok ? value : fallback;
}

void CQtSettingsStore::SetInt(const std::string& section, const std::string& name, int value)
{
    m_settings.setValue(Key(section, name), value);
}

bool CQtSettingsStore::Sync()
{
    m_settings.sync();
    const bool ok = m_settings.status() == QSettings::NoError;
    // On Windows the store is the registry, which has no file to protect.
    if (QFile::exists(m_settings.fileName()) &&
        m_settings.childGroups().contains(QLatin1String(settings_keys::kGatewayHeaders.section)))
        QFile::setPermissions(m_settings.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return ok;
}
