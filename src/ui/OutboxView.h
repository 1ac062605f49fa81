#pragma once

#include "ui/FolderView.h"

// "Wiadomości wysyłane": messages waiting to be sent; edit one back into the composing view,
// send the selected now, or delete them.
class COutboxView final : public COutgoingFolderView
{
    Q_OBJECT
public:
    COutboxView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);

private:
    void OnEdit() override;
    void OnSend() override;
};
