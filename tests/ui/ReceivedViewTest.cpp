// The "Odebrane" folder: rows from Brivantel.db with the address book's names, unread ones bold
// and counted in the folder's caption, reply and delete through the window's actions, a reading
// of a test phone on a pseudo-terminal, and the orderly end on SIGTERM while the folder is shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <iostream>

#include "../phone/FakeModem.h"
#include "../phone/FakeSmsPhone.h"
#include "../phone/mm/FakeModemManager.h"
#include "ChildProgram.h"
#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/SettingsKeys.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "messagedb/MessageDb.h"
#include "phone/mm/ModemManagerService.h"
#include "send/PhoneSender.h"
#include "support/RecordingUserInterface.h"
#include "ui/FolderListBar.h"
#include "ui/InboxWatch.h"
#include "ui/ReceivedListModel.h"
#include "ui/ReceivedView.h"
#include "ui/SendMessageView.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

using views_test::AddEntry;
using views_test::InFrame;

std::int64_t Now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

IncomingMessage Whole(const char* source, const char* sender, const char* text, std::int64_t received)
{
    IncomingMessage m;
    m.source = source;
    m.sender = sender;
    m.text = text;
    m.receivedUtc = received;
    return m;
}

// A data file and a Brivantel.db beside it, with one message of each kind the folder shows.
struct Inbox
{
    QTemporaryDir dir;
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
    std::int64_t fromJan = 0, fromStranger = 0, unfinished = 0, broken = 0;

    Inbox()
    {
        EXPECT_TRUE(doc.Open(dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                             CBrivantelDoc::Access::ReadWrite));
        AddEntry(doc.GetAddressBook(), "Jan", "Kowalski", "Jan", "602", "111222");
        CMessageDb db;
        EXPECT_TRUE(db.Open(dir.path().toStdString()).ok);
        const std::int64_t now = Now();
        // Two days ago, part 1 of 2: listed without its sibling, with a placeholder.
        IncomingMessage part = Whole("p1", "+48600000001", "Pierwsza połowa", now - 2 * 86400);
        part.reference = 7;
        part.total = 2;
        part.sequence = 1;
        IncomingMessage unreadable = Whole("x", "+48600000002", "", now - 86400);
        unreadable.readable = false;
        unreadable.reason = "Długość danych przekracza PDU";
        unreadable.raw = "0004";
        // Jan's number written the way a phone gives it, with its international prefix.
        const ImportResult result =
            db.Import({part, unreadable, Whole("a", "0048602111222", "Będę o piątej 🙂", now - 3600),
                       Whole("b", "+48501999888", "Kto mówi?", now - 60)});
        EXPECT_TRUE(result.ok) << result.reason;
        const auto listed = db.List({}, now);
        EXPECT_EQ(listed.size(), 4u);
        if (listed.size() == 4) {
            unfinished = listed[0].id;
            broken = listed[1].id;
            fromJan = listed[2].id;
            fromStranger = listed[3].id;
        }
        db.SetRead(fromStranger, true);
    }

    StoredMessage Stored(std::int64_t id)
    {
        CMessageDb db;
        db.Open(dir.path().toStdString());
        return db.Find(id);
    }
};

QString Cell(const CReceivedView& view, int row, int column)
{
    return view.GetModel().index(row, column).data().toString();
}

bool Bold(const CReceivedView& view, int row)
{
    return view.GetModel().index(row, 0).data(Qt::FontRole).value<QFont>().bold();
}

QString FolderEntry(CBrivantelFrame& frame)
{
    return frame.GetFolderListBar().GetList().GetItemText(0, 5);
}

} // namespace

TEST(ReceivedView, ShowsNamesPlaceholdersAndUnreadMarks)
{
    Inbox inbox;
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    QApplication::processEvents();
    const CReceivedView& view = shown.view;
    ASSERT_EQ(view.GetModel().rowCount(), 4);
    struct Row
    {
        const char* from;
        const char* text;
        bool bold;
    };
    const Row expected[] = {
        {"+48600000001", "Pierwsza połowa[brak części 2]", true},
        {"+48600000002", "Nieczytelna wiadomość", true},
        {"Jan", "Będę o piątej 🙂", true},
        {"+48501999888", "Kto mówi?", false},
    };
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Cell(view, row, 0), QString::fromUtf8(expected[row].from));
        EXPECT_EQ(Cell(view, row, 1).remove(QLatin1Char(' ')),
                  QString::fromUtf8(expected[row].text).remove(QLatin1Char(' ')));
        EXPECT_EQ(Bold(view, row), expected[row].bold);
    }
    EXPECT_EQ(view.GetModel().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Odebrano"));
    EXPECT_EQ(FolderEntry(shown.frame), QStringLiteral("Odebrane (3)"));
    EXPECT_EQ(shown.frame.windowTitle(), QStringLiteral("Odebrane - Brivantel "));

    // Selecting a message reads it: no longer bold, one fewer in the caption, stored as read.
    shown.view.GetList().SelectRow(2);
    QApplication::processEvents();
    EXPECT_FALSE(Bold(view, 2));
    EXPECT_EQ(FolderEntry(shown.frame), QStringLiteral("Odebrane (2)"));
    EXPECT_TRUE(inbox.Stored(inbox.fromJan).read);

    shown.Run(CommandId::CopyText);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Będę o piątej 🙂"));
}

TEST(ReceivedView, ReplyOpensTheComposingViewWithTheSender)
{
    struct Case
    {
        int row;
        const char* recipients; // Windows-1250 equals ASCII here
    };
    for (const Case c : {Case{2, "Jan"}, Case{3, "+48501999888"}}) {
        SCOPED_TRACE(c.recipients);
        Inbox inbox;
        inbox.doc.GetSendMessageViewData().text = "stary tekst";
        InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
        shown.view.GetList().SelectRow(c.row);
        shown.Run(CommandId::Reply);
        QTest::qWait(50);
        auto* compose = dynamic_cast<CSendMessageView*>(shown.frame.GetActiveView());
        ASSERT_NE(compose, nullptr);
        EXPECT_EQ(inbox.doc.GetSendMessageViewData().recipients, c.recipients);
        EXPECT_EQ(compose->GetRecipientsEdit().text(), QString::fromLatin1(c.recipients));
        EXPECT_TRUE(inbox.doc.GetSendMessageViewData().text.empty());
    }
}

TEST(ReceivedView, DeleteMovesToTheDeletedStateInTheDatabase)
{
    Inbox inbox;
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    EXPECT_FALSE(shown.Offers(CommandId::Delete));
    shown.view.GetList().SelectRow(0);
    shown.view.GetList().SelectRow(1, true);
    shown.Run(CommandId::Delete);
    ASSERT_EQ(shown.view.GetModel().rowCount(), 2);
    EXPECT_EQ(Cell(shown.view, 0, 0), QStringLiteral("Jan"));
    EXPECT_TRUE(inbox.Stored(inbox.unfinished).deleted);
    EXPECT_TRUE(inbox.Stored(inbox.broken).deleted);
    EXPECT_FALSE(inbox.Stored(inbox.fromJan).deleted);
    EXPECT_EQ(FolderEntry(shown.frame), QStringLiteral("Odebrane (1)"));
    // The data file's own deleted folder is not where these go.
    EXPECT_EQ(inbox.doc.GetDeletedMessages().GetCount(), 0u);
}

TEST(ReceivedView, FindSelectsTheNextMatchingMessage)
{
    Inbox inbox;
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    shown.view.SetFindText(QStringLiteral("PIĄTEJ"));
    shown.Run(CommandId::Find);
    EXPECT_EQ(shown.view.GetList().GetFirstSelected(), 2);
    shown.view.SetFindText(QStringLiteral("jan"));
    shown.Run(CommandId::Find); // the sender's name counts too, and the search goes round
    EXPECT_EQ(shown.view.GetList().GetFirstSelected(), 2);
    shown.view.SetFindText(QStringLiteral("nic takiego"));
    shown.Run(CommandId::Find);
    EXPECT_EQ(shown.frame.statusBar()->currentMessage(), QStringLiteral("Nie znaleziono: nic takiego"));
}

// SMS-DELIVER from +48602111222, 7-bit "Hej", written by hand: no centre address, first octet 04,
// the number in swapped semi-octets, PID 00, DCS 00, 2026-12-08 21:00:00 +01:00, three septets
// packed into C8 B2 1A.
const char* const kHejFromJan = "00040B918406121122F2000062218012000040"
                                "03C8B21A";

// A reading of the phone brings a message into the open folder, announces it once and leaves
// the phone's storage empty.
TEST(ReceivedView, ReadingThePhoneFillsTheFolder)
{
    Inbox inbox;
    FakeSmsPhone phone({});
    ASSERT_TRUE(phone.IsReady());
    phone.Put("ME", kHejFromJan);
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    shown.frame.GetInbox().SetDeviceForTesting(phone.DevicePath());
    shown.Run(CommandId::ReceiveNow);
    ASSERT_EQ(shown.view.GetModel().rowCount(), 5);
    // Listed by the centre's time stamp, among the others.
    int row = 0;
    while (row < 5 && Cell(shown.view, row, 1) != QStringLiteral("Hej"))
        ++row;
    ASSERT_LT(row, 5);
    EXPECT_EQ(Cell(shown.view, row, 0), QStringLiteral("Jan"));
    EXPECT_TRUE(Bold(shown.view, row));
    EXPECT_EQ(shown.frame.GetInbox().GetLastNotice(), QStringLiteral("Jan: Hej"));
    // No notification area here: the status bar carries the notice.
    EXPECT_EQ(shown.frame.statusBar()->currentMessage(), QStringLiteral("Nowa wiadomość - Jan: Hej"));
    EXPECT_EQ(FolderEntry(shown.frame), QStringLiteral("Odebrane (4)"));
    EXPECT_EQ(phone.Used("ME"), 0);
    SaveScreenshot(shown.frame, QStringLiteral("received-notice"));

    // Read again: nothing new, nothing announced twice.
    shown.Run(CommandId::ReceiveNow);
    EXPECT_EQ(shown.view.GetModel().rowCount(), 5);
    EXPECT_EQ(shown.frame.statusBar()->currentMessage(), QStringLiteral("Brak nowych wiadomości."));
}

// Where the notification area can show a balloon, the announcement goes there; where it cannot,
// to the status bar.
TEST(ReceivedView, NewMessagesAreAnnouncedInTheTrayBalloonWhereOneCanBeShown)
{
    for (const bool balloonShown : {true, false}) {
        SCOPED_TRACE(balloonShown);
        Inbox inbox;
        FakeSmsPhone phone({});
        ASSERT_TRUE(phone.IsReady());
        phone.Put("ME", kHejFromJan);
        InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
        shown.frame.GetInbox().SetDeviceForTesting(phone.DevicePath());
        std::vector<std::pair<QString, QString>> balloons;
        shown.frame.GetInbox().SetBalloon([&](const QString& title, const QString& text) {
            balloons.emplace_back(title, text);
            return balloonShown;
        });
        shown.Run(CommandId::ReceiveNow);
        ASSERT_EQ(balloons.size(), 1u);
        EXPECT_EQ(balloons[0].first, QStringLiteral("Nowa wiadomość"));
        EXPECT_EQ(balloons[0].second, QStringLiteral("Jan: Hej"));
        EXPECT_EQ(shown.frame.statusBar()->currentMessage().contains(QStringLiteral("Jan: Hej")),
                  !balloonShown);
    }
}

TEST(ReceivedView, ColumnWidthsAreKeptInTheSettingsStore)
{
    Inbox inbox;
    const int widths[] = {111, 222, 155};
    {
        InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
        EXPECT_EQ(shown.view.GetList().GetColumnWidth(1), settings_keys::kReceivedTextWidth.fallback);
        for (int column = 0; column < 3; ++column)
            shown.view.GetList().SetColumnWidth(column, widths[column]);
    } // the window closes with the folder shown
    EXPECT_EQ(inbox.settings.Get(settings_keys::kReceivedTimeWidth), 155);
    // The next run's window, reading the same settings.
    InFrame<CReceivedView> again(inbox.doc, CommandId::ViewReceived);
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(again.view.GetList().GetColumnWidth(column), widths[column]) << column;
}

// A "+CMTI" the phone gives while a send holds the port brings a reading as soon as the send has
// let go of it; without one, the next reading waits for its interval.
TEST(ReceivedView, ANoticeDuringASendBringsAReadingRightAfterIt)
{
    for (const bool notice : {true, false}) {
        SCOPED_TRACE(notice);
        Inbox inbox;
        FakeModem modem;
        ASSERT_TRUE(modem.IsReady());
        FakeModem::Phone behaviour;
        if (notice)
            behaviour.unsolicited = {"+CMTI: \"ME\",1"};
        modem.Behave(behaviour);
        FakeSmsPhone phone({});
        ASSERT_TRUE(phone.IsReady());
        phone.Put("ME", kHejFromJan);
        inbox.doc.GetSettings().SetRoute(ROUTE_PHONE);
        inbox.doc.SetPhonePortName(modem.DevicePath());
        InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
        shown.frame.GetInbox().SetDeviceForTesting(phone.DevicePath());
        (void)CPhoneSender::TakeMessageWaiting(); // what an earlier test left

        ASSERT_TRUE(inbox.doc.SendToRecipients("Jan", "+48602111222", "Czekam", ROUTE_CONFIGURED));
        ASSERT_EQ(inbox.doc.GetSent().GetCount(), 1u);
        const bool read = QTest::qWaitFor([&] { return phone.Used("ME") == 0; }, notice ? 5000 : 1000);
        EXPECT_EQ(read, notice);
        EXPECT_EQ(shown.view.GetModel().rowCount(), notice ? 5 : 4);
    }
}

// With "Settings/PhoneBackend" naming ModemManager, the window reads through the service: the
// message arrives once, and the service's list is empty afterwards.
TEST(ReceivedView, ReadingThroughModemManagerFillsTheFolder)
{
    FakeModemManager mm(
        nlohmann::json{{"modems", {{{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}}}},
                       {"inbox",
                        {{{"number", "+48602111222"},
                          {"text", "Zadzwoń 🙂"},
                          {"timestamp", "2026-12-08T21:05:10+01:00"}}}}});
    ASSERT_EQ(mm.Problem(), "");
    CModemManagerService service(QString::fromStdString(mm.Address()));
    Inbox inbox;
    inbox.doc.SetModemService(&service);
    inbox.settings.Set(settings_keys::kPhoneBackend, "modemmanager");
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    shown.Run(CommandId::ReceiveNow);
    ASSERT_EQ(shown.view.GetModel().rowCount(), 5);
    EXPECT_EQ(shown.frame.GetInbox().GetLastNotice(), QStringLiteral("Jan: Zadzwoń 🙂"));
    EXPECT_EQ(mm.State()["messages"], 0);
    shown.Run(CommandId::ReceiveNow);
    EXPECT_EQ(shown.view.GetModel().rowCount(), 5);

    // A message the service announces between readings is read at once.
    ASSERT_FALSE(
        mm.Receive(
              {{"number", "+48501999888"}, {"text", "Drugi"}, {"timestamp", "2026-12-08T22:00:00+01:00"}})
            .empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.view.GetModel().rowCount() == 6; }, 5000));
    EXPECT_EQ(mm.State()["messages"], 0);
}

TEST(ReceivedView, APortThatCannotBeOpenedIsToldInTheStatusBar)
{
    Inbox inbox;
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    shown.frame.GetInbox().SetDeviceForTesting("/nonexistent/ttyUSB9");
    shown.Run(CommandId::ReceiveNow);
    EXPECT_FALSE(shown.frame.statusBar()->currentMessage().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(shown.view.GetModel().rowCount(), 4);
}

TEST(ReceivedView, Screenshots)
{
    Inbox inbox;
    InFrame<CReceivedView> shown(inbox.doc, CommandId::ViewReceived);
    shown.frame.resize(760, 480);
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    shown.view.GetList().SelectRow(1);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(shown.frame, QStringLiteral("received")));
}

namespace {

} // namespace

// SIGTERM (a logout) while "Odebrane" is shown: the program ends in order with 143 and the text
// being written is in the data file.
TEST(ReceivedView, TerminatedWhileShownEndsInOrder)
{
    if (IsChild("received")) {
        ProgramUnderTest<CMemorySettingsStore> program;
        program.prepare = [](CBrivantelDoc& doc) { doc.GetSendMessageViewData().text = "Odpowiem jutro"; };
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable)));
        TriggerEnabled(program.frame->Action(CommandId::ViewReceived));
        ASSERT_NE(dynamic_cast<CReceivedView*>(program.frame->GetActiveView()), nullptr);
        ReportReadyAndRunOn();
    }
    QTemporaryDir data;
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(data.path().toStdString()).ok);
        ASSERT_TRUE(db.Import({Whole("a", "+48602111222", "Zadzwoń", Now())}).ok);
    }
    ChildProgram child("received", QStringLiteral("ReceivedView.TerminatedWhileShownEndsInOrder"),
                       data.path());
    ASSERT_TRUE(child.EndsOnTerminate());

    SavedFile saved(data.path());
    EXPECT_EQ(saved.doc.GetSendMessageViewData().text, "Odpowiem jutro");
}
