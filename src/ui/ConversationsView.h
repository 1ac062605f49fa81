#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/Document.h"
#include "messagedb/MessageDb.h"
#include "ui/BrivantelView.h"
#include "ui/ConversationIndex.h"

class CConversationListModel;
class CThreadModel;
class CWin1250TextEdit;
class QLabel;
class QListView;
class QPushButton;

// "Rozmowy": on the left every person and number with the last message's time and first words,
// newest first; on the right the thread with the chosen one (sent messages, those still waiting
// in the outbox and received ones, in time order, with delivery states) and a reply field under
// it. A reply goes through the same send operation as the composing view, so it is filed in the
// sent folder or the outbox as every message is. Opening a thread marks its received messages
// read. The open person and a half-written reply live in the settings store.
class CConversationsView final : public CBrivantelView, private CDocumentListener
{
    Q_OBJECT
public:
    static constexpr int kLimit = 160;

    CConversationsView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CConversationsView() override;

    // Reads from the window's open database when given one; otherwise opens its own.
    void UseDatabase(CMessageDb* db) { m_db = db; }
    void OnInitialUpdate() override;
    void HandBackQuietly() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    // Reads the received messages again (a reading of the phone brought new ones).
    void Reload();
    // Opens the thread with a key (a normalised number or a sender's name); false when none.
    bool OpenConversation(const std::string& key);
    // The open thread's key; empty when none is open.
    std::string CurrentKey() const;

    QListView& GetList() const { return *m_list; }
    QListView& GetThread() const { return *m_thread; }
    CWin1250TextEdit& GetReplyEdit() const { return *m_reply; }
    QPushButton& GetSendButton() const { return *m_send; }
    QLabel& GetCounter() const { return *m_counter; }
    CConversationListModel& GetListModel() const { return *m_listModel; }
    CThreadModel& GetThreadModel() const { return *m_threadModel; }
    // Tests and the benchmark set the clock that decides when a long message stops waiting.
    void SetClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

signals:
    // The count of unread messages may have changed (the received folder's caption shows it).
    void unreadChanged();
    void statusMessage(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnDocumentChanged(DocChange change) override;
    void Rebuild(bool readDatabase);
    void OnCurrentChanged();
    void ShowThread(int row);
    void UpdateReplyState();
    void OnSendReply();
    void KeepReply();
    std::int64_t Now() const;
    void OpenDatabase();

    CMessageDb m_ownDb;
    CMessageDb* m_db = nullptr;
    std::vector<SenderSummary> m_senders;
    CConversationIndex m_index;
    std::string m_openKey;
    std::function<std::int64_t()> m_clock;
    bool m_rebuilding = false;
    bool m_atEnd = true; // the thread shows its newest message and keeps it shown

    QListView* m_list = nullptr;
    QListView* m_thread = nullptr;
    QLabel* m_title = nullptr;
    CWin1250TextEdit* m_reply = nullptr;
    QLabel* m_counter = nullptr;
    QPushButton* m_send = nullptr;
    CConversationListModel* m_listModel = nullptr;
    CThreadModel* m_threadModel = nullptr;
};
