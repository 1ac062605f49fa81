#include "ui/SentMessagesView.h"

#include "app/Document.h"

CSentMessagesView::CSentMessagesView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetSent(), document.GetSentViewData(),
                  &document.GetSentViewData().dateWidth)
{
}

std::optional<CCommandState> CSentMessagesView::QueryCommand(CommandId command) const
{
    if (command == CommandId::Delete)
        return CCommandState{SelectedCount() > 0, false};
    return std::nullopt;
}

bool CSentMessagesView::OnCommand(CommandId command)
{
    if (command != CommandId::Delete)
        return false;
    DiscardSelected(GetDocument().GetSent());
    return true;
}
