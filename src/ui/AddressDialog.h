#pragma once

#include <QComboBox>
#include <QDialog>

class CAddress;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The display-name combo tells its page before it opens its list, so the page can offer the
// name made from the first name and surname.
class CDisplayNameCombo final : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToShowPopup();
};

// The editor's one page "Osobiste": names and the number in three parts of one entry.
class CAddressPersonal final : public QWidget
{
    Q_OBJECT
public:
    CAddressPersonal(CAddress& entry, QWidget* parent = nullptr);

    // Called when the page is shown in its dialog, with the dialog's OK button.
    void Open(QPushButton* ok);
    // Writes the six fields into the entry (OK).
    void Apply();
    // The OK button's state by the entry rules, from what the controls hold now.
    bool IsComplete() const;

    QLineEdit& FirstName() const { return *m_firstName; }
    QLineEdit& Surname() const { return *m_surname; }
    CDisplayNameCombo& DisplayName() const { return *m_displayName; }
    QComboBox& CountryPrefix() const { return *m_prefix; }
    QComboBox& OperatorCode() const { return *m_operator; }
    QLineEdit& SubscriberNumber() const { return *m_number; }

private:
    void FillDisplayList();
    void OnNameEdited();
    void Validate();

    CAddress& m_entry;
    QPushButton* m_ok = nullptr;
    QLineEdit* m_firstName;
    QLineEdit* m_surname;
    CDisplayNameCombo* m_displayName;
    QComboBox* m_prefix;
    QComboBox* m_operator;
    QLineEdit* m_number;
};

// The entry editor "Właściwości": a sheet with the page and OK / Anuluj, no Apply.
class CAddressDialog final : public QDialog
{
    Q_OBJECT
public:
    CAddressDialog(CAddress& entry, QWidget* owner = nullptr);

    CAddressPersonal& GetPage() const { return *m_page; }
    QPushButton& GetOkButton() const { return *m_ok; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CAddressPersonal* m_page;
    QPushButton* m_ok;
    bool m_opened = false;
};

// Edits an entry in its own dialog over `owner`: QDialog::Accepted when the user confirmed, and
// the entry's six fields then hold the page's; with Cancel the entry is unchanged.
int ShowAddressProperties(CAddress& entry, QWidget* owner);
