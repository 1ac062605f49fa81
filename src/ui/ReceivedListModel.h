#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "messagedb/MessageDb.h"
#include "ui/controls/ReportListCtrl.h"

// The received messages as rows "Od", "Treść", "Odebrano", read from Brivantel.db a page at a
// time as the list asks for them: an inbox of a hundred thousand messages opens with one page
// read, never the whole table. Unread rows are bold.
class CReceivedListModel final : public CReportModel
{
    Q_OBJECT
public:
    static constexpr int kPageRows = 200;
    static constexpr const char* kUnreadable = "Nieczytelna wiadomość";

    // names: the address book's display names by number, each number as NormaliseNumber gives it.
    CReceivedListModel(CMessageDb& db, std::map<std::string, QString> names, QIcon icon,
                       QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The message of a row; id 0 outside the list.
    const StoredMessage& MessageAt(int row) const;
    // The sender as the list shows it: the address book's name, otherwise as received.
    QString SenderText(const StoredMessage& message) const;
    // The text as the list shows it, on one line.
    static QString ShownText(const StoredMessage& message);
    // The row of a message; -1 when it is not listed.
    int RowOf(std::int64_t id) const;
    // Shows a row as read once the database has it so (without reading the list again).
    void MarkRead(int row);
    // Reads the list afresh (after an import, a delete or a change of read marks).
    void Reload();
    // Tests and the benchmark set the clock that decides when a long message stops waiting.
    void SetClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }
    // Pages read from the database since the last reload (the benchmark counts them).
    int PagesRead() const { return m_pagesRead; }

protected:
    QString Text(int row, int column) const override;

private:
    std::int64_t Now() const;
    const std::vector<StoredMessage>& Page(int page) const;

    CMessageDb& m_db;
    std::map<std::string, QString> m_names;
    std::function<std::int64_t()> m_clock;
    int m_count = 0;
    // A few pages around the rows on screen; the least recently used goes first.
    mutable std::map<int, std::vector<StoredMessage>> m_pages;
    mutable std::vector<int> m_pageOrder;
    mutable int m_pagesRead = 0;
};
