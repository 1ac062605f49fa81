#include "ui/AddressPage.h"

#include <QMessageBox>
#include <QVBoxLayout>

#include "app/Document.h"
#include "ui/AddressDialog.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FindAddressDialog.h"
#include "ui/FolderView.h"
#include "ui/controls/AddressListCtrl.h"

namespace {

constexpr int kMargin = 4;

const std::vector<CMenuEntry>& Popup()
{
    static const std::vector<CMenuEntry> entries = {
        {cmd::kNewAddress, "Dodaj &Nowy\tInsert"},
        {cmd::kProperties, "&Właściwości\tAlt+Enter"},
        {cmd::kDelete, "&Usuń\tDelete"},
        {cmd::kFind, "Znajdź\tCtrl+F"},
        {cmd::kSeparator, ""},
        {cmd::kLargeIcons, "Duż&e ikony"},
        {cmd::kSmallIcons, "M&ałe ikony"},
        {cmd::kList, "&Lista"},
        {cmd::kDetails, "&Szczególy"},
        {cmd::kSeparator, ""},
        {cmd::kCompose, "&Zredaguj wiadomość"},
    };
    return entries;
}

std::optional<int> ModeOf(int command)
{
    switch (command) {
    case cmd::kLargeIcons:
        return CAddressBookViewData::LargeIcons;
    case cmd::kSmallIcons:
        return CAddressBookViewData::SmallIcons;
    case cmd::kList:
        return CAddressBookViewData::List;
    case cmd::kDetails:
        return CAddressBookViewData::Details;
    default:
        return std::nullopt;
    }
}

} // namespace

bool AskDeleteAddresses(QWidget* owner)
{
    return QMessageBox::question(owner, QStringLiteral("Książka adresowa"),
                                 QStringLiteral("Czy na pewno chcesz usunąć zaznaczone pozycje?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CAddressPage::CAddressPage(CBrivantelDoc& document, QWidget* parent)
    : QWidget(parent), m_document(document), m_viewData(document.GetAddressBookViewData()),
      m_model(new CAddressModel(document.GetAddressBook(), CAddressModel::NumberForm::Full, this)),
      m_list(new CAddressListCtrl(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_list);
    m_list->SetModel(m_model);
    m_list->SetAlwaysShowSelection(true);
    m_list->SetMode(m_viewData.viewMode);
    m_list->SetColumnWidth(0, m_viewData.nameWidth);
    m_list->SetColumnWidth(1, m_viewData.phoneWidth);
    FillList();
    connect(m_list, &CReportListCtrl::contextMenuRequested, this, &CAddressPage::OnContextMenu);
    connect(m_list, &CReportListCtrl::selectionChanged, this,
            [this] { CViewRequests::SelectionChanged(*this); });
}

CAddressPage::~CAddressPage()
{
    m_viewData.nameWidth = m_list->GetColumnWidth(0);
    m_viewData.phoneWidth = m_list->GetColumnWidth(1);
    m_document.NotifyChanged(DocChange::ViewData);
}

void CAddressPage::FillList()
{
    m_model->Fill();
}

std::optional<CCommandState> CAddressPage::QueryCommand(int command) const
{
    const int selected = m_list->GetSelectedCount();
    if (const auto mode = ModeOf(command))
        return CCommandState{true, m_list->GetMode() == *mode};
    switch (command) {
    case cmd::kNewAddress:
        return CCommandState{true, false};
    case cmd::kProperties:
        return CCommandState{selected == 1, false};
    case cmd::kDelete:
    case cmd::kCompose:
        return CCommandState{selected > 0, false};
    case cmd::kFind:
        return CCommandState{m_list->GetRowCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool CAddressPage::OnCommand(int command)
{
    if (const auto mode = ModeOf(command)) {
        SetMode(*mode);
        return true;
    }
    switch (command) {
    case cmd::kNewAddress:
        OnNew();
        return true;
    case cmd::kProperties:
        OnProperties();
        return true;
    case cmd::kDelete:
        OnDelete();
        return true;
    case cmd::kFind:
        OnFind();
        return true;
    case cmd::kCompose:
        OnCompose();
        return true;
    default:
        return false;
    }
}

void CAddressPage::OnNew()
{
    auto entry = std::make_unique<CAddress>();
    if (ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    if (m_document.GetAddressBook().AddAddress(entry)) {
        FillList();
        m_document.NotifyChanged(DocChange::AddressBook);
    }
    window()->raise();
}

void CAddressPage::OnProperties()
{
    CAddress* entry = m_model->EntryAt(m_list->GetFirstSelected());
    if (entry && ShowAddressProperties(*entry, this) == QDialog::Accepted) {
        FillList();
        m_document.NotifyChanged(DocChange::AddressBook);
    }
}

void CAddressPage::OnDelete()
{
    if (m_list->GetSelectedCount() == 0 || !AskDeleteAddresses(this))
        return;
    const std::vector<int> rows = m_list->GetSelectedRows();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const CAddress* entry = m_model->EntryAt(*row);
        const auto place = m_model->PlaceOf(entry);
        m_model->RemoveRow(*row);
        m_document.GetAddressBook().DeleteAddress(entry);
        if (place)
            m_model->EntryDeleted(*place);
    }
    m_document.NotifyChanged(DocChange::AddressBook);
}

void CAddressPage::OnFind()
{
    CFindAddressDialog dialog(m_document.GetAddressBook(), this);
    connect(&dialog, &CFindAddressDialog::entryDeleted, this, &CAddressPage::FillList);
    dialog.exec();
    // The dialog may have edited or deleted entries.
    FillList();
    m_document.NotifyChanged(DocChange::AddressBook);
}

void CAddressPage::OnCompose()
{
    std::string recipients;
    for (int row : m_list->GetSelectedRows())
        recipients += m_model->EntryAt(row)->GetDisplayName() + ";";
    if (!recipients.empty())
        recipients.pop_back();
    CSendMessageViewData& compose = m_document.GetSendMessageViewData();
    compose.text.clear();
    compose.recipients = recipients;
    m_document.NotifyChanged(DocChange::ViewData);
    CViewRequests::ShowView(*this, cmd::kViewSend);
}

void CAddressPage::SetMode(int mode)
{
    m_list->SetMode(mode);
    m_viewData.viewMode = mode;
    m_document.NotifyChanged(DocChange::ViewData);
}

void CAddressPage::OnContextMenu(const QPoint& globalPos)
{
    ExecCommandPopup(
        this, Popup(), globalPos, [this](int command) { return QueryCommand(command); },
        [this](int command) { return OnCommand(command); });
}
