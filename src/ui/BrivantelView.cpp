#include "ui/BrivantelView.h"

#include <QMenu>

#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"

#include "ui/AddressBookView.h"
#include "ui/DeletedMessagesView.h"
#include "ui/DraftsView.h"
#include "ui/OutboxView.h"
#include "ui/SentMessagesView.h"

#include "ui/MailCheckerView.h"
#include "ui/SettingsView.h"

#include "ui/SendMessageView.h"

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
    // The views of the folders, the address book, the mailbox watch and the settings take their
    // places here as they are written.
    default:
        return std::make_unique<CEmptyFormView>(document, kind, parent);
    }
}

void ExecCommandPopup(QWidget* owner, const std::vector<CMenuEntry>& entries, const QPoint& globalPos,
                      const std::function<std::optional<CCommandState>(int)>& query,
                      const std::function<bool(int)>& handler)
{
    QMenu menu(owner);
    for (const CMenuEntry& entry : entries) {
        if (entry.command == cmd::kSeparator) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf8(entry.text));
        action->setData(entry.command);
        const auto state = query(entry.command);
        action->setEnabled(state && state->enabled);
        action->setCheckable(state && state->checked);
        action->setChecked(state && state->checked);
    }
    QAction* chosen = menu.exec(globalPos);
    if (!chosen)
        return;
    const int command = chosen->data().toInt();
    if (auto* frame = qobject_cast<CBrivantelFrame*>(owner->window()))
        frame->OnCommand(command);
    else
        handler(command);
}
