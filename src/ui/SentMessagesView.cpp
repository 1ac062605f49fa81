#include "ui/SentMessagesView.h"

#include <QAbstractItemView>
#include <QTableView>
#include <sys/stat.h>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/TypedNumber.h"
#include "store/Recipients.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

CSentMessagesView::CSentMessagesView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CFolderView(document, kind, parent, document.GetSent(), document.GetSentViewData(),
                  &document.GetSentViewData().dateWidth)
{
    // The data file's record holds three widths and keeps its layout: "Stan" lives in the
    // settings store.
    GetList().SetColumnWidth(3, document.GetSettingsStore().Get(settings_keys::kSentStateWidth));
    GetModel().SetDeliveryColumn(&m_states);
}

CSentMessagesView::~CSentMessagesView()
{
    SaveStateWidth();
}

void CSentMessagesView::HandBackQuietly()
{
    CFolderView::HandBackQuietly();
    SaveStateWidth();
}

void CSentMessagesView::SaveStateWidth()
{
    GetDocument().GetSettingsStore().Set(settings_keys::kSentStateWidth, GetList().GetColumnWidth(3));
}

void CSentMessagesView::OnInitialUpdate()
{
    if (!m_db || !m_db->IsOpen()) {
        m_db = &m_ownDb;
        // No database yet means no report was ever asked for: the folder does not make one.
        const std::string folder = GetDocument().GetMessageDbFolder();
        struct stat info
        {
        };
        const std::string path = folder + "/" + CMessageDb::kFileName;
        if (!folder.empty() && stat(path.c_str(), &info) == 0)
            (void)m_ownDb.Open(folder, std::chrono::milliseconds(500));
    }
    ReloadStates();
}

void CSentMessagesView::LoadStates()
{
    if (m_db && m_db->IsOpen())
        m_states.Load(*m_db);
    else
        m_states.Clear();
}

void CSentMessagesView::BeforeRefill()
{
    // A send files its copy and records its references before it announces the folder's change.
    LoadStates();
}

void CSentMessagesView::ReloadStates()
{
    LoadStates();
    GetList().GetTable().viewport()->update();
    emit commandStateChanged();
}

std::optional<CCommandState> CSentMessagesView::QueryCommand(CommandId command) const
{
    switch (command) {
    case CommandId::Delete:
        return CCommandState{SelectedCount() > 0, false};
    case CommandId::Resend: {
        const CMessage* message = SelectedCount() == 1 ? FirstSelectedMessage() : nullptr;
        return CCommandState{message && m_states.StateOf(*message).state == Delivery::Failed, false};
    }
    default:
        return std::nullopt;
    }
}

bool CSentMessagesView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::Delete:
        DiscardSelected(GetDocument().GetSent());
        return true;
    case CommandId::Resend:
        OnResend();
        return true;
    default:
        return false;
    }
}

void CSentMessagesView::OnResend()
{
    const CMessage* message = SelectedCount() == 1 ? FirstSelectedMessage() : nullptr;
    if (!message || m_states.StateOf(*message).state != Delivery::Failed)
        return;
    // Copies: the send files messages into folders and repaints while it waits.
    const std::string recipients = message->GetRecipients();
    const std::string text = message->GetText();
    const auto filed = static_cast<std::int64_t>(message->GetTime());
    const CAddressBook& book = GetDocument().GetAddressBook();
    std::vector<std::string> names;
    if (book.ExistsDisplayName(recipients))
        names.push_back(recipients);
    else
        names = ::recipients::Split(recipients);
    std::vector<std::string> again;
    std::string numbers;
    for (const std::string& name : names) {
        // A copy filed under a number had no entry then; one filed under a name goes to the
        // entry's number.
        std::string number = book.NumberForName(name);
        if (number.empty())
            number = typed_number::NumberOf(name);
        if (number.empty())
            continue;
        // Of a copy that went to several, only the numbers the network gave up on go again.
        if (names.size() > 1 && m_db && m_db->IsOpen() &&
            m_db->DeliveryOf(recipients, text, filed, number).state != Delivery::Failed)
            continue;
        again.push_back(name);
        numbers += (numbers.empty() ? "" : ";") + number;
    }
    // Through the ordinary send: the outbox holds it until the phone or gateway took it.
    GetDocument().SendToRecipients(::recipients::Join(again), numbers, text, ROUTE_CONFIGURED);
}
