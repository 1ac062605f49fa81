#include "ui/DeletedMessagesView.h"

#include "app/Document.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

CDeletedMessagesView::CDeletedMessagesView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetDeletedMessages(),
                  document.GetDeletedMessagesViewData(), nullptr)
{
}

std::optional<CCommandState> CDeletedMessagesView::QueryCommand(CommandId command) const
{
    switch (command) {
    case CommandId::DeleteMessage:
        return CCommandState{SelectedCount() > 0, false};
    case CommandId::DeleteAll:
        return CCommandState{GetList().GetRowCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool CDeletedMessagesView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::DeleteMessage:
        DestroySelected();
        return true;
    case CommandId::DeleteAll:
        DestroyAll();
        return true;
    default:
        return false;
    }
}

void CDeletedMessagesView::DestroySelected()
{
    CDeletedMessagesList& folder = GetDocument().GetDeletedMessages();
    const std::vector<int> rows = GetList().GetSelectedRows();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const CMessage* message = GetModel().MessageAt(*row);
        GetModel().RemoveRow(*row, [&] { folder.DeleteMessage(message); });
    }
    if (!rows.empty())
        FolderChanged();
}

void CDeletedMessagesView::DestroyAll()
{
    GetModel().Freeze();
    GetDocument().GetDeletedMessages().DeleteAllMessages();
    GetModel().Thaw();
    FolderChanged();
}
