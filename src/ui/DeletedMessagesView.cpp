#include "ui/DeletedMessagesView.h"

#include "app/Document.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

CDeletedMessagesView::CDeletedMessagesView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetDeletedMessages(),
                  document.GetDeletedMessagesViewData(), nullptr,
                  {{cmd::kDeleteMessage, "&Usuń\tDel"}, {cmd::kDeleteAll, "&Usuń wszystko\tCtrl+Del"}})
{
}

std::optional<CCommandState> CDeletedMessagesView::QueryCommand(int command) const
{
    switch (command) {
    case cmd::kDeleteMessage:
        return CCommandState{SelectedCount() > 0, false};
    case cmd::kDeleteAll:
        return CCommandState{GetList().GetRowCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool CDeletedMessagesView::OnCommand(int command)
{
    switch (command) {
    case cmd::kDeleteMessage:
        DestroySelected();
        return true;
    case cmd::kDeleteAll:
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
