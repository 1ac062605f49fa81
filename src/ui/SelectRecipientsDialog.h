#pragma once

#include <vector>

#include <QDialog>

class CAddress;
class CAddressBook;
class CAddressListCtrl;
class CAddressModel;
class QPushButton;

// "Wybierz odbiorców": picks recipients from the address book with "-->" and "<--". On OK the
// caller's array holds the chosen entries in the recipients list's order; Cancel leaves it alone.
class CSelectRecipientsDialog : public QDialog
{
    Q_OBJECT
public:
    CSelectRecipientsDialog(CAddressBook& book, std::vector<CAddress*>& chosen, QWidget* parent = nullptr);
    ~CSelectRecipientsDialog() override;

    void accept() override;

    CAddressListCtrl& GetAddressList() const { return *m_addressList; }
    CAddressListCtrl& GetRecipientsList() const { return *m_recipientsList; }
    QPushButton& GetAddButton() const { return *m_add; }
    QPushButton& GetRemoveButton() const { return *m_remove; }
    QPushButton& GetNewButton() const { return *m_new; }
    QPushButton& GetPropertiesButton() const { return *m_properties; }

private:
    void UpdateAddressButtons();
    void OnAdd();
    void OnRemove();
    void OnNew();
    void OnProperties();
    CAddress* SelectedAddress() const;

    CAddressBook& m_book;
    std::vector<CAddress*>& m_chosen;
    CAddressModel* m_addresses;
    CAddressModel* m_recipients;
    CAddressListCtrl* m_addressList;
    CAddressListCtrl* m_recipientsList;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_new;
    QPushButton* m_properties;
};
