#pragma once

#include <functional>
#include <optional>

#include "store/MessageList.h"
#include "ui/controls/ReportListCtrl.h"

class CDeliveryColumn;

// A folder's messages as rows "Odbiorcy", "Wiadomość" and, for the sent folder, "Data" and
// "Stan", read straight from the folder's own array in its stored order.
class CMessageListModel final : public CReportModel
{
    Q_OBJECT
public:
    CMessageListModel(const CMessageList& folder, bool withDate, QIcon icon, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // A row's tooltip: why its message's last send failed, for a message waiting in the outbox.
    QVariant data(const QModelIndex& index, int role) const override;

    CMessage* MessageAt(int row) const;
    // The row showing message, if any.
    std::optional<int> RowOf(const CMessage* message) const;
    // Removes one row while `change` takes its message out of the folder.
    void RemoveRow(int row, const std::function<void()>& change);
    // Shows no rows while the folder changes behind the model's back (a send that pumps events),
    // then all of them again.
    void Freeze();
    void Thaw();
    // Reads the folder afresh after it changed (a frozen model stays empty).
    void Reset();
    // The sent folder's delivery states (not owned); none: "Stan" stays empty.
    void SetDeliveryColumn(const CDeliveryColumn* states) { m_states = states; }

    // "%d/%m/%Y %H:%M:%S" in local time.
    static QString FormatTime(TimeStamp time);
    // One line of a message text: line breaks become spaces.
    static QString OneLine(const std::string& text);

protected:
    QString Text(int row, int column) const override;

private:
    const CMessageList& m_folder;
    bool m_withDate;
    bool m_frozen = false;
    const CDeliveryColumn* m_states = nullptr;
};
