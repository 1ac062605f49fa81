#pragma once

#include <QDialog>

class CAddressBook;
class CAddressModel;
class CReportListCtrl;
class QLineEdit;
class QPushButton;

// "Znajdź ": entries whose name or number holds the typed texts, with their properties and
// deletion at hand.
class CFindAddressDialog final : public QDialog
{
    Q_OBJECT
public:
    CFindAddressDialog(CAddressBook& book, QWidget* parent = nullptr);

    QLineEdit& GetNameEdit() const { return *m_name; }
    QLineEdit& GetPhoneEdit() const { return *m_phone; }
    CReportListCtrl& GetResults() const { return *m_results; }
    CAddressModel& GetModel() const { return *m_model; }
    QPushButton& GetSearchButton() const { return *m_search; }
    QPushButton& GetClearButton() const { return *m_clear; }
    QPushButton& GetDeleteButton() const { return *m_delete; }
    QPushButton& GetPropertiesButton() const { return *m_properties; }

signals:
    // An entry has left the book: lists of the book behind the dialog must drop their rows now,
    // before they repaint.
    void entryDeleted();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnSearch();
    void OnClear();
    void OnDelete();
    void OnProperties();

    CAddressBook& m_book;
    CAddressModel* m_model;
    QLineEdit* m_name;
    QLineEdit* m_phone;
    CReportListCtrl* m_results;
    QPushButton* m_search;
    QPushButton* m_close;
    QPushButton* m_clear;
    QPushButton* m_delete;
    QPushButton* m_properties;
    bool m_sized = false;
};
