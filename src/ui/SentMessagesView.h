#pragma once

#include "messagedb/MessageDb.h"
#include "ui/DeliveryColumn.h"
#include "ui/FolderView.h"

// "Wiadomości wysłane": what went out, with its date and, where a delivery report was asked for,
// its state ("Stan"). Messages can be deleted here, and one the network could not deliver can
// be sent again.
class CSentMessagesView final : public CFolderView
{
    Q_OBJECT
public:
    CSentMessagesView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CSentMessagesView() override;

    // The window's open Brivantel.db, when it has one: opening and checking the file at every
    // showing would read all of it.
    void UseDatabase(CMessageDb* db) { m_db = db; }
    void OnInitialUpdate() override;
    void HandBackQuietly() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    // Reads the delivery states again (a reading of the phone brought reports).
    void ReloadStates();
    CDeliveryColumn& GetDeliveryColumn() { return m_states; }

private:
    void BeforeRefill() override;
    void LoadStates();
    void SaveStateWidth();
    void OnResend();

    CMessageDb m_ownDb;
    CMessageDb* m_db = nullptr;
    CDeliveryColumn m_states;
};
