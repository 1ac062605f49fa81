#include "ui/DraftsView.h"

#include "app/Document.h"
#include "app/TypedNumber.h"
#include "app/UserInterface.h"
#include "store/Recipients.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

CDraftsView::CDraftsView(CBrivantelDoc& document, int kind, QWidget* parent)
    : COutgoingFolderView(document, kind, parent, document.GetDrafts(), document.GetDraftsViewData(), true)
{
}

void CDraftsView::OnEdit()
{
    // The draft stays where it is: editing works on a copy in the composing view.
    if (const CMessage* draft = FirstSelectedMessage())
        CopyToCompose(*draft);
    ShowComposeView();
}

std::string CDraftsView::NumbersForNames(const std::string& recipients, const CAddressBook& book)
{
    std::vector<std::string> numbers;
    for (const std::string& name : ::recipients::Split(recipients)) {
        // A reply to someone the book does not know is saved with the number as its recipient.
        if (const CAddress* entry = book.FindByDisplayName(name))
            numbers.push_back(entry->GetFullNumber());
        else if (std::string number = typed_number::NumberOf(name); !number.empty())
            numbers.push_back(std::move(number));
    }
    return ::recipients::Join(numbers);
}

void CDraftsView::OnSend()
{
    const CMessage* draft = FirstSelectedMessage();
    if (!draft)
        return;
    // Copies: the send files messages into folders and repaints while it waits.
    const std::string recipients = draft->GetRecipients();
    const std::string text = draft->GetText();
    const std::string numbers = NumbersForNames(recipients, GetDocument().GetAddressBook());
    if (numbers.empty()) {
        // Nobody to send to: sending would queue a message without a recipient in the outbox.
        GetDocument().GetUserInterface().ShowSendFailed(text, recipients, std::string());
        return;
    }
    GetDocument().SendToRecipients(recipients, numbers, text, ROUTE_CONFIGURED);
}
