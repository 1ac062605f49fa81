// "Rozmowy": one person's sent, waiting and received messages in time order with their delivery
// states, the number's forms grouped as one person, reading marks, replies through the send
// operation, the keyboard's way through the view, the address book's "Rozmowa", screenshots, and
// the orderly end on SIGTERM with a reply half written.

#include <gtest/gtest.h>

#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <csignal>
#include <iostream>

#include "ChildProgram.h"
#include "ComposeTestSupport.h"
#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/SettingsKeys.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "app/qt/QtSettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "messagedb/MessageDb.h"
#include "support/RecordingUserInterface.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/ConversationListModel.h"
#include "ui/ConversationsView.h"
#include "ui/FolderListBar.h"
#include "ui/Icons.h"
#include "ui/InboxWatch.h"
#include "ui/ThreadModel.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

using views_test::AddEntry;
using views_test::LocalTime;
using views_test::Polish;
using Kind = ConversationItem::Kind;

IncomingMessage Whole(const std::string& source, const char* sender, const char* text, std::int64_t received)
{
    IncomingMessage m;
    m.source = source;
    m.sender = sender;
    m.senderIsName = sender[0] != '+' && (sender[0] < '0' || sender[0] > '9');
    m.text = text;
    m.receivedUtc = received;
    return m;
}

std::int64_t At(int hour, int minute)
{
    return LocalTime(2026, 12, 8, hour, minute, 0);
}

// Jan (+48602111222) in the address book; with him two sent messages (one delivered, one the
// network gave up on), one still in the outbox, and three received ones from his number written
// three ways. Besides: an unread message from a stranger, the newest, and one from "Orange".
struct Exchange
{
    QTemporaryDir dir;
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};

    explicit Exchange(bool withMessages = true)
    {
        EXPECT_TRUE(doc.Open(dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                             CBrivantelDoc::Access::ReadWrite));
        AddEntry(doc.GetAddressBook(), "Jan", "Kowalski", "Jan Kowalski", "602", "111222");
        AddEntry(doc.GetAddressBook(), "Ewa", "Nowak", "Ewa Nowak", "501", "222333");
        if (!withMessages)
            return;
        File(doc.GetSent(), "Jan Kowalski", "Cześć, jutro o 10?", At(12, 0));
        File(doc.GetSent(), "Jan Kowalski", "Super", At(12, 2));
        File(doc.GetOutbox(), "Jan Kowalski", "Do zobaczenia", At(12, 6));
        CMessageDb db;
        EXPECT_TRUE(db.Open(dir.path().toStdString()).ok);
        const ImportResult imported = db.Import({
            Whole("a", "0048602111222", "Tak, pasuje", At(12, 1)),
            Whole("b", "602111222", "A gdzie?", At(12, 3)),
            Whole("c", "+48 602 111 222", "Na rynku 🙂", At(12, 5)),
            Whole("d", "+48501999888", "Kto mówi?", At(12, 10)),
            Whole("e", "Orange", "Twój rachunek", At(11, 0)),
        });
        EXPECT_TRUE(imported.ok) << imported.reason;
        for (const auto& [text, time, reference] :
             {std::tuple{"Cześć, jutro o 10?", At(12, 0), 5}, std::tuple{"Super", At(12, 2), 6}}) {
            SentCopy copy;
            copy.name = Polish("Jan Kowalski");
            copy.number = "+48602111222";
            copy.text = Polish(text);
            copy.filed = time;
            copy.sentUtc = time;
            copy.references = {reference};
            EXPECT_TRUE(db.RecordSent(copy));
        }
        StatusReport delivered{"+48602111222", 5, 0x00, At(12, 3), At(12, 4)};
        StatusReport failed{"+48602111222", 6, 0x41, At(12, 7), At(12, 7)};
        int matched = 0;
        EXPECT_TRUE(db.ApplyReports({delivered, failed}, &matched));
        EXPECT_EQ(matched, 2);
    }

    static void File(CMessageList& folder, const char* to, const char* text, std::int64_t time)
    {
        auto message = std::make_unique<CMessage>(Polish(to), Polish(text), static_cast<TimeStamp>(time));
        EXPECT_TRUE(folder.AddMessage(message));
    }

    int Unread()
    {
        CMessageDb db;
        EXPECT_TRUE(db.Open(dir.path().toStdString()).ok);
        return db.UnreadCount(At(23, 0));
    }
};

// The frame with "Rozmowy" shown, the way the user opens it.
struct Shown
{
    CBrivantelFrame frame;
    explicit Shown(CBrivantelDoc& doc) : frame(doc, doc.GetSettingsStore())
    {
        frame.SetMailStep([] {});
        frame.GetInbox().UpdateCount();
        TriggerEnabled(frame.Action(CommandId::ViewConversations));
        QApplication::processEvents();
    }
    CConversationsView& View() { return dynamic_cast<CConversationsView&>(*frame.GetActiveView()); }
    QString Row(int row, int role = Qt::DisplayRole)
    {
        return View().GetListModel().index(row).data(role).toString();
    }
    int RowOf(const QString& title)
    {
        for (int row = 0; row < View().GetListModel().rowCount(); ++row)
            if (Row(row) == title)
                return row;
        return -1;
    }
    void Open(const QString& title)
    {
        const int row = RowOf(title);
        ASSERT_GE(row, 0) << title.toStdString();
        View().GetList().setCurrentIndex(View().GetListModel().index(row));
    }
};

} // namespace

// The exchange with Jan: sent, received and waiting messages in time order, each with its state,
// and his number's three forms as one person with his address-book name.
TEST(ConversationsView, ThreadMixesFoldersAndDatabaseInTimeOrder)
{
    Exchange exchange;
    Shown shown(exchange.doc);
    CConversationsView& view = shown.View();
    // Newest first: the stranger, Jan, then "Orange"; Jan's three number forms are one row.
    ASSERT_EQ(view.GetListModel().rowCount(), 3);
    EXPECT_EQ(shown.Row(0), QStringLiteral("+48501999888"));
    EXPECT_EQ(shown.Row(1), QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(shown.Row(2), QStringLiteral("Orange"));
    EXPECT_EQ(shown.Row(1, CConversationListModel::PreviewRole), QStringLiteral("Do zobaczenia"));
    // Showing the list opens no thread by itself, also when the list takes the focus, so nothing
    // is read yet.
    shown.frame.show();
    shown.frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&shown.frame));
    view.GetList().setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(view.CurrentKey(), "");
    EXPECT_EQ(exchange.Unread(), 5);

    shown.Open(QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(view.CurrentKey(), "+48602111222");
    struct Row
    {
        Kind kind;
        const char* text;
        QString state;
    };
    const Row expected[] = {
        {Kind::Sent, "Cześć, jutro o 10?", QStringLiteral("Doręczono 12:03")},
        {Kind::Received, "Tak, pasuje", QString()},
        {Kind::Sent, "Super", QStringLiteral("Nie doręczono")},
        {Kind::Received, "A gdzie?", QString()},
        {Kind::Received, "Na rynku 🙂", QString()},
        {Kind::Queued, "Do zobaczenia", QStringLiteral("czeka")},
    };
    const CThreadModel& thread = view.GetThreadModel();
    ASSERT_EQ(thread.rowCount(), 6);
    for (int row = 0; row < 6; ++row) {
        const QModelIndex index = thread.index(row);
        SCOPED_TRACE(row);
        EXPECT_EQ(static_cast<Kind>(index.data(CThreadModel::KindRole).toInt()), expected[row].kind);
        EXPECT_EQ(index.data().toString(), QString::fromUtf8(expected[row].text));
        EXPECT_EQ(index.data(CThreadModel::StateRole).toString(), expected[row].state);
    }
    EXPECT_EQ(thread.index(0).data(CThreadModel::TimeRole).toString(), QStringLiteral("08/12/2026 12:00"));
    // A screen reader hears who wrote, when, the state and the text.
    EXPECT_EQ(thread.index(0).data(Qt::AccessibleTextRole).toString(),
              QStringLiteral("Wysłano 08/12/2026 12:00, Doręczono 12:03: Cześć, jutro o 10?"));
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("ThreadTitle"))->text(),
              QStringLiteral("Jan Kowalski (+48602111222)"));
}

// What a sent message's row says for each delivery state, and for one still waiting.
TEST(ConversationsView, StateTexts)
{
    const std::int64_t at = At(12, 3);
    struct Case
    {
        Kind kind;
        Delivery delivery;
        QString text;
    };
    const Case cases[] = {
        {Kind::Sent, Delivery::None, QStringLiteral("Wysłano")},
        {Kind::Sent, Delivery::Pending, QStringLiteral("Wysłano")},
        {Kind::Sent, Delivery::Delivered, QStringLiteral("Doręczono 12:03")},
        {Kind::Sent, Delivery::Failed, QStringLiteral("Nie doręczono")},
        {Kind::Queued, Delivery::None, QStringLiteral("czeka")},
        {Kind::Received, Delivery::None, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CThreadModel::StateText(c.kind, DeliveryState{c.delivery, at}), c.text);
}

// The forms of one number are one person; other countries and names stay apart.
TEST(ConversationsView, NumberFormsGroupAsOnePerson)
{
    Exchange exchange(false);
    CMessageDb db;
    ASSERT_TRUE(db.Open(exchange.dir.path().toStdString()).ok);
    const char* forms[] = {"+48 602 123 456", "602123456", "0048602123456", "+48602123456", "602-123-456"};
    std::vector<IncomingMessage> messages;
    for (const char* form : forms)
        messages.push_back(Whole(form, form, form, At(9, static_cast<int>(messages.size()))));
    messages.push_back(Whole("de", "+49602123456", "Hallo", At(10, 0)));
    ASSERT_TRUE(db.Import(messages).ok);
    Exchange::File(exchange.doc.GetSent(), "602 123 456", "Odpisuję", At(10, 30));

    CConversationIndex index;
    index.Build(exchange.doc, db.Senders(At(23, 0)));
    ASSERT_EQ(index.List().size(), 2u);
    EXPECT_EQ(index.List()[0].key, "+48602123456");
    EXPECT_EQ(index.Thread(0, &db, At(23, 0)).size(), 6u);
    EXPECT_EQ(index.List()[1].key, "+49602123456");
    for (const char* form : forms)
        EXPECT_EQ(index.KeyFor(form), "+48602123456") << form;
    EXPECT_EQ(index.KeyFor(Polish("Jan Kowalski")), "+48602111222");
}

// Opening a thread marks its received messages read: the database, the list's bold and the
// "Odebrane" caption follow; the others stay unread.
TEST(ConversationsView, OpeningMarksRead)
{
    Exchange exchange;
    ASSERT_EQ(exchange.Unread(), 5);
    exchange.settings.Set(settings_keys::kConversationOpen, std::string("Orange"));
    Shown shown(exchange.doc);
    // "Orange" was open before: it is the one opened again, and read.
    EXPECT_EQ(exchange.Unread(), 4);
    CFolderListCtrl& folders = shown.frame.GetFolderListBar().GetList();
    EXPECT_EQ(folders.GetItemText(0, 5), QStringLiteral("Odebrane (4)"));
    const int jan = shown.RowOf(QStringLiteral("Jan Kowalski"));
    EXPECT_TRUE(shown.View().GetListModel().index(jan).data(CConversationListModel::UnreadRole).toBool());

    shown.Open(QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(exchange.Unread(), 1);
    EXPECT_FALSE(shown.View().GetListModel().index(jan).data(CConversationListModel::UnreadRole).toBool());
    EXPECT_EQ(folders.GetItemText(0, 5), QStringLiteral("Odebrane (1)"));
    EXPECT_TRUE(shown.View()
                    .GetListModel()
                    .index(shown.RowOf(QStringLiteral("+48501999888")))
                    .data(CConversationListModel::UnreadRole)
                    .toBool());
    // A sender that is a name cannot be written back to.
    shown.Open(QStringLiteral("Orange"));
    EXPECT_FALSE(shown.View().GetReplyEdit().isEnabled());
}

// The view's place in the window: the folder list's messages group, the folder buttons and
// "Widok"/"Foldery", with the view's icon.
TEST(ConversationsView, IsInTheFolderListButtonsAndMenu)
{
    Exchange exchange(false);
    CBrivantelFrame frame(exchange.doc, exchange.settings);
    CFolderListCtrl& folders = frame.GetFolderListBar().GetList();
    ASSERT_EQ(folders.GetItemCount(0), 7);
    EXPECT_EQ(folders.GetItemText(0, 6), QStringLiteral("Rozmowy"));
    EXPECT_EQ(CommandId(folders.GetItemDataOf(0, 6)), CommandId::ViewConversations);
    QAction* action = frame.Action(CommandId::ViewConversations);
    EXPECT_TRUE(frame.GetFolderButtons().actions().contains(action));
    EXPECT_FALSE(action->icon().isNull());
    const auto buttons = frame.GetFolderButtons().actions();
    EXPECT_EQ(buttons.indexOf(action), buttons.indexOf(frame.Action(CommandId::ViewReceived)) + 1);
    bool inMenu = false;
    for (QMenu* menu : frame.findChildren<QMenu*>())
        inMenu |= menu->title() == QStringLiteral("&Foldery") && menu->actions().contains(action);
    EXPECT_TRUE(inMenu);
    TriggerEnabled(action);
    EXPECT_EQ(frame.GetCurrentKind(), 1009);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Rozmowy - Brivantel "));
}

namespace {

// A reply through the gateway simulator on loopback.
class ConversationReply : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            m_exchange.settings.SetString("Hosts", name, m_sim.HostValue());
        GatewayTimeouts t;
        t.socket.connect = std::chrono::milliseconds(2000);
        t.socket.read = std::chrono::milliseconds(2000);
        t.socket.write = std::chrono::milliseconds(2000);
        t.exchange = std::chrono::milliseconds(8000);
        m_exchange.doc.GetSender().SetTimeouts(t);
    }
    CGatewaySimulator m_sim;
    Exchange m_exchange;
};

} // namespace

// A reply goes through the send operation: confirmed, it is filed in the sent folder under the
// address book's name (or the bare number) and shows at the thread's end; refused, it waits in
// the outbox and shows "czeka".
TEST_F(ConversationReply, QueuesThroughTheSendOperation)
{
    struct Case
    {
        const char* person;
        bool confirmed;
        const char* filedAs;
    };
    const Case cases[] = {
        {"Jan Kowalski", true, "Jan Kowalski"},
        {"+48501999888", false, "+48501999888"},
    };
    Shown shown(m_exchange.doc);
    CConversationsView& view = shown.View();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.person);
        m_sim.SetBehaviour(c.confirmed ? CGatewaySimulator::Behaviour::Normal
                                       : CGatewaySimulator::Behaviour::NoConfirmation);
        shown.Open(QString::fromUtf8(c.person));
        const std::size_t sent = m_exchange.doc.GetSent().GetCount();
        const std::size_t queued = m_exchange.doc.GetOutbox().GetCount();
        EXPECT_FALSE(shown.frame.Action(CommandId::Send)->isEnabled()); // nothing written yet
        view.GetReplyEdit().setFocus();
        TypeText(&view.GetReplyEdit(), QStringLiteral("Już jadę"));
        EXPECT_EQ(view.GetCounter().text(), QStringLiteral("9-160"));
        view.GetSendButton().click();
        QApplication::processEvents();
        const CMessageList& folder = c.confirmed ? static_cast<const CMessageList&>(m_exchange.doc.GetSent())
                                                 : m_exchange.doc.GetOutbox();
        ASSERT_EQ(folder.GetCount(), (c.confirmed ? sent : queued) + 1);
        EXPECT_EQ(folder.GetMessages().back()->GetRecipients(), Polish(c.filedAs));
        EXPECT_EQ(folder.GetMessages().back()->GetText(), Polish("Już jadę"));
        EXPECT_TRUE(view.GetReplyEdit().toPlainText().isEmpty());
        const CThreadModel& thread = view.GetThreadModel();
        const QModelIndex last = thread.index(thread.rowCount() - 1);
        EXPECT_EQ(last.data().toString(), QStringLiteral("Już jadę"));
        EXPECT_EQ(last.data(CThreadModel::StateRole).toString(),
                  c.confirmed ? QStringLiteral("Wysłano") : QStringLiteral("czeka"));
    }
    EXPECT_EQ(m_sim.MessageCount(), 2u);
    ASSERT_EQ(m_exchange.ui.sendFailures.size(), 1u);
}

// Ctrl+Enter sends nothing; a text Windows-1250 cannot hold is refused with its reason; a text of
// blanks only cannot be sent.
TEST_F(ConversationReply, RefusesWhatMustNotGo)
{
    Shown shown(m_exchange.doc);
    CConversationsView& view = shown.View();
    shown.Open(QStringLiteral("Jan Kowalski"));
    const std::size_t filed = m_exchange.doc.GetSent().GetCount() + m_exchange.doc.GetOutbox().GetCount();
    auto filedNow = [&] {
        return m_exchange.doc.GetSent().GetCount() + m_exchange.doc.GetOutbox().GetCount();
    };

    view.GetReplyEdit().setFocus();
    TypeText(&view.GetReplyEdit(), QStringLiteral("Nie teraz"));
    QTest::keyClick(&view.GetReplyEdit(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&view.GetReplyEdit(), Qt::Key_Enter, Qt::ControlModifier);
    EXPECT_EQ(filedNow(), filed);
    EXPECT_EQ(view.GetReplyEdit().toPlainText(), QStringLiteral("Nie teraz"));

    view.GetReplyEdit().setPlainText(QStringLiteral("   "));
    EXPECT_FALSE(shown.frame.Action(CommandId::Send)->isEnabled());

    // Pasted around the edit's checks (as a restored state could be): refused at the send.
    view.GetReplyEdit().setPlainText(QStringLiteral("Привет"));
    TriggerEnabled(shown.frame.Action(CommandId::Send));
    QApplication::processEvents();
    EXPECT_EQ(filedNow(), filed);
    auto* box = shown.frame.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("П"))) << box->text().toStdString();
    box->close();
    EXPECT_EQ(m_sim.MessageCount(), 0u);
}

// Up and Down walk the people, each opening their thread; Enter and Tab go on to the reply.
TEST(ConversationsView, KeyboardWalksListAndReachesTheReply)
{
    Exchange exchange;
    Shown shown(exchange.doc);
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    CConversationsView& view = shown.View();
    shown.Open(QStringLiteral("+48501999888"));
    view.GetList().setFocus();
    QTest::keyClick(&view.GetList(), Qt::Key_Down);
    EXPECT_EQ(view.CurrentKey(), "+48602111222");
    QTest::keyClick(&view.GetList(), Qt::Key_Up);
    EXPECT_EQ(view.CurrentKey(), "+48501999888");
    QTest::keyClick(&view.GetList(), Qt::Key_Return);
    EXPECT_TRUE(view.GetReplyEdit().hasFocus());
    view.GetList().setFocus();
    QTest::keyClick(&view.GetList(), Qt::Key_Tab);
    EXPECT_TRUE(view.GetReplyEdit().hasFocus());
    // The panes F6 walks and what a screen reader calls them.
    EXPECT_EQ(view.GetList().accessibleName(), QStringLiteral("Rozmowy"));
    EXPECT_EQ(view.GetThread().accessibleName(), QStringLiteral("Wiadomości rozmowy"));
    EXPECT_EQ(view.GetReplyEdit().accessibleName(), QStringLiteral("Odpowiedź"));
    std::vector<QWidget*> reached;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&shown.frame, Qt::Key_F6);
        reached.push_back(QApplication::focusWidget());
    }
    for (QWidget* pane : {static_cast<QWidget*>(&view.GetList()), static_cast<QWidget*>(&view.GetThread()),
                          static_cast<QWidget*>(&view.GetReplyEdit())})
        EXPECT_NE(std::find(reached.begin(), reached.end(), pane), reached.end())
            << pane->objectName().toStdString();
}

// "Rozmowa" in the address book opens the chosen person's thread, also one with no messages yet.
TEST(ConversationsView, AddressBookOpensThePersonsThread)
{
    Exchange exchange;
    CBrivantelFrame frame(exchange.doc, exchange.settings);
    struct Case
    {
        const char* person;
        std::string key;
        int rows;
    };
    const Case cases[] = {{"Jan Kowalski", "+48602111222", 6}, {"Ewa Nowak", "+48501222333", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.person);
        frame.SwitchView(CommandId::ViewAddressBook);
        auto& book = dynamic_cast<CAddressBookView&>(*frame.GetActiveView());
        CAddressListCtrl& list = book.GetPage().GetList();
        for (int row = 0; row < list.GetRowCount(); ++row)
            if (book.GetPage().GetModel().EntryAt(row)->GetDisplayName() == Polish(c.person))
                list.SelectRow(row);
        frame.UpdateCommandUi();
        TriggerEnabled(frame.Action(CommandId::Conversation));
        QApplication::processEvents();
        auto* view = dynamic_cast<CConversationsView*>(frame.GetActiveView());
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->CurrentKey(), c.key);
        EXPECT_EQ(view->GetThreadModel().rowCount(), c.rows);
        EXPECT_TRUE(view->GetReplyEdit().isEnabled());
    }
}

// A reply half written survives a switch to another view and comes back with the thread.
TEST(ConversationsView, HalfWrittenReplyIsKept)
{
    Exchange exchange;
    Shown shown(exchange.doc);
    shown.Open(QStringLiteral("Jan Kowalski"));
    shown.View().GetReplyEdit().setFocus();
    TypeText(&shown.View().GetReplyEdit(), QStringLiteral("Zaraz będę"));
    // Another person's thread starts empty: the reply is not theirs. Each keeps their own.
    shown.Open(QStringLiteral("+48501999888"));
    EXPECT_TRUE(shown.View().GetReplyEdit().toPlainText().isEmpty());
    TypeText(&shown.View().GetReplyEdit(), QStringLiteral("Kto pyta?"));
    shown.Open(QStringLiteral("Orange"));
    shown.Open(QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(shown.View().GetReplyEdit().toPlainText(), QStringLiteral("Zaraz będę"));
    shown.Open(QStringLiteral("+48501999888"));
    EXPECT_EQ(shown.View().GetReplyEdit().toPlainText(), QStringLiteral("Kto pyta?"));
    shown.Open(QStringLiteral("Jan Kowalski"));
    shown.frame.SwitchView(CommandId::ViewSend);
    EXPECT_EQ(exchange.settings.GetString(settings_keys::kConversationRepliesSection, "+48602111222"),
              Polish("Zaraz będę"));
    shown.frame.SwitchView(CommandId::ViewConversations);
    EXPECT_EQ(shown.View().GetReplyEdit().toPlainText(), QStringLiteral("Zaraz będę"));
    // The data file never holds it.
    EXPECT_EQ(exchange.doc.GetSendMessageViewData().text.find(Polish("Zaraz")), std::string::npos);
}

// Pictures of the list and of a thread with a long Polish text and an emoji, to be looked at.
TEST(ConversationsView, Screenshots)
{
    Exchange exchange;
    Exchange::File(exchange.doc.GetSent(), "Jan Kowalski",
                   "Zażółć gęślą jaźń: jutro rano jadę do Łodzi po części do roweru, więc spotkajmy się "
                   "przy dworcu o wpół do dziewiątej, a gdyby pociąg się spóźnił, zadzwonię.",
                   At(12, 8));
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(exchange.dir.path().toStdString()).ok);
        ASSERT_TRUE(
            db.Import({Whole("f", "+48602111222", "Świetnie 😀 do zobaczenia 🥳", At(12, 9))}).ok);
    }
    Shown shown(exchange.doc);
    shown.frame.resize(860, 600);
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    shown.Open(QStringLiteral("Jan Kowalski"));
    QTest::qWait(50);
    EXPECT_TRUE(SaveScreenshot(shown.frame, QStringLiteral("conversations-thread")));
    // The thread opens on its newest message, whole, once the rows on screen took their heights.
    QListView& thread = shown.View().GetThread();
    const QRect newest = thread.visualRect(thread.model()->index(thread.model()->rowCount() - 1, 0));
    EXPECT_TRUE(thread.viewport()->rect().contains(newest)) << newest.y() << " " << newest.height();
    EXPECT_EQ(thread.verticalScrollBar()->value(), thread.verticalScrollBar()->maximum());
    // A message filed meanwhile rebuilds the view: a thread read from its top stays there, one
    // showing its end shows the new end.
    thread.verticalScrollBar()->setValue(0);
    auto file = [&](const char* to, const char* text) {
        Exchange::File(exchange.doc.GetSent(), to, text, At(12, 30));
        exchange.doc.NotifyChanged(DocChange::Sent);
        QTest::qWait(50);
    };
    file("+48501999888", "Inny");
    EXPECT_EQ(thread.verticalScrollBar()->value(), 0);
    thread.scrollToBottom();
    QTest::qWait(50);
    file("Jan Kowalski", "Najnowsza");
    EXPECT_EQ(thread.model()->index(thread.model()->rowCount() - 1, 0).data().toString(),
              QStringLiteral("Najnowsza"));
    EXPECT_EQ(thread.verticalScrollBar()->value(), thread.verticalScrollBar()->maximum());
    shown.Open(QStringLiteral("Orange"));
    QTest::qWait(50);
    EXPECT_TRUE(SaveScreenshot(shown.frame, QStringLiteral("conversations-list")));
    // The view's icon at the sizes the bars and lists draw it, side by side on white.
    QPixmap sheet(QSize(16 + 24 + 32 + 4 * 8, 48) * shown.frame.devicePixelRatioF());
    sheet.setDevicePixelRatio(shown.frame.devicePixelRatioF());
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        int x = 8;
        for (int size : {16, 24, 32}) {
            painter.drawPixmap(x, 8, icons::ViewPixmap(9, size));
            x += size + 8;
        }
    }
    const QString suffix = shown.frame.devicePixelRatioF() > 1.0 ? QStringLiteral("-x2") : QString();
    EXPECT_TRUE(sheet.save(QDir(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR))
                               .filePath(QStringLiteral("conversations-icon%1.png").arg(suffix))));
    // A character no font has is shown as a mark, never as an empty box.
    const QFont font = shown.View().font();
    EXPECT_EQ(ShowableText(QStringLiteral("Hej \U0001FAE8"), font), QStringLiteral("Hej [emoji]"));
    EXPECT_EQ(ShowableText(QStringLiteral("Zażółć"), font), QStringLiteral("Zażółć"));
}

namespace {

const char* kConfigVariable = "BRIVANTEL_CONVERSATIONS_CONFIG";

} // namespace

// SIGTERM while "Rozmowy" is shown with a reply half written: the program ends in order with 143,
// the data file is saved and the reply is in the settings store for the next run.
TEST(ConversationsView, TerminatedWithHalfWrittenReplyEndsInOrder)
{
    if (IsChild("conversations")) {
        // The test program's own start chose a settings folder of its own: this run's is the one
        // the test reads afterwards.
        qputenv("XDG_CONFIG_HOME", qgetenv(kConfigVariable));
        ProgramUnderTest<CQtSettingsStore> program;
        program.prepare = [](CBrivantelDoc& doc) { doc.GetSendMessageViewData().text = "Pisane obok"; };
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable)));
        TriggerEnabled(program.frame->Action(CommandId::ViewConversations));
        auto* view = dynamic_cast<CConversationsView*>(program.frame->GetActiveView());
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->OpenConversation("+48602111222"));
        view->GetReplyEdit().setFocus();
        TypeText(&view->GetReplyEdit(), QStringLiteral("Odpiszę zaraz"));
        ReportReadyAndRunOn();
    }
    QTemporaryDir data;
    QTemporaryDir config;
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(data.path().toStdString()).ok);
        ASSERT_TRUE(db.Import({Whole("a", "+48602111222", "Zadzwoń", At(12, 0))}).ok);
    }
    ChildProgram child("conversations",
                       QStringLiteral("ConversationsView.TerminatedWithHalfWrittenReplyEndsInOrder"),
                       data.path(), false, {{QString::fromLatin1(kConfigVariable), config.path()}});
    ASSERT_TRUE(child.EndsOnTerminate());

    SavedFile saved(data.path());
    EXPECT_EQ(saved.doc.GetSendMessageViewData().text, "Pisane obok");
    const QSettings store(QDir(config.path()).filePath(QStringLiteral("Orvella Systems/Brivantel.conf")),
                          QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("ConversationReplies/+48602111222")).toString(),
              QStringLiteral("Odpiszę zaraz"));
}

// The list's time: the hour for today, the date for an older day.
TEST(ConversationsView, ListTimeIsTheHourTodayAndTheDateBefore)
{
    const std::int64_t now = At(18, 0);
    EXPECT_EQ(CConversationListModel::ShortTime(At(9, 5), now), QStringLiteral("09:05"));
    EXPECT_EQ(CConversationListModel::ShortTime(At(9, 5) - 86400, now), QStringLiteral("07/12/2026"));
    EXPECT_EQ(CConversationListModel::ShortTime(0, now), QString());
}

// A reading of the phone that brought messages shows them at once: in the open thread (read, since
// it is on the screen) and as a new person at the top of the list.
TEST(ConversationsView, MessagesArrivingShowAtOnce)
{
    Exchange exchange;
    Shown shown(exchange.doc);
    shown.Open(QStringLiteral("Jan Kowalski"));
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(exchange.dir.path().toStdString()).ok);
        ASSERT_TRUE(db.Import({Whole("g", "602111222", "Jestem już", At(12, 40)),
                               Whole("h", "+48700800900", "Nowy numer", At(12, 41))})
                        .ok);
    }
    emit shown.frame.GetInbox().messagesArrived();
    const CThreadModel& thread = shown.View().GetThreadModel();
    ASSERT_EQ(thread.rowCount(), 7);
    EXPECT_EQ(thread.index(6).data().toString(), QStringLiteral("Jestem już"));
    EXPECT_EQ(shown.Row(0), QStringLiteral("+48700800900"));
    EXPECT_TRUE(shown.View().GetListModel().index(0).data(CConversationListModel::UnreadRole).toBool());
    EXPECT_EQ(shown.View().CurrentKey(), "+48602111222");
    EXPECT_EQ(exchange.Unread(), 3); // the stranger's, "Orange"'s and the new number's
}
