#include "ui/SettingsMaintenancePage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/SettingsKeys.h"

CSettingsMaintenancePage::CSettingsMaintenancePage(CBrivantelDoc& document, QWidget* parent)
    : CSettingsPage(parent), m_document(document),
      m_move(new QCheckBox(QStringLiteral("Przenoś usuwane Wiadomości do Folderu \"Wiadomości usunięte\""))),
      m_empty(new QCheckBox(
          QStringLiteral("Usuń Wiadomości z Folderu \"Wiadomości usunięte\" po zakończeniu pracy"))),
      m_autoUpdate(new QCheckBox(QStringLiteral("Sprawdzaj automatycznie nową wersję")))
{
    setObjectName(QStringLiteral("SettingsMaintenancePage"));
    auto* deleting = new QGroupBox(QStringLiteral("Usuwanie wiadomości"));
    auto* deletingLayout = new QVBoxLayout(deleting);
    deletingLayout->addWidget(m_move);
    deletingLayout->addWidget(m_empty);
    auto* version = new QGroupBox(QStringLiteral("Sprawadzanie nowej wersji"));
    auto* versionLayout = new QVBoxLayout(version);
    versionLayout->addWidget(m_autoUpdate);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(deleting);
    layout->addWidget(version);
    layout->addStretch(1);
}

void CSettingsMaintenancePage::OnSetActive()
{
    const CSettingsData& settings = m_document.GetSettings();
    m_move->setChecked(settings.GetMoveDeletedMessages());
    m_empty->setChecked(settings.GetEmptyDeletedFolder());
    m_autoUpdate->setChecked(m_document.GetSettingsStore().Get(settings_keys::kAutoUpdate) != 0);
}

bool CSettingsMaintenancePage::OnKillActive()
{
    CSettingsData& settings = m_document.GetSettings();
    settings.SetMoveDeletedMessages(m_move->isChecked());
    settings.SetEmptyDeletedFolder(m_empty->isChecked());
    m_document.GetSettingsStore().Set(settings_keys::kAutoUpdate, m_autoUpdate->isChecked() ? 1 : 0);
    return true;
}
