// Delivery reports: the request bit in what the phone is handed, the references the phone
// confirms, and the reports read back from the phone matched to the sent folder. The PDUs are
// written by hand, field by field (TS 23.040 9.2.2.2 and 9.2.2.3).
#include <gtest/gtest.h>

#include <ctime>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "messagedb/MessageDb.h"
#include "phone/FakeModem.h"
#include "phone/FakeSmsPhone.h"
#include "phone/SmsReceiver.h"
#include "send/PhoneSender.h"
#include "send/SmsEncoding.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using sms::Coding;

const std::string kAnnaAddress = "0B918406020000F1"; // +48602000001
const std::string kOlekAddress = "0B918406020000F2"; // +48602000002

std::string NoBlanks(std::string s)
{
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

// A time stamp in swapped semi-octets, zone +00 (TS 23.040 9.2.3.11).
std::string Stamp(std::time_t utc)
{
    std::tm tm{};
    gmtime_r(&utc, &tm);
    std::string out;
    for (const int value : {tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}) {
        out += static_cast<char>('0' + value % 10);
        out += static_cast<char>('0' + value / 10);
    }
    return out + "00";
}

// No centre address, first octet 06 (SMS-STATUS-REPORT, TP-MMS), the reference, the recipient,
// the centre's time, the discharge time, the status.
std::string Report(int reference, const std::string& address, std::time_t discharge, int status)
{
    char octet[3];
    std::snprintf(octet, sizeof octet, "%02X", reference);
    char st[3];
    std::snprintf(st, sizeof st, "%02X", status);
    return "0006" + std::string(octet) + address + Stamp(discharge - 5) + Stamp(discharge) + st;
}

} // namespace

TEST(DeliveryReportPdus, TheRequestBitIsSetInEveryPartsFirstOctet)
{
    // 0x21: SMS-SUBMIT with TP-SRR; 0x61 with the user data header as well.
    const auto one = sms::SubmitPdus("+48602123456", u"hellohello", Coding::Gsm7, 0x42, true);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].hex, NoBlanks("00 21 00 0B918406123254F6 00 00 0A E8 32 9B FD 46 97 D9 EC 37"));
    EXPECT_EQ(one[0].length, 22);

    const auto two = sms::SubmitPdus("+48602123456", std::u16string(161, u'a'), Coding::Gsm7, 0x42, true);
    ASSERT_EQ(two.size(), 2u);
    for (const auto& part : two)
        EXPECT_EQ(part.hex.substr(0, 4), "0061") << part.hex;

    const auto plain = sms::SubmitPdus("+48602123456", u"hellohello", Coding::Gsm7, 0x42);
    EXPECT_EQ(plain[0].hex.substr(0, 4), "0001");
}

class DeliveryReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.IsReady()) << "no pseudo-terminal";
        m_settings.Set(settings_keys::kDeliveryReports, 1);
        m_doc.GetSettings().SetRoute(ROUTE_PHONE);
        m_doc.SetPhonePortName(m_modem.DevicePath());
        m_doc.SetMessageDbFolder(m_dir.path());
        PhoneTimeouts t;
        t.mode = t.prompt = t.answer = t.query = 300ms;
        m_doc.GetSender().SetPhoneTimeouts(t);
        m_modem.Behave({});
        ASSERT_TRUE(m_db.Open(m_dir.path()).ok);
    }

    // Sends one message and answers the filed copy.
    const CMessage* Send(const std::string& number, const std::string& text)
    {
        EXPECT_TRUE(m_doc.SendToRecipients(number, number, text, ROUTE_PHONE));
        const auto& sent = m_doc.GetSent().GetMessages();
        return sent.empty() ? nullptr : sent.back().get();
    }

    // The phone holds the reports; the receiver takes them.
    ReceiveReport Deliver(const std::vector<std::string>& reports)
    {
        FakeSmsPhone phone({});
        EXPECT_TRUE(phone.IsReady());
        for (const auto& pdu : reports)
            phone.Put("ME", pdu);
        CSmsReceiver receiver(phone.DevicePath(), m_db);
        receiver.SetTimeouts({1500ms, 1500ms, 500ms});
        receiver.SetStatusReports(true);
        const ReceiveReport report = receiver.Receive(std::time(nullptr));
        EXPECT_EQ(phone.Used("ME"), 0) << "reports are deleted once committed";
        return report;
    }

    Delivery StateOf(const CMessage* message)
    {
        return m_db.DeliveryOf(message->GetRecipients(), message->GetText(), message->GetTime()).state;
    }

    TempDir m_dir;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    FakeModem m_modem;
    CMessageDb m_db;
};

TEST_F(DeliveryReportTest, TextModeAsksForTheReportAndPutsTheDefaultBack)
{
    const CMessage* sent = Send("+48602000001", "Hej");
    ASSERT_NE(sent, nullptr);
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(messages[0].pdu);
    EXPECT_EQ(messages[0].parameters, "49,167,0,0");
    EXPECT_EQ(StateOf(sent), Delivery::Pending);
}

TEST_F(DeliveryReportTest, AReportDecidesTheStateOnlyForItsReferenceAndNumber)
{
    const std::time_t now = std::time(nullptr);
    struct Case
    {
        const char* what;
        std::string report;
        Delivery state;
        int matched;
    } cases[] = {
        {"delivered", Report(1, kAnnaAddress, now, 0x00), Delivery::Delivered, 1},
        {"replaced by the SME, still delivered", Report(1, kAnnaAddress, now, 0x02), Delivery::Delivered, 1},
        {"still trying", Report(1, kAnnaAddress, now, 0x20), Delivery::Pending, 1},
        {"gave up", Report(1, kAnnaAddress, now, 0x46), Delivery::Failed, 1},
        {"unknown reference", Report(9, kAnnaAddress, now, 0x00), Delivery::Pending, 0},
        {"another number", Report(1, kOlekAddress, now, 0x00), Delivery::Pending, 0},
        {"more than a week later", Report(1, kAnnaAddress, now + 8 * 24 * 3600, 0x00), Delivery::Pending, 0},
    };
    for (const auto& c : cases) {
        // A fresh message each time: the fake numbers its confirmations from 1 in each case.
        TempDir dir;
        CMessageDb db;
        ASSERT_TRUE(db.Open(dir.path()).ok);
        m_doc.SetMessageDbFolder(dir.path());
        FakeModem modem;
        modem.Behave({});
        m_doc.SetPhonePortName(modem.DevicePath());
        const CMessage* sent = Send("602 000 001", std::string("Hej ") + c.what);
        ASSERT_NE(sent, nullptr) << c.what;

        FakeSmsPhone phone({});
        phone.Put("ME", c.report);
        CSmsReceiver receiver(phone.DevicePath(), db);
        receiver.SetTimeouts({1500ms, 1500ms, 500ms});
        receiver.SetStatusReports(true);
        const ReceiveReport report = receiver.Receive(now);
        ASSERT_TRUE(report.ok) << c.what << ": " << report.problem;
        EXPECT_EQ(report.reports, 1) << c.what;
        EXPECT_EQ(report.reportsMatched, c.matched) << c.what;
        EXPECT_EQ(phone.Used("ME"), 0) << c.what;
        EXPECT_EQ(db.DeliveryOf(sent->GetRecipients(), sent->GetText(), sent->GetTime()).state, c.state)
            << c.what;
        const auto commands = phone.Commands();
        EXPECT_NE(std::find(commands.begin(), commands.end(), "AT+CNMI=2,1,0,2,0"), commands.end()) << c.what;
    }
}

TEST_F(DeliveryReportTest, ALongMessageIsDeliveredWhenEveryPartIs)
{
    // 150 Polish letters: three parts in UCS-2, confirmed as 1, 2 and 3.
    const CMessage* sent = Send("+48602000001", std::string(150, '\xb9'));
    ASSERT_NE(sent, nullptr);
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 3u);
    for (const auto& part : messages)
        EXPECT_EQ(part.decoded.firstOctet, 0x61);

    const std::time_t now = std::time(nullptr);
    ASSERT_TRUE(Deliver({Report(1, kAnnaAddress, now, 0), Report(3, kAnnaAddress, now, 0)}).ok);
    EXPECT_EQ(StateOf(sent), Delivery::Pending);
    // A late "still trying" for a part already delivered takes nothing back.
    ASSERT_TRUE(Deliver({Report(3, kAnnaAddress, now, 0x21)}).ok);
    EXPECT_EQ(StateOf(sent), Delivery::Pending);
    ASSERT_TRUE(Deliver({Report(2, kAnnaAddress, now + 60, 0)}).ok);
    const DeliveryState state = m_db.DeliveryOf(sent->GetRecipients(), sent->GetText(), sent->GetTime());
    EXPECT_EQ(state.state, Delivery::Delivered);
    EXPECT_EQ(state.at, now + 60);
}

TEST_F(DeliveryReportTest, WithReportsOffNothingIsAskedOrKept)
{
    m_settings.Set(settings_keys::kDeliveryReports, 0);
    const CMessage* text = Send("+48602000001", "Hej");
    const CMessage* pdu = Send("+48602000001", std::string(10, '\xb9'));
    ASSERT_NE(text, nullptr);
    ASSERT_NE(pdu, nullptr);
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].parameters, "");
    EXPECT_EQ(messages[1].decoded.firstOctet, 0x01);
    EXPECT_EQ(StateOf(text), Delivery::None);
    EXPECT_EQ(StateOf(pdu), Delivery::None);
}
