#pragma once

#include <vector>

#include "ui/controls/ReportListCtrl.h"

class CAddress;
class CAddressBook;

// Address-book entries as rows "Nazwa" and "Telefon", kept sorted by display name. The model holds
// only pointers to entries the book owns.
class CAddressModel final : public CReportModel
{
    Q_OBJECT
public:
    // The find dialog shows the number in its three parts, the other lists as one full number.
    enum class NumberForm
    {
        Full,
        Parts
    };

    explicit CAddressModel(NumberForm form = NumberForm::Full, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;

    // Rows for every entry of the book (the book's own order does not matter: rows are sorted).
    void Fill(const CAddressBook& book);
    void Clear();
    // Adds one row in its sorted place; returns the row.
    int Add(CAddress* entry);
    void RemoveRow(int row);
    // Tells the views that the entry's texts changed, which may move its row.
    void Resort();

    CAddress* EntryAt(int row) const;
    int RowOf(const CAddress* entry) const;
    const std::vector<CAddress*>& GetEntries() const { return m_rows; }

protected:
    QString Text(int row, int column) const override;

private:
    NumberForm m_form;
    std::vector<CAddress*> m_rows;
};

// Display names in the list's ascending order: case-insensitive, Polish letters after their base.
bool DisplayNameLess(const CAddress& a, const CAddress& b);

// The list of addresses: typed letters do not move the selection (only Ctrl+F reaches the list).
class CAddressListCtrl final : public CReportListCtrl
{
    Q_OBJECT
public:
    explicit CAddressListCtrl(QWidget* parent = nullptr);

protected:
    bool IgnoresKey(const QKeyEvent& event) const override;
};

// The entries' picture in the address lists, 16 and 32 pixels.
QIcon AddressIcon();
