#include "ui/OutboxView.h"

#include "app/Document.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

COutboxView::COutboxView(CBrivantelDoc& document, int kind, QWidget* parent)
    : COutgoingFolderView(document, kind, parent, document.GetOutbox(), document.GetOutboxViewData(), false)
{
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
