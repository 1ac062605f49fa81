#pragma once

#include "ui/FolderView.h"

// "Wiadomości wysłane": what went out, with its date; messages can only be deleted here.
class CSentMessagesView final : public CFolderView
{
    Q_OBJECT
public:
    CSentMessagesView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;
};
