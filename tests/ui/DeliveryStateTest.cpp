// The sent folder's "Stan" column from the delivery reports in Brivantel.db, resending what the
// network could not deliver, "Stan"'s width, and a reply to a number the address book does not
// know, sent through the gateway simulator on loopback.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/SettingsKeys.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "messagedb/MessageDb.h"
#include "send/SendTestSupport.h"
#include "support/RecordingUserInterface.h"
#include "ui/CheckRecipientsDialog.h"
#include "ui/MessageListModel.h"
#include "ui/ReceivedView.h"
#include "ui/SendMessageView.h"
#include "ui/SentMessagesView.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

using views_test::InFrame;
using views_test::LocalTime;
using views_test::Polish;

constexpr const char* kAnna = "+48502111222";
constexpr const char* kJan = "+48601333444";

// One sent copy and what the phone's reports said of it.
struct Filed
{
    const char* name;
    const char* text;
    std::vector<const char*> numbers; // each with one part: a report names the part's reference
    std::vector<int> statuses;        // per number; -1: no report yet
    std::uint32_t discharge;          // the centre's time of the reports
    const char* shown;                // "Stan"
};

// Whether the simulator took a message for the number: some gateways' forms carry the number
// without "+48", and the text with the gateway's own ending after it.
::testing::AssertionResult Took(const CGatewaySimulator::Message& message, const std::string& number,
                                const std::string& text)
{
    const std::string tail = number.substr(number.size() < 9 ? 0 : number.size() - 9);
    const bool numberMatches = message.number == number || message.number == tail;
    if (!numberMatches || message.text.rfind(text, 0) != 0)
        return ::testing::AssertionFailure() << message.number << " / " << message.text;
    return ::testing::AssertionSuccess();
}

class SentFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            m_settings.SetString("Hosts", name, m_sim.HostValue());
        ASSERT_TRUE(m_doc.Open(m_dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                               CBrivantelDoc::Access::ReadWrite));
        ASSERT_TRUE(AddPerson(m_doc.GetAddressBook(), "Anna", "502", "111222"));
        ASSERT_TRUE(AddPerson(m_doc.GetAddressBook(), "Jan", "601", "333444"));
    }

    // Files the copies in the sent folder and their parts and reports in Brivantel.db, as a send
    // with reports and a later reading of the phone would.
    void File(const std::vector<Filed>& copies)
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(m_dir.path().toStdString()).ok);
        int reference = 1;
        std::uint32_t time = LocalTime(2026, 12, 4, 10, 0, 0);
        for (const Filed& copy : copies) {
            const std::string text = Polish(copy.text);
            auto message = std::make_unique<CMessage>(copy.name, text, ++time);
            ASSERT_TRUE(m_doc.GetSent().AddMessage(message));
            std::vector<StatusReport> reports;
            for (std::size_t i = 0; i < copy.numbers.size(); ++i) {
                SentCopy sent{copy.name, copy.numbers[i], text, time, time, {reference}};
                ASSERT_TRUE(db.RecordSent(sent));
                if (copy.statuses[i] >= 0)
                    // The report names the number as the network writes it.
                    reports.push_back({std::string("00") + (copy.numbers[i] + 1), reference, copy.statuses[i],
                                       copy.discharge, time + 3600});
                ++reference;
            }
            int matched = 0;
            ASSERT_TRUE(db.ApplyReports(reports, &matched));
            ASSERT_EQ(matched, static_cast<int>(reports.size()));
        }
    }

    static QString State(const CSentMessagesView& view, int row)
    {
        return view.GetModel().index(row, 3).data().toString();
    }

    QTemporaryDir m_dir;
    CGatewaySimulator m_sim;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
};

const std::uint32_t kToday = LocalTime(2026, 12, 8, 18, 0, 0);

const std::vector<Filed> kCopies = {
    {"Anna", "bez raportu", {}, {}, 0, ""},
    {"Jan", "czeka", {kJan}, {-1}, 0, "Wysłano"},
    {"Jan", "jeszcze próbuje", {kJan}, {0x21}, 0, "Wysłano"},
    {"Jan", "dziś", {kJan}, {0x00}, LocalTime(2026, 12, 8, 12, 3, 0), "Doręczono 12:03"},
    {"Jan", "wcześniej", {kJan}, {0x00}, LocalTime(2026, 12, 5, 9, 7, 0), "Doręczono 05/12/2026 09:07"},
    {"Jan", "nie doszła", {kJan}, {0x41}, 0, "Nie doręczono"},
    // One copy to two people: delivered only when both are; failed when either failed.
    {"Anna;Jan", "do dwojga", {kAnna, kJan}, {0x00, -1}, 0, "Wysłano"},
    {"Anna;Jan", "jednej nie", {kAnna, kJan}, {0x00, 0x40}, 0, "Nie doręczono"},
};

} // namespace

TEST_F(SentFolderTest, StanShowsWhatTheReportsSaid)
{
    File(kCopies);
    InFrame<CSentMessagesView> shown(m_doc, CommandId::ViewSent);
    shown.view.GetDeliveryColumn().SetClock([] { return static_cast<std::int64_t>(kToday); });
    EXPECT_EQ(shown.view.GetModel().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Stan"));
    ASSERT_EQ(shown.view.GetModel().rowCount(), static_cast<int>(kCopies.size()));
    for (int row = 0; row < static_cast<int>(kCopies.size()); ++row) {
        SCOPED_TRACE(kCopies[row].text);
        EXPECT_EQ(State(shown.view, row), QString::fromUtf8(kCopies[row].shown));
    }
}

TEST_F(SentFolderTest, ResendIsOfferedOnlyForAFailedMessageAndGoesToWhoDidNotGetIt)
{
    File(kCopies);
    InFrame<CSentMessagesView> shown(m_doc, CommandId::ViewSent);
    for (int row = 0; row < static_cast<int>(kCopies.size()); ++row) {
        SCOPED_TRACE(kCopies[row].text);
        shown.view.GetList().SelectRow(row);
        EXPECT_EQ(shown.Offers(CommandId::Resend), QString::fromUtf8(kCopies[row].shown) == "Nie doręczono");
    }
    // Two selected, one of them failed: which one would go is not clear.
    shown.view.GetList().SelectRow(5);
    shown.view.GetList().SelectRow(4, true);
    EXPECT_FALSE(shown.Offers(CommandId::Resend));

    struct Case
    {
        int row;
        const char* number; // the one that gets it again
        const char* filedAs;
    };
    std::size_t sentBefore = m_doc.GetSent().GetCount();
    std::size_t simBefore = 0;
    for (const Case c : {Case{5, kJan, "Jan"}, Case{7, kJan, "Jan"}}) {
        SCOPED_TRACE(c.row);
        const std::string text = Polish(kCopies[static_cast<std::size_t>(c.row)].text);
        shown.view.GetList().SelectRow(c.row);
        shown.Run(CommandId::Resend);
        const auto messages = m_sim.Messages();
        ASSERT_EQ(messages.size(), simBefore + 1);
        EXPECT_TRUE(Took(messages.back(), c.number, text));
        // Through the ordinary send: out of the outbox and filed as sent, the old copy kept.
        EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
        ASSERT_EQ(m_doc.GetSent().GetCount(), ++sentBefore);
        EXPECT_EQ(m_doc.GetSent().GetMessages().back()->GetRecipients(), c.filedAs);
        EXPECT_EQ(m_doc.GetSent().GetMessages().back()->GetText(), text);
        ++simBefore;
    }
    EXPECT_TRUE(m_ui.sendFailures.empty());
}

TEST_F(SentFolderTest, StanKeepsItsWidthInTheSettingsStore)
{
    {
        InFrame<CSentMessagesView> shown(m_doc, CommandId::ViewSent);
        EXPECT_EQ(shown.view.GetList().GetColumnWidth(3), settings_keys::kSentStateWidth.fallback);
        shown.view.GetList().SetColumnWidth(3, 217);
        shown.frame.SwitchView(CommandId::ViewOutbox);
    }
    EXPECT_EQ(m_settings.Get(settings_keys::kSentStateWidth), 217);
    // The data file's record keeps its three widths.
    EXPECT_EQ(m_doc.GetSentViewData().dateWidth, 100);
    InFrame<CSentMessagesView> again(m_doc, CommandId::ViewSent);
    EXPECT_EQ(again.view.GetList().GetColumnWidth(3), 217);
}

// "Odpowiedz" to a sender the address book does not know: the composing view holds the number
// and sends to it, with no question about unknown names.
TEST_F(SentFolderTest, AReplyToAnUnknownNumberIsSentToIt)
{
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(m_dir.path().toStdString()).ok);
        IncomingMessage m;
        m.source = "a";
        m.sender = "0048 501 999 888";
        m.text = "Kto mówi?";
        m.receivedUtc = static_cast<std::int64_t>(std::time(nullptr));
        ASSERT_TRUE(db.Import({m}).ok);
    }
    InFrame<CReceivedView> shown(m_doc, CommandId::ViewReceived);
    shown.view.GetList().SelectRow(0);
    shown.Run(CommandId::Reply);
    QTest::qWait(50);
    auto* compose = dynamic_cast<CSendMessageView*>(shown.frame.GetActiveView());
    ASSERT_NE(compose, nullptr);
    compose->GetTextEdit().setPlainText(QStringLiteral("Tu Jan"));
    bool asked = false;
    OnNextModal([&asked](QWidget* modal) {
        asked = qobject_cast<CCheckRecipientsDialog*>(modal) != nullptr;
        modal->close();
    });
    TriggerEnabled(shown.frame.Action(CommandId::Send));
    EXPECT_FALSE(asked);
    const auto messages = m_sim.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Took(messages[0], "+48501999888", "Tu Jan"));
    ASSERT_EQ(m_doc.GetSent().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetSent().GetMessages()[0]->GetRecipients(), "+48501999888");
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
}

// Numbers typed in the composing view as people write them are sent in full; names stay names.
TEST_F(SentFolderTest, TypedNumbersAreSentInTheirFullForm)
{
    InFrame<CSendMessageView> shown(m_doc, CommandId::ViewSend);
    shown.view.GetRecipientsEdit().setText(QStringLiteral("Anna;602 123-456;0048 603 000 111"));
    shown.view.GetTextEdit().setPlainText(QStringLiteral("x"));
    TriggerEnabled(shown.frame.Action(CommandId::Send));
    EXPECT_EQ(shown.view.GetRecipientsEdit().text(), QStringLiteral("Anna;+48602123456;+48603000111"));
    const auto messages = m_sim.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(Took(messages[0], kAnna, "x"));
    EXPECT_TRUE(Took(messages[1], "+48602123456", "x"));
    EXPECT_TRUE(Took(messages[2], "+48603000111", "x"));
}

TEST_F(SentFolderTest, Screenshots)
{
    File(kCopies);
    InFrame<CSentMessagesView> shown(m_doc, CommandId::ViewSent);
    shown.view.GetDeliveryColumn().SetClock([] { return static_cast<std::int64_t>(kToday); });
    shown.view.GetList().SetColumnWidth(1, 160);
    shown.view.GetList().SetColumnWidth(2, 140);
    shown.frame.resize(900, 480);
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    shown.view.GetList().SelectRow(5);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(shown.frame, QStringLiteral("sent-delivery")));
}
