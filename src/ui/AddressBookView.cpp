#include "ui/AddressBookView.h"

#include "ui/AddressPage.h"

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "messagedb/MessageDb.h"
#include "store/Address.h"
#include "ui/controls/AddressListCtrl.h"

CAddressBookSheet::CAddressBookSheet(CBrivantelDoc& document, QWidget* parent)
    : CResizePropSheet(parent), m_page(new CAddressPage(document))
{
    addTab(m_page, QStringLiteral("Podstawowa"));
}

CAddressBookView::CAddressBookView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent), m_sheet(new CAddressBookSheet(document, this))
{
    // The sheet follows the view's size by itself.
    setAutoFillBackground(true);
    CAddressPage& page = GetPage();
    connect(&page, &CAddressPage::commandStateChanged, this, &CBrivantelView::commandStateChanged);
    connect(&page, &CAddressPage::viewRequested, this, &CBrivantelView::viewRequested);
    connect(&page.GetList(), &CReportListCtrl::contextMenuRequested, this,
            &CAddressBookView::ShowCommandPopup);
    // The keys the menu shows, while the list has the focus; a double-click opens the entry.
    connect(&page.GetList(), &CReportListCtrl::deletePressed, this,
            [this] { RunCommand(CommandId::Delete); });
    BindListKey(page.GetList(), QKeyCombination(Qt::Key_Insert), CommandId::NewAddress);
    connect(&page.GetList(), &CReportListCtrl::rowDoubleClicked, this,
            [this] { RunCommand(CommandId::Properties); });
}

void CAddressBookView::HandBackQuietly()
{
    GetPage().HandBackQuietly();
}

void CAddressBookView::OnInitialUpdate()
{
    m_sheet->show();
}

CAddressPage& CAddressBookView::GetPage() const
{
    return m_sheet->GetPage();
}

bool CAddressBookView::OnCommand(CommandId command)
{
    if (command == CommandId::Conversation) {
        // "Rozmowy" opens on the person's thread: the view reads whose from the settings store.
        const CAddress* entry = GetPage().GetModel().EntryAt(GetPage().GetList().GetFirstSelected());
        if (!entry)
            return true;
        GetDocument().GetSettingsStore().Set(settings_keys::kConversationOpen,
                                             CMessageDb::NormaliseNumber(entry->GetFullNumber()));
        emit viewRequested(CommandId::ViewConversations);
        return true;
    }
    return GetPage().OnCommand(command);
}

std::optional<CCommandState> CAddressBookView::QueryCommand(CommandId command) const
{
    if (command == CommandId::Conversation)
        return CCommandState{GetPage().GetList().GetSelectedCount() == 1, false};
    return GetPage().QueryCommand(command);
}
