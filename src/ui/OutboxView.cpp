#include "ui/OutboxView.h"

#include "app/Document.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

COutboxView::COutboxView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetOutbox(), document.GetOutboxViewData(), nullptr)
{
}

std::optional<CCommandState> COutboxView::QueryCommand(CommandId command) const
{
    switch (command) {
    case CommandId::Edit:
        return CCommandState{SelectedCount() == 1, false};
    case CommandId::Send:
    case CommandId::Delete:
        return CCommandState{SelectedCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool COutboxView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::Edit:
        OnEdit();
        return true;
    case CommandId::Send:
        OnSend();
        return true;
    case CommandId::Delete:
        DiscardSelected(GetDocument().GetOutbox());
        return true;
    default:
        return false;
    }
}

void COutboxView::OnEdit()
{
    const int row = GetList().GetFirstSelected();
    if (CMessage* message = GetModel().MessageAt(row)) {
        CopyToCompose(*message);
        // The message moves into the composing view: it leaves the outbox for good.
        GetModel().RemoveRow(row, [&] { GetDocument().GetOutbox().RemoveMessage(message); });
        FolderChanged();
    }
    ShowComposeView();
}

void COutboxView::OnSend()
{
    std::vector<CMessage*> chosen;
    for (int row : GetList().GetSelectedRows())
        chosen.push_back(GetModel().MessageAt(row));
    if (chosen.empty())
        return;
    // Sending repaints while it waits and files or drops messages: the list shows nothing until
    // it is filled again from the outbox, where the messages that failed still are.
    GetModel().Freeze();
    for (CMessage* message : chosen)
        GetDocument().SendQueuedMessage(*message);
    GetModel().Thaw();
}
