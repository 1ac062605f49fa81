#include "ui/AddressBookView.h"

#include "ui/AddressPage.h"
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
    return GetPage().OnCommand(command);
}

std::optional<CCommandState> CAddressBookView::QueryCommand(CommandId command) const
{
    return GetPage().QueryCommand(command);
}
