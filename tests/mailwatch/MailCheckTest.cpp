#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "FakePop3Server.h"
#include "app/Document.h"
#include "app/MailSchedule.h"
#include "app/SettingsStore.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"

namespace {

using Answer = FakePop3Server::Answer;

std::string W(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string Notice(int count)
{
    return "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: " + std::to_string(count) + ".";
}

// A mailbox holding count messages, for one check.
FakePop3Server::Script Mailbox(int count)
{
    return {
        {"+OK ready\r\n"},
        {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"+OK " + std::to_string(count) + " 1000\r\n"}}, {{"+OK bye\r\n"}}},
        false};
}

class MailCheck : public ::testing::Test
{
protected:
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
    CMailCheckerData& data = doc.GetMailCheckerData();

    void SetUp() override
    {
        data.enabled = 1;
        data.notify = 1;
        data.user = "u";
        data.password = "p";
        data.countryPrefix = "+48";
        data.networkPrefix = "601";
        data.number = "2345678";
        // No route delivers: the notice is queued, and no traffic leaves the machine.
        doc.GetSettings().SetRoute(7);
        doc.GetMailOptions().timeouts.read = std::chrono::milliseconds(5000);
    }

    int CheckAgainst(FakePop3Server& server)
    {
        data.server = server.Address();
        return doc.CheckMail();
    }

    std::vector<std::string> OutboxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : const_cast<CBrivantelDoc&>(doc).GetOutbox().GetMessages())
            texts.push_back(m->GetText());
        return texts;
    }
};

TEST_F(MailCheck, SwitchedOffDoesNothingAtAll)
{
    data.enabled = 0;
    data.server = "127.0.0.1:" + std::to_string(UnusedPort());
    EXPECT_EQ(doc.CheckMail(), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.progress.empty());
    EXPECT_TRUE(ui.waitCursor.empty());
    EXPECT_EQ(doc.GetLastMailCheck().outcome, CMailCheckResult::Outcome::Off);
}

TEST_F(MailCheck, NewMailQueuesTheNoticeWithTheProgramsTemplateAndTheJoinedNumber)
{
    data.noticeText = "something the page shows";
    FakePop3Server server(Mailbox(3));
    EXPECT_EQ(CheckAgainst(server), 3);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT \r\nQUIT \r\n");
    EXPECT_EQ(ui.progress, (std::vector<std::string>{"open:Sprawdzanie poczty", "text:Informacja", "range:4",
                                                     "pos:1", "pos:2", "pos:3", "pos:4", "close"}));
    EXPECT_EQ(ui.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(doc.GetOutbox().GetCount(), 1u);
    const CMessage& notice = *doc.GetOutbox().GetMessages().front();
    EXPECT_EQ(notice.GetRecipients(), "+486012345678");
    EXPECT_EQ(notice.GetText(), Notice(3));
    EXPECT_EQ(doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(data.lastCount, 3);
    EXPECT_FALSE(doc.IsChecking());
    EXPECT_EQ(doc.GetLastMailCheck().notice, CMailCheckResult::Notice::Queued);
}

TEST_F(MailCheck, OnlyAChangedNonzeroCountIsAnnounced)
{
    for (int count : {3, 3, 4, 2, 0}) {
        FakePop3Server server(Mailbox(count));
        EXPECT_EQ(CheckAgainst(server), count);
        EXPECT_EQ(data.lastCount, count);
    }
    EXPECT_EQ(OutboxTexts(), (std::vector<std::string>{Notice(3), Notice(4), Notice(2)}));
    // A check that found the count unchanged stops at step 2 of the bar.
    EXPECT_EQ(std::count(ui.progress.begin(), ui.progress.end(), "pos:3"), 3);
}

TEST_F(MailCheck, WithoutNotifyTheCountIsStillKept)
{
    data.notify = 0;
    FakePop3Server server(Mailbox(5));
    EXPECT_EQ(CheckAgainst(server), 5);
    EXPECT_EQ(data.lastCount, 5);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
}

TEST_F(MailCheck, EmptyCountryPrefixLeavesNetworkPrefixAndNumber)
{
    data.countryPrefix.clear();
    FakePop3Server server(Mailbox(1));
    EXPECT_EQ(CheckAgainst(server), 1);
    ASSERT_EQ(doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(doc.GetOutbox().GetMessages().front()->GetRecipients(), "6012345678");
}

TEST_F(MailCheck, FailedLoginShowsOneBoxAndStillSendsQuit)
{
    data.lastCount = 2;
    data.password = "sekret";
    FakePop3Server server(
        {{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"-ERR [AUTH] failed\r\n"}}, {{"+OK bye\r\n"}}}, false});
    EXPECT_EQ(CheckAgainst(server), 0);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS sekret\r\nQUIT \r\n");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, W("Błąd podczas sprawdania poczty.\nNiewłaściwe Hasło."));
    EXPECT_EQ(ui.messages[0].icon, CUserInterface::Icon::Exclamation);
    EXPECT_EQ(ui.messages[0].text.find("sekret"), std::string::npos);
    EXPECT_EQ(ui.progress, (std::vector<std::string>{"open:Sprawdzanie poczty", "text:Informacja", "range:4",
                                                     "pos:4", "close"}));
    EXPECT_EQ(data.lastCount, 2);
    EXPECT_EQ(doc.GetLastMailCheck().outcome, CMailCheckResult::Outcome::LoginFailed);
}

TEST_F(MailCheck, UnreachableServerFailsTheLoginWithTheConnectionText)
{
    data.server = "127.0.0.1:" + std::to_string(UnusedPort());
    EXPECT_EQ(doc.CheckMail(), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              W("Błąd podczas sprawdania poczty.\nBłąd podczas łączenia sie z serverem."));
    EXPECT_FALSE(doc.IsChecking());
}

TEST_F(MailCheck, FailedStatIsSilentAndKeepsTheCount)
{
    data.lastCount = 4;
    FakePop3Server server({{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"-ERR locked\r\n"}}}, false});
    EXPECT_EQ(CheckAgainst(server), 0);
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT \r\nQUIT \r\n");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(data.lastCount, 4);
    EXPECT_EQ(doc.GetLastMailCheck().outcome, CMailCheckResult::Outcome::StatFailed);
    EXPECT_EQ(doc.GetLastMailCheck().error, "Error occured during STAT");
}

TEST_F(MailCheck, StatReplyWithoutACountIsAFailedCheck)
{
    data.lastCount = 4;
    FakePop3Server server(
        {{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"+OK mailbox has new mail\r\n"}}}, false});
    EXPECT_EQ(CheckAgainst(server), 0);
    EXPECT_EQ(data.lastCount, 4);
    EXPECT_EQ(doc.GetLastMailCheck().outcome, CMailCheckResult::Outcome::StatFailed);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
}

TEST_F(MailCheck, InterruptionEndsTheCheckWithoutSendingAnything)
{
    data.lastCount = 1;
    std::atomic<bool> stop{false};
    doc.GetMailOptions().stop = &stop;
    doc.GetMailOptions().timeouts.read = std::chrono::seconds(30);
    // The server never answers STAT; the user interrupts meanwhile.
    FakePop3Server server({{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{}}}, false});
    std::thread user([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    EXPECT_EQ(CheckAgainst(server), 0);
    user.join();
    EXPECT_EQ(doc.GetLastMailCheck().outcome, CMailCheckResult::Outcome::Interrupted);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(data.lastCount, 1);
    EXPECT_EQ(doc.GetOutbox().GetCount() + doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(server.Received().find("QUIT"), std::string::npos);
    EXPECT_FALSE(doc.IsChecking());
}

TEST_F(MailCheck, ServerThatHangsUpAfterTheGreetingIsAFailedLogin)
{
    FakePop3Server server({{"+OK\r\n"}, {}, true});
    EXPECT_EQ(CheckAgainst(server), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
}

// Counts the checks by the error box each one shows (nobody listens at the server's port).
class MailScheduleTest : public MailCheck
{
protected:
    void SetUp() override
    {
        MailCheck::SetUp();
        data.server = "127.0.0.1:" + std::to_string(UnusedPort());
        data.interval = 60;
    }
    std::size_t Checks() const { return ui.messages.size(); }
};

constexpr std::int64_t kStart = 1'700'000'000;

TEST_F(MailScheduleTest, FirstTickChecksThenEveryInterval)
{
    CMailSchedule schedule(kStart);
    EXPECT_FALSE(schedule.Tick(kStart - 1, &doc));
    EXPECT_TRUE(schedule.Tick(kStart, &doc));
    for (std::int64_t t = kStart + 1; t < kStart + 3600; ++t)
        ASSERT_FALSE(schedule.Tick(t, &doc)) << t;
    EXPECT_TRUE(schedule.Tick(kStart + 3600, &doc));
    EXPECT_EQ(Checks(), 2u);
    EXPECT_EQ(schedule.NextCheck(), kStart + 7200);
}

TEST_F(MailScheduleTest, AfterASleepOneCheckCatchesUpAndAClockSetBackSchedulesFromNow)
{
    data.interval = 1;
    CMailSchedule schedule(kStart);
    ASSERT_TRUE(schedule.Tick(kStart, &doc));
    // Asleep for a year: one check makes up for all of them, then one a minute from then.
    const std::int64_t wake = kStart + 365 * 24 * 3600 + 30;
    EXPECT_TRUE(schedule.Tick(wake, &doc));
    for (std::int64_t t = wake + 1; t < wake + 60; ++t)
        ASSERT_FALSE(schedule.Tick(t, &doc)) << t - wake;
    EXPECT_TRUE(schedule.Tick(wake + 60, &doc));
    EXPECT_EQ(Checks(), 3u);
    // The clock goes back a year: the next check is a minute from the new time, not a year on.
    const std::int64_t back = kStart + 600;
    EXPECT_FALSE(schedule.Tick(back, &doc));
    EXPECT_EQ(schedule.NextCheck(), back + 60);
    EXPECT_TRUE(schedule.Tick(back + 60, &doc));
    EXPECT_EQ(Checks(), 4u);
}

TEST_F(MailScheduleTest, NoDocumentNoCheckAndTheTimeStays)
{
    CMailSchedule schedule(kStart);
    EXPECT_FALSE(schedule.Tick(kStart + 10, nullptr));
    EXPECT_EQ(schedule.NextCheck(), kStart);
}

TEST_F(MailScheduleTest, SwitchedOffTheStepsStillAdvance)
{
    data.enabled = 0;
    data.interval = 5;
    CMailSchedule schedule(kStart);
    EXPECT_TRUE(schedule.Tick(kStart, &doc));
    EXPECT_EQ(schedule.NextCheck(), kStart + 300);
    EXPECT_EQ(Checks(), 0u);
}

TEST_F(MailScheduleTest, AnIntervalOutsideTheRangeIsHeldToIt)
{
    data.interval = 0; // a damaged or foreign data file: not a check on every tick
    CMailSchedule schedule(kStart);
    EXPECT_TRUE(schedule.Tick(kStart, &doc));
    EXPECT_EQ(schedule.NextCheck(), kStart + 60);
    data.interval = 100000;
    EXPECT_TRUE(schedule.Tick(kStart + 60, &doc));
    EXPECT_EQ(schedule.NextCheck(), kStart + 60 + 3600 * 60);
}

// The error box of a failed login is modal, so the timer can tick inside it; the checking flag
// keeps that tick from starting a second check.
class TickingUserInterface final : public CUserInterface
{
public:
    CBrivantelDoc* doc = nullptr;
    CMailSchedule* schedule = nullptr;
    std::vector<bool> ticksRan;
    std::vector<bool> checkingSeen;

    void ShowMessage(const std::string&, Icon) override
    {
        checkingSeen.push_back(doc->IsChecking());
        ticksRan.push_back(schedule->Tick(schedule->NextCheck() + 5, doc));
    }
    bool AskYesNo(const std::string&) override { return false; }
    std::string ChooseSaveFile(const std::string&) override { return {}; }
    void SetWaitCursor(bool) override {}
    void WaitHook() override {}
    // Without "override": the failure dialog is joining the interface while this is written.
    void ShowSendFailed(const std::string&, const std::string&, const std::string&) {}
    void ProgressOpen(const std::string&) override {}
    void ProgressSetTitle(const std::string&) override {}
    void ProgressSetText(const std::string&) override {}
    void ProgressSetRange(int) override {}
    void ProgressSetPos(int) override {}
    void ProgressClose() override {}
};

TEST(MailScheduleReentry, TickDuringTheErrorBoxDoesNotStartASecondCheck)
{
    TickingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    doc.GetMailCheckerData().enabled = 1;
    doc.GetMailCheckerData().server = "127.0.0.1:" + std::to_string(UnusedPort());
    CMailSchedule schedule(kStart);
    ui.doc = &doc;
    ui.schedule = &schedule;
    EXPECT_TRUE(schedule.Tick(kStart, &doc));
    EXPECT_EQ(ui.checkingSeen, (std::vector<bool>{true}));
    EXPECT_EQ(ui.ticksRan, (std::vector<bool>{false}));
    EXPECT_FALSE(doc.IsChecking());
    EXPECT_EQ(schedule.NextCheck(), kStart + 60);
}

} // namespace
