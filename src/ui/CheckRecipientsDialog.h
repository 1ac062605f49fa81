#pragma once

#include <string>
#include <vector>

#include <QDialog>

class CAddress;
class CAddressBook;
class CReportListCtrl;
class CUnknownRecipientsModel;
class QPushButton;

// "Sprawdzanie odbiorców": the recipients that are not in the address book, with "Usuń" to drop
// one, "Utwórz" to make an entry for one and "Właściwości" to edit the entry made. On return the
// caller's names are those not removed, each replaced by the display name of its new entry.
class CCheckRecipientsDialog : public QDialog
{
    Q_OBJECT
public:
    CCheckRecipientsDialog(std::vector<std::string>& names, CAddressBook& book, QWidget* parent = nullptr);
    ~CCheckRecipientsDialog() override;

    CReportListCtrl& GetList() const { return *m_list; }
    QPushButton& GetRemoveButton() const { return *m_remove; }
    QPushButton& GetCreateButton() const { return *m_create; }
    QPushButton& GetPropertiesButton() const { return *m_properties; }
    QPushButton& GetCloseButton() const { return *m_close; }

private:
    void UpdateButtons();
    void OnRemove();
    void OnCreate();
    void OnProperties();
    // The caller's name of the selected row, or end() when the row or the name is gone.
    std::vector<std::string>::iterator SelectedName(int& row);

    std::vector<std::string>& m_names;
    CAddressBook& m_book;
    CUnknownRecipientsModel* m_model;
    CReportListCtrl* m_list;
    QPushButton* m_close;
    QPushButton* m_remove;
    QPushButton* m_create;
    QPushButton* m_properties;
};
