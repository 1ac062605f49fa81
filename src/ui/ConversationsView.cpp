#include "ui/ConversationsView.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <ctime>

#include "app/SettingsKeys.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "store/Windows1250.h"
#include "ui/ConversationListModel.h"
#include "ui/ThreadModel.h"
#include "ui/Win1250Edit.h"

namespace {

// A number can be written back to; a sender's name ("Orange") cannot.
bool IsReplyable(const std::string& key)
{
    return key.size() > 1 && key.front() == '+';
}

// As the composing view counts: the signature, a separator and the text.
std::string ProgramSignature(const CBrivantelDoc& document)
{
    if (const CBrivantelApp* app = CBrivantelApp::Instance())
        return app->GetSignature();
    return document.GetSignature();
}

} // namespace

CConversationsView::CConversationsView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent)
{
    setObjectName(QStringLiteral("ConversationsView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    m_listModel = new CConversationListModel(document, m_index, this);
    m_threadModel = new CThreadModel(document, m_index, this);

    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("ConversationList"));
    m_list->setAccessibleName(QStringLiteral("Rozmowy"));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setItemDelegate(new CConversationDelegate(m_list));
    m_list->setModel(m_listModel);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->installEventFilter(this);

    m_title = new QLabel;
    m_title->setObjectName(QStringLiteral("ThreadTitle"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setTextFormat(Qt::PlainText);

    m_thread = new QListView;
    m_thread->setObjectName(QStringLiteral("Thread"));
    m_thread->setAccessibleName(QStringLiteral("Wiadomości rozmowy"));
    m_thread->setUniformItemSizes(false);
    m_thread->setResizeMode(QListView::Adjust);
    m_thread->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_thread->verticalScrollBar()->setSingleStep(20);
    m_thread->setSelectionMode(QAbstractItemView::SingleSelection);
    m_thread->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_thread->setItemDelegate(new CBubbleDelegate(m_thread));
    m_thread->setModel(m_threadModel);

    m_reply = new CWin1250TextEdit(kLimit);
    m_reply->setObjectName(QStringLiteral("Reply"));
    m_reply->setAccessibleName(QStringLiteral("Odpowiedź"));
    m_reply->setPlaceholderText(QStringLiteral("Odpowiedź"));
    m_reply->setTabChangesFocus(true);
    m_reply->setFixedHeight(m_reply->fontMetrics().lineSpacing() * 3 + 14);
    m_reply->installEventFilter(this);
    m_send = new QPushButton(QStringLiteral("Wyślij"));
    m_send->setObjectName(QStringLiteral("SendReply"));
    m_send->setAutoDefault(false);
    m_counter = new QLabel;
    m_counter->setObjectName(QStringLiteral("Counter"));
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counter->setMinimumWidth(m_counter->fontMetrics().horizontalAdvance(QStringLiteral("000-160")) + 4);

    auto* right = new QWidget;
    auto* replyRow = new QGridLayout;
    replyRow->addWidget(m_reply, 0, 0, 2, 1);
    replyRow->addWidget(m_send, 0, 1);
    replyRow->addWidget(m_counter, 1, 1);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(4, 0, 0, 0);
    rightLayout->addWidget(m_title);
    rightLayout->addWidget(m_thread, 1);
    rightLayout->addLayout(replyRow);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("ConversationsSplitter"));
    splitter->addWidget(m_list);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 5);
    splitter->setSizes({250, 510});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    // The window's focus on the view lands in the list; Tab goes on to the reply, as Enter does.
    setFocusProxy(m_list);
    setTabOrder(m_list, m_reply);
    setTabOrder(m_reply, m_send);
    setTabOrder(m_send, m_thread);

    // A thread opens when its row is chosen (a click, the arrows), not when the list only takes
    // the focus and Qt puts its cursor on the first row: that would read the newest messages.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CConversationsView::OnCurrentChanged);
    connect(m_reply, &QPlainTextEdit::textChanged, this, [this] {
        UpdateReplyState();
        emit commandStateChanged();
    });
    connect(m_reply, &CWin1250TextEdit::refused, this,
            [this](const QString& note) { win1250_edit::ShowNote(m_reply, note); });
    connect(m_send, &QPushButton::clicked, this, [this] { RunCommand(CommandId::Send); });
    // Rows are sized from their lengths until painted, then from their laid-out texts: a thread
    // showing its end keeps showing it while the rows on screen take their true heights.
    QScrollBar* bar = m_thread->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_atEnd)
            bar->setValue(maximum);
    });
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_atEnd = value >= bar->maximum() - 4; });
}

CConversationsView::~CConversationsView()
{
    GetDocument().RemoveListener(*this);
    KeepReply();
}

std::int64_t CConversationsView::Now() const
{
    return m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr));
}

void CConversationsView::OpenDatabase()
{
    const std::string& path = GetDocument().GetPath();
    if (path.empty())
        return;
    const std::string folder = GetDocument().GetMessageDbFolder();
    // A short wait: the view must come up even while another program holds the database.
    const auto opened = m_ownDb.Open(folder, std::chrono::milliseconds(500));
    if (!opened.message.empty())
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromUtf8(opened.message.c_str())] { emit statusMessage(text); },
            Qt::QueuedConnection);
}

void CConversationsView::OnInitialUpdate()
{
    if (!m_db || !m_db->IsOpen()) {
        m_db = &m_ownDb;
        OpenDatabase();
    }
    GetDocument().AddListener(*this);
    m_openKey = GetDocument().GetSettingsStore().Get(settings_keys::kConversationOpen);
    // Only the thread open last time opens by itself: showing the list reads nobody's messages.
    Rebuild(true);
    UpdateReplyState();
    m_list->setFocus();
}

void CConversationsView::Rebuild(bool readDatabase)
{
    if (readDatabase)
        m_senders = m_db && m_db->IsOpen() ? m_db->Senders(Now()) : std::vector<SenderSummary>{};
    const bool atBottom = m_atEnd;
    const int scrolled = m_thread->verticalScrollBar()->value();
    m_rebuilding = true;
    // Both lists let go of the old index before it goes.
    m_threadModel->SetThread(-1, m_db, Now());
    m_listModel->BeginReset();
    m_index.Build(GetDocument(), m_senders);
    int row = m_openKey.empty() ? -1 : m_index.Find(m_openKey);
    // A person opened from the address book has no thread yet; a number kept from an earlier
    // thread whose messages are gone keeps its place too, so a reply can still go to it.
    if (row < 0 && IsReplyable(m_openKey))
        row = m_index.Add(m_openKey);
    m_listModel->EndReset(m_db);
    if (row >= 0) {
        m_list->setCurrentIndex(m_listModel->index(row));
        ShowThread(row);
    } else {
        m_threadModel->SetThread(-1, m_db, Now());
        m_title->setText(m_listModel->rowCount() > 0 ? QStringLiteral("Wybierz osobę z listy.")
                                                     : QStringLiteral("Nie ma jeszcze żadnych wiadomości."));
    }
    m_rebuilding = false;
    m_atEnd = atBottom;
    if (atBottom) {
        m_thread->scrollToBottom();
    } else {
        m_thread->doItemsLayout();
        m_thread->verticalScrollBar()->setValue(scrolled);
    }
}

void CConversationsView::Reload()
{
    Rebuild(true);
}

void CConversationsView::OnDocumentChanged(DocChange change)
{
    switch (change) {
    case DocChange::Sent:
    case DocChange::Outbox:
    case DocChange::AddressBook:
        // The index points into the folders: it is built again before anything is painted.
        Rebuild(false);
        break;
    default:
        break;
    }
}

void CConversationsView::OnCurrentChanged()
{
    if (m_rebuilding)
        return;
    const QModelIndexList chosen = m_list->selectionModel()->selectedIndexes();
    if (chosen.isEmpty())
        return;
    const QModelIndex current = chosen.front();
    const std::string key = current.data(CConversationListModel::KeyRole).toString().toStdString();
    if (key == m_openKey && m_threadModel->Conversation() == current.row())
        return;
    // A reply begun for someone else is kept for them, not sent to this one.
    KeepReply();
    m_reply->clear();
    m_openKey = key;
    ShowThread(current.row());
    m_atEnd = true;
    m_thread->scrollToBottom();
}

void CConversationsView::ShowThread(int row)
{
    const Conversation& c = m_index.List().at(static_cast<std::size_t>(row));
    m_openKey = c.key;
    GetDocument().GetSettingsStore().Set(settings_keys::kConversationOpen, c.key);
    m_threadModel->SetThread(row, m_db, Now());
    const QString key = QString::fromUtf8(c.key);
    m_title->setText(c.name.empty() ? key : QStringLiteral("%1 (%2)").arg(QString::fromUtf8(c.name), key));

    // Opening a thread is reading it.
    if (c.unread > 0 && m_db && m_db->IsOpen()) {
        const bool failed = !m_db->SetSenderRead(c.key, Now());
        m_index.MarkRead(row);
        for (auto& sender : m_senders)
            if (sender.sender == c.key)
                sender.unread = 0;
        m_listModel->RowChanged(row);
        emit unreadChanged();
        if (failed)
            emit statusMessage(QStringLiteral("Nie można zapisać w Brivantel.db: %1")
                                   .arg(QString::fromUtf8(m_db->LastError().c_str())));
    }

    // The reply kept for this person comes back into the field, which keeps it from now on.
    if (m_reply->toPlainText().isEmpty()) {
        CSettingsStore& settings = GetDocument().GetSettingsStore();
        const std::string kept = settings.GetString(settings_keys::kConversationRepliesSection, c.key);
        if (!kept.empty()) {
            m_reply->SetStoredText(kept);
            settings.SetString(settings_keys::kConversationRepliesSection, c.key, std::string());
        }
    }
    UpdateReplyState();
    emit commandStateChanged();
}

std::string CConversationsView::CurrentKey() const
{
    return m_threadModel->Conversation() >= 0 ? m_openKey : std::string();
}

bool CConversationsView::OpenConversation(const std::string& key)
{
    int row = m_index.Find(key);
    if (row < 0 && IsReplyable(key)) {
        m_listModel->BeginReset();
        row = m_index.Add(key);
        m_listModel->EndReset(m_db);
    }
    if (row < 0)
        return false;
    m_list->setCurrentIndex(m_listModel->index(row));
    return CurrentKey() == key;
}

void CConversationsView::UpdateReplyState()
{
    const bool replyable = m_threadModel->Conversation() >= 0 && IsReplyable(m_openKey);
    m_reply->setEnabled(replyable);
    m_reply->setPlaceholderText(replyable || m_threadModel->Conversation() < 0
                                    ? QStringLiteral("Odpowiedź")
                                    : QStringLiteral("Na wiadomość od nazwy nie można odpowiedzieć."));
    m_send->setEnabled(replyable && !m_reply->toPlainText().trimmed().isEmpty());
    m_counter->setText(QStringLiteral("%1-160").arg(static_cast<int>(ProgramSignature(GetDocument()).size()) +
                                                    m_reply->GetStoredLength() + 1));
}

void CConversationsView::KeepReply()
{
    if (m_openKey.empty() || !m_reply)
        return;
    CSettingsStore& settings = GetDocument().GetSettingsStore();
    const char* section = settings_keys::kConversationRepliesSection;
    if (m_reply->toPlainText().isEmpty()) {
        if (!settings.GetString(section, m_openKey).empty())
            settings.SetString(section, m_openKey, std::string());
        return;
    }
    // What cannot be kept as Windows-1250 is kept with "?" rather than lost with the rest.
    const auto stored = m_reply->GetStoredText();
    settings.SetString(section, m_openKey, stored ? *stored : m_reply->GetStoredTextLossy());
}

void CConversationsView::HandBackQuietly()
{
    KeepReply();
}

std::optional<CCommandState> CConversationsView::QueryCommand(CommandId command) const
{
    switch (command) {
    case CommandId::Send:
        return CCommandState{m_send->isEnabled(), false};
    default:
        return std::nullopt;
    }
}

bool CConversationsView::OnCommand(CommandId command)
{
    if (command != CommandId::Send)
        return false;
    OnSendReply();
    return true;
}

void CConversationsView::OnSendReply()
{
    const int row = m_threadModel->Conversation();
    if (row < 0 || !IsReplyable(m_openKey))
        return;
    const auto text = m_reply->GetStoredText();
    if (!text) {
        win1250_edit::ShowUnstorable(this, m_reply->UnstorableReason());
        return;
    }
    if (m_reply->toPlainText().trimmed().isEmpty()) {
        win1250_edit::ShowNote(m_reply, QStringLiteral("Pusta wiadomość nie zostanie wysłana."));
        return;
    }
    // The address book's entry for the number when it has one (the message is filed under its
    // name), otherwise the number itself, as the send operation files a number without an entry.
    const std::string key = m_openKey;
    std::string recipients = key;
    std::string number = key;
    for (const auto& entry : GetDocument().GetAddressBook().GetEntries()) {
        if (CMessageDb::NormaliseNumber(entry->GetFullNumber()) == key) {
            recipients = entry->GetDisplayName();
            number = entry->GetFullNumber();
            break;
        }
    }
    // The message is in a folder from here on, whatever the send does: the field is free again.
    m_reply->clear();
    GetDocument().GetSettingsStore().SetString(settings_keys::kConversationRepliesSection, key,
                                               std::string());
    m_atEnd = true;
    GetDocument().SendToRecipients(recipients, number, *text, ROUTE_CONFIGURED);
    m_atEnd = true;
    m_thread->scrollToBottom();
    emit commandStateChanged();
}

bool CConversationsView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == m_list && enter && key->modifiers() == Qt::NoModifier) {
            if (m_reply->isEnabled())
                m_reply->setFocus(Qt::TabFocusReason);
            return true;
        }
        // A chat's habit of Ctrl+Enter must not send a message by accident: sending is Alt+S or
        // the button, as everywhere in the program.
        if (watched == m_reply && enter && (key->modifiers() & Qt::ControlModifier)) {
            win1250_edit::ShowNote(m_reply, QStringLiteral("Wiadomość wysyła przycisk \"Wyślij\" (Alt+S)."));
            return true;
        }
    }
    return CBrivantelView::eventFilter(watched, event);
}
