#include "app/qt/QtSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/SettingsKeys.h"
#include "app/qt/TextCodec.h"

namespace {
QString Key(const std::string& section, const std::string& name)
{
    return text_codec::ToQString(section) + QLatin1Char('/') + text_codec::ToQString(name);
}
} // namespace

CQtSettingsStore::CQtSettingsStore()
    : m_settings(QStringLiteral("Orvella Systems"), QStringLiteral("Brivantel"))
{
    Refresh();
}

CQtSettingsStore::~CQtSettingsStore()
{
    Sync();
}

void CQtSettingsStore::Refresh() const
{
    // One stat per read: far cheaper than what the caller does with the value (a connection).
    const QFileInfo file(m_settings.fileName());
    if (!file.exists())
        return;
    const QDateTime modified = file.lastModified();
    const QDateTime changed = file.metadataChangeTime();
    const qint64 size = file.size();
    if (modified == m_seenModified && changed == m_seenChanged && size == m_seenSize)
        return;
    m_settings.sync();
    const QFileInfo after(m_settings.fileName());
    m_seenModified = after.lastModified();
    m_seenChanged = after.metadataChangeTime();
    m_seenSize = after.size();
}

void CQtSettingsStore::Protect(const std::string& section)
{
    if (section != settings_keys::kGatewayHeaders.section &&
        !m_settings.childGroups().contains(QLatin1String(settings_keys::kGatewayHeaders.section)))
        return;
    // The settings are written through a temporary file that takes the permissions of the file
    // it replaces: a file made 0600 now stays 0600, and the token is never readable by others.
    const QString path = m_settings.fileName();
    if (QFile::exists(path)) {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return;
    }
    QFileInfo(path).dir().mkpath(QStringLiteral("."));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool CQtSettingsStore::Contains(const std::string& section, const std::string& name) const
{
    Refresh();
    return m_settings.contains(Key(section, name));
}

std::string CQtSettingsStore::GetString(const std::string& section, const std::string& name,
                                        const std::string& fallback) const
{
    Refresh();
    const QVariant value = m_settings.value(Key(section, name));
    if (!value.isValid())
        return fallback;
    return text_codec::FromQStringLossy(value.toString());
}

void CQtSettingsStore::SetString(const std::string& section, const std::string& name,
                                 const std::string& value)
{
    Protect(section);
    m_settings.setValue(Key(section, name), text_codec::ToQString(value));
}

int CQtSettingsStore::GetInt(const std::string& section, const std::string& name, int fallback) const
{
    Refresh();
    bool ok = false;
    const int value = m_settings.value(Key(section, name)).toInt(&ok);
    return ok ? value : fallback;
}

void CQtSettingsStore::SetInt(const std::string& section, const std::string& name, int value)
{
    Protect(section);
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
