#include "ui/SentMessagesView.h"

#include "app/Document.h"

CSentMessagesView::CSentMessagesView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetSent(), document.GetSentViewData(),
                  &document.GetSentViewData().dateWidth, {{cmd::kDelete, "Usuń"}})
{
}

std::optional<CCommandState> CSentMessagesView::QueryCommand(int command) const
{
    if (command == cmd::kDelete)
        return CCommandState{SelectedCount() > 0, false};
    return std::nullopt;
}

bool CSentMessagesView::OnCommand(int command)
{
    if (command != cmd::kDelete)
        return false;
    DiscardSelected(GetDocument().GetSent());
    return true;
}
