#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/controls/ReportListCtrl.h"

class CAddress;
class CAddressBook;

// Address-book entries as rows "Nazwa" and "Telefon", kept sorted by display name. A row is the
// entry's 32-bit place in the book, the least a sorted list can hold; a place the book no longer
// has shows an empty row instead of reading a destroyed entry.
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

    CAddressModel(const CAddressBook& book, NumberForm form = NumberForm::Full, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;

    // Rows for every entry of the book.
    void Fill();
    void Clear();
    // Adds a row for an entry of the book in its sorted place; returns the row, -1 when the entry
    // is not in the book.
    int Add(const CAddress* entry);
    void RemoveRow(int row);
    // After the book destroyed the entry at `place`: the rows of the entries after it follow.
    void EntryDeleted(std::size_t place);
    // Tells the views that entries' texts changed, which may move their rows.
    void Resort();

    CAddress* EntryAt(int row) const;
    int RowOf(const CAddress* entry) const;
    // The place of an entry in the book, or nothing.
    std::optional<std::size_t> PlaceOf(const CAddress* entry) const;
    std::vector<CAddress*> GetEntries() const;

protected:
    QString Text(int row, int column) const override;

private:
    CAddress* EntryAtPlace(std::uint32_t place) const;
    bool Less(std::uint32_t a, std::uint32_t b) const;

    const CAddressBook& m_book;
    NumberForm m_form;
    std::vector<std::uint32_t> m_rows;
    // Where the last look-up of a place ended: searches in book order then cost one walk.
    mutable std::size_t m_hint = 0;
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
