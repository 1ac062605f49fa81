#include "ui/SettingsSheet.h"

#include "app/Document.h"
#include "ui/SettingsConnectionPage.h"
#include "ui/SettingsGatewayPage.h"
#include "ui/SettingsMaintenancePage.h"

CSettingsSheet::CSettingsSheet(CBrivantelDoc& document, QWidget* parent)
    : CResizePropSheet(parent), m_document(document),
      m_maintenance(new CSettingsMaintenancePage(document, this)),
      m_gateway(new CSettingsGatewayPage(document, this)),
      m_connection(new CSettingsConnectionPage(document, this))
{
    setObjectName(QStringLiteral("SettingsSheet"));
    addTab(m_maintenance, QStringLiteral("Zachowanie"));
    addTab(m_gateway, QStringLiteral("Wysyłanie wiadomości"));
    addTab(m_connection, QStringLiteral("Połączenie Internetowe"));
    setCurrentIndex(kMaintenance);
    m_maintenance->OnSetActive();
    connect(this, &QTabWidget::currentChanged, this, &CSettingsSheet::OnCurrentChanged);
}

CSettingsSheet::~CSettingsSheet()
{
    // Qt deletes the pages after this; the visible one still has its controls here.
    disconnect(this, &QTabWidget::currentChanged, this, &CSettingsSheet::OnCurrentChanged);
    if (CSettingsPage* page = PageAt(m_active)) {
        page->OnDestroyPage();
        m_document.NotifyChanged(DocChange::Settings);
    }
}

void CSettingsSheet::WriteBackQuietly()
{
    disconnect(this, &QTabWidget::currentChanged, this, &CSettingsSheet::OnCurrentChanged);
    if (CSettingsPage* page = PageAt(m_active)) {
        page->WriteBackQuietly();
        m_document.NotifyChanged(DocChange::Settings);
    }
    m_active = -1;
}

CSettingsPage* CSettingsSheet::PageAt(int index) const
{
    switch (index) {
    case kMaintenance:
        return m_maintenance;
    case kGateway:
        return m_gateway;
    case kConnection:
        return m_connection;
    default:
        return nullptr;
    }
}

bool CSettingsSheet::SetActivePage(int index)
{
    if (!PageAt(index))
        return false;
    setCurrentIndex(index);
    return m_active == index;
}

void CSettingsSheet::OnCurrentChanged(int index)
{
    if (m_reverting || index == m_active)
        return;
    if (CSettingsPage* leaving = PageAt(m_active); leaving && !leaving->OnKillActive()) {
        // The tab already moved; it goes back to the page that must be corrected first.
        m_reverting = true;
        setCurrentIndex(m_active);
        m_reverting = false;
        return;
    }
    m_document.NotifyChanged(DocChange::Settings);
    m_active = index;
    if (CSettingsPage* page = PageAt(index))
        page->OnSetActive();
}
