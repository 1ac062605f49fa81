#include "ui/BrivantelView.h"

#include <QAction>
#include <QMenu>

#include "ui/AddressBookView.h"
#include "ui/DeletedMessagesView.h"
#include "ui/DraftsView.h"
#include "ui/OutboxView.h"
#include "ui/SentMessagesView.h"

#include "ui/MailCheckerView.h"
#include "ui/SettingsView.h"

#include "ui/ConversationsView.h"
#include "ui/ReceivedView.h"
#include "ui/SendMessageView.h"
#include "ui/controls/ReportListCtrl.h"

CBrivantelView::CBrivantelView(CBrivantelDoc& document, int kind, QWidget* parent)
    : QWidget(parent), m_document(document), m_kind(kind)
{
}

CEmptyFormView::CEmptyFormView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
}

std::unique_ptr<CBrivantelView> CreateView(CBrivantelDoc& document, int kind, QWidget* parent)
{
    switch (kind) {
    case 1001:
        return std::make_unique<COutboxView>(document, kind, parent);
    case 1002:
        return std::make_unique<CSentMessagesView>(document, kind, parent);
    case 1003:
        return std::make_unique<CDeletedMessagesView>(document, kind, parent);
    case 1004:
        return std::make_unique<CDraftsView>(document, kind, parent);
    case 1005:
        return std::make_unique<CAddressBookView>(document, kind, parent);
    case 1006:
        return std::make_unique<CMailCheckerView>(document, kind, parent);
    case 1007:
        return std::make_unique<CSettingsView>(document, kind, parent);
    case 1000:
        return std::make_unique<CSendMessageView>(document, kind, parent);
    case 1008:
        return std::make_unique<CReceivedView>(document, kind, parent);
    case 1009:
        return std::make_unique<CConversationsView>(document, kind, parent);
    // The views of the folders, the address book, the mailbox watch and the settings take their
    // places here as they are written.
    default:
        return std::make_unique<CEmptyFormView>(document, kind, parent);
    }
}

void CBrivantelView::ShowCommandPopup(const QPoint& globalPos)
{
    if (!m_host)
        return;
    QMenu menu(this);
    for (CommandId command : ViewMenu(m_kind)) {
        if (command == CommandId::None)
            menu.addSeparator();
        else
            menu.addAction(m_host->Action(command));
    }
    menu.exec(globalPos);
}

void CBrivantelView::RunCommand(CommandId command)
{
    const auto state = QueryCommand(command);
    if (!state || !state->enabled)
        return;
    if (QAction* action = m_host ? m_host->Action(command) : nullptr)
        action->trigger();
    else
        OnCommand(command);
}

void CBrivantelView::BindListKey(CReportListCtrl& list, QKeyCombination key, CommandId command)
{
    list.AddCommandKey(key);
    connect(&list, &CReportListCtrl::commandKeyPressed, this, [this, key, command](QKeyCombination pressed) {
        if (pressed == key)
            RunCommand(command);
    });
}
