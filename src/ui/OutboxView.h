#pragma once

#include "ui/FolderView.h"

// "Wiadomości wysyłane": messages waiting to be sent; edit one back into the composing view,
// send the selected now, or delete them.
class COutboxView final : public CFolderView
{
    Q_OBJECT
public:
    COutboxView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

private:
    void OnEdit();
    void OnSend();
};
