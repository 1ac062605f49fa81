#include "ui/SettingsView.h"

#include <QVBoxLayout>

#include "ui/Commands.h"
#include "ui/SettingsSheet.h"

CSettingsView::CSettingsView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent), m_placeholder(new QWidget(this))
{
    setObjectName(QStringLiteral("SettingsView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_placeholder);
}

CSettingsView::~CSettingsView()
{
    // The sheet goes first, while the document is surely there: its visible page writes back.
    delete m_sheet;
    m_sheet = nullptr;
}

void CSettingsView::OnInitialUpdate()
{
    m_sheet = new CSettingsSheet(GetDocument(), m_placeholder);
    m_sheet->FitToParent();
    m_sheet->show();
}

bool CSettingsView::OnCommand(CommandId command)
{
    if (!m_sheet)
        return false;
    switch (command) {
    case CommandId::SettingsBehaviour:
        m_sheet->SetActivePage(CSettingsSheet::kMaintenance);
        return true;
    case CommandId::SettingsSending:
        m_sheet->SetActivePage(CSettingsSheet::kGateway);
        return true;
    case CommandId::SettingsConnection:
        m_sheet->SetActivePage(CSettingsSheet::kConnection);
        return true;
    default:
        return false;
    }
}

void CSettingsView::HandBackQuietly()
{
    if (!m_sheet)
        return;
    m_sheet->WriteBackQuietly();
    delete m_sheet;
    m_sheet = nullptr;
}

std::optional<CCommandState> CSettingsView::QueryCommand(CommandId command) const
{
    if (command == CommandId::SettingsBehaviour || command == CommandId::SettingsSending ||
        command == CommandId::SettingsConnection)
        return CCommandState{};
    return std::nullopt;
}
