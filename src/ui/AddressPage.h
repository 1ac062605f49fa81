#pragma once

#include <optional>

#include <QWidget>

#include "ui/BrivantelView.h"

class CAddressBook;
class CAddressBookViewData;
class CAddressListCtrl;
class CAddressModel;
class CBrivantelDoc;

// The address book's page "Podstawowa": every entry sorted by display name, in the mode and with
// the column widths of the document's record, and the address book's commands.
class CAddressPage final : public QWidget
{
    Q_OBJECT
public:
    CAddressPage(CBrivantelDoc& document, QWidget* parent = nullptr);
    ~CAddressPage() override;
    // The column widths go to the view data (also at the program's end, when nothing is deleted).
    void HandBackQuietly();

    bool OnCommand(CommandId command);
    std::optional<CCommandState> QueryCommand(CommandId command) const;

    void FillList();
    CAddressListCtrl& GetList() const { return *m_list; }
    CAddressModel& GetModel() const { return *m_model; }

signals:
    // The view passes these on as its own.
    void commandStateChanged();
    void viewRequested(CommandId view);

private:
    void OnNew();
    void OnProperties();
    void OnDelete();
    void OnFind();
    void OnCompose();
    void OnImportContacts();
    void OnExportContacts();
    void SetMode(int mode);

    CBrivantelDoc& m_document;
    CAddressBookViewData& m_viewData;
    CAddressModel* m_model;
    CAddressListCtrl* m_list;
};

// The address book's question before deleting: true for "Tak".
bool AskDeleteAddresses(QWidget* owner);
