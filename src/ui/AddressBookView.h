#pragma once

#include "ui/BrivantelView.h"
#include "ui/ResizePropSheet.h"

class CAddressPage;

// The sheet inside the address book view: one tab "Podstawowa" with the address page.
class CAddressBookSheet final : public CResizePropSheet
{
    Q_OBJECT
public:
    CAddressBookSheet(CBrivantelDoc& document, QWidget* parent);

    CAddressPage& GetPage() const { return *m_page; }

private:
    CAddressPage* m_page;
};

// "Książka adresowa": the sheet with the list of every entry, filling the view.
class CAddressBookView final : public CBrivantelView
{
    Q_OBJECT
public:
    CAddressBookView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    void OnInitialUpdate() override;
    void HandBackQuietly() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    CAddressBookSheet& GetSheet() const { return *m_sheet; }
    CAddressPage& GetPage() const;

private:
    CAddressBookSheet* m_sheet;
};
