#include "ui/OutboxView.h"

#include "app/Document.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

COutboxView::COutboxView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetOutbox(), document.GetOutboxViewData(), nullptr,
                  {{cmd::kEdit, "&Edytuj"}, {cmd::kSend, "Wyślij"}, {cmd::kDelete, "Usuń"}})
{
}

std::optional<CCommandState> COutboxView::QueryCommand(int command) const
{
    switch (command) {
    case cmd::kEdit:
        return CCommandState{SelectedCount() == 1, false};
    case cmd::kSend:
    case cmd::kDelete:
        return CCommandState{SelectedCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool COutboxView::OnCommand(int command)
{
    switch (command) {
    case cmd::kEdit:
        OnEdit();
        return true;
    case cmd::kSend:
        OnSend();
        return true;
    case cmd::kDelete:
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
