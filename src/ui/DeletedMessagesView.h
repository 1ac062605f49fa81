#pragma once

#include "ui/FolderView.h"

// "Wiadomości usunięte": deleted messages, destroyed here for good one by one or all at once.
class CDeletedMessagesView final : public CFolderView
{
    Q_OBJECT
public:
    CDeletedMessagesView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

private:
    void DestroySelected();
    void DestroyAll();
};
