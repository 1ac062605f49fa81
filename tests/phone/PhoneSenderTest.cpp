#include <gtest/gtest.h>

#include "phone/FakeModem.h"
#include "phone/SerialLink.h"
#include "send/PhoneSender.h"
#include "support/Bytes.h"

namespace {

using std::chrono::milliseconds;
using Reply = CPhoneSender::Reply;

// The bytes on the wire, written out by hand.
const std::string kPinQuery = "at+cpin?\r";
const std::string kModeCommand = "at+cmgf=1\r";
const std::string kStartCommand = "at+cmgs=\"+48602123456\"\r";
const std::string kNumber = "+48602123456";
// "Cześć" in Windows-1250: ś is 0x9C, ć is 0xE6.
const std::string kText = "Cze\x9c\xe6";
const std::string kTextAndEnd = "Cze\x9c\xe6\x1a\x1b\r";

PhoneTimeouts Short()
{
    PhoneTimeouts t;
    t.mode = milliseconds(300);
    t.prompt = milliseconds(300);
    t.answer = milliseconds(300);
    return t;
}

FakeModem::Piece Now(std::string bytes)
{
    return {milliseconds(0), std::move(bytes)};
}

FakeModem::Piece After(int ms, std::string bytes)
{
    return {milliseconds(ms), std::move(bytes)};
}

class PhoneSenderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_modem.IsReady()) << "no pseudo-terminal"; }

    // A scripted text-mode dialogue after the SIM said it is ready.
    bool Send(std::vector<FakeModem::Step> script, PhoneTimeouts timeouts = {},
              const std::string& number = kNumber, const std::string& text = kText)
    {
        script.insert(script.begin(), {kPinQuery, {Now("\r\n+CPIN: READY\r\n\r\nOK\r\n")}});
        m_modem.Run(std::move(script));
        CPhoneSender sender(
            m_modem.DevicePath(), [this] { ++m_hookCalls; }, timeouts);
        sender.SetEncoding(PhoneEncoding::Text);
        const SendOutcome outcome = sender.Send(number, text);
        m_reason = outcome.reason;
        m_pinAsked = true;
        return outcome.done;
    }

    // The program wrote exactly these bytes (after the SIM's state when it was asked), and
    // nothing after them.
    void ExpectWritten(const Bytes& dialogue)
    {
        Bytes expected;
        if (m_pinAsked)
            expected.raw(kPinQuery);
        expected.raw(dialogue.vec());
        const auto written = m_modem.Transcript(expected.size());
        EXPECT_TRUE(m_modem.ScriptMatched()) << m_modem.Mismatch();
        EXPECT_EQ(written, expected.vec())
            << "written " << Printable(written) << "\nexpected " << Printable(expected.vec());
    }

    // Whatever happened, the sender let go of the port.
    void ExpectPortClosed()
    {
        CSerialLink probe;
        EXPECT_TRUE(probe.OpenDevice(m_modem.DevicePath(), 9600));
    }

    FakeModem m_modem;
    int m_hookCalls = 0;
    bool m_pinAsked = false;
    std::string m_reason;
};

} // namespace

TEST(PhoneSenderRules, OnlyTheFourthCharacterOfTheComNameCounts)
{
    EXPECT_EQ(CPhoneSender::DeviceFor("COM1"), "/dev/ttyS0");
    EXPECT_EQ(CPhoneSender::DeviceFor("COM2"), "/dev/ttyS1");
    EXPECT_EQ(CPhoneSender::DeviceFor("COM9"), "/dev/ttyS8");
    EXPECT_EQ(CPhoneSender::DeviceFor("COM12"), "/dev/ttyS0");
    EXPECT_EQ(CPhoneSender::DeviceFor("COM0"), "");
    EXPECT_EQ(CPhoneSender::DeviceFor("COMx"), "");
    EXPECT_EQ(CPhoneSender::DeviceFor("COM"), "");
    EXPECT_EQ(CPhoneSender::DeviceFor(""), "");
    EXPECT_EQ(CPhoneSender::DeviceFor("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(CPhoneSender::DeviceFor("/dev/serial/by-id/usb-Modem-if00"),
              "/dev/serial/by-id/usb-Modem-if00");
}

TEST(PhoneSenderRules, ANumberIsDigitsWithAnOptionalPlusAndBlanksOrDashesAreDropped)
{
    const std::pair<const char*, const char*> cases[] = {
        {"+48602123456", "+48602123456"},
        {"+1", "+1"},
        {"602123456", "602123456"},
        {"+48 602 123 456", "+48602123456"},
        {"+48-602-123-456", "+48602123456"},
        {" 602 12-34-56 ", "602123456"},
        {"", ""},
        {"+", ""},
        {" - ", ""},
        {"+48602\"\rat+cmgd=1", ""},
        {"++48602", ""},
        {"+48(602)", ""},
        {"+48\t602", ""},
    };
    for (const auto& [number, dialled] : cases)
        EXPECT_EQ(CPhoneSender::DialableNumber(number), dialled) << number;
}

TEST(PhoneSenderRules, OnlyWhatFollowsTheEchoIsJudged)
{
    const std::string mode = "at+cmgf=1\r";
    const std::string start = "at+cmgs=\"+48602123456\"\r";
    const std::string text = "Hej\r\nOK\r\n\x1a\x1b\r";
    struct Case
    {
        std::string reply;
        const std::string& written;
        const char* expected;
        Reply verdict;
    } cases[] = {
        {"at+cmgf=1\r\r\nOK\r\n", mode, "OK", Reply::Expected},
        {"\r\nOK\r\n", mode, "OK", Reply::Expected},
        {"OK\r\n", mode, "OK", Reply::Expected}, // echo off, no leading line break
        {"at+cmgf=1\r", mode, "OK", Reply::Pending},
        {"at+cm", mode, "OK", Reply::Pending},  // the echo is still arriving
        {"\r\nOK", mode, "OK", Reply::Pending}, // its line break is still coming
        {"\r\nOKAY\r\n", mode, "OK", Reply::Pending},
        {"\r\nRING\r\n\r\n+CMTI: \"SM\",3\r\n", mode, "OK", Reply::Pending},
        {"\r\nRING\r\nat+cmgf=1\r\r\nOK\r\n", mode, "OK", Reply::Expected},
        {"\r\nERROR\r\n", mode, "OK", Reply::Error},
        {"x\r\n+CMS ERROR: 500\r\n", mode, "OK", Reply::Error},
        {"\n+CME ERROR: 10\n", mode, "OK", Reply::Error},
        {"\r\nERRORS\r\n", mode, "OK", Reply::Pending},
        {"at+cmgs=\"+48602123456\"\r\r\n> ", start, ">", Reply::Expected},
        {"at+cmgs=\"+48602123456\"\r> ", start, ">", Reply::Expected},
        {"> ", start, ">", Reply::Expected},
        {"\r\n^RSSI: 14\r\n\r\n> ", start, ">", Reply::Expected},
        {"\r\n+CMS ERROR: 302\r\n", start, ">", Reply::Error},
        {"\r\nOK\r\n", start, ">", Reply::Pending},
        // The echo of a text with lines of its own: only what follows the echoed Ctrl-Z counts.
        {"Hej\r\nOK\r\n\x1a\x1b\r", text, "OK", Reply::Pending},
        {"Hej\r\nOK\r\n\x1a\x1b\r\r\n+CMS ERROR: 500\r\n", text, "OK", Reply::Error},
        {"Hej\r\nOK\r\n", text, "OK", Reply::Pending}, // echoed without its Ctrl-Z
        {"Hej\r\n> OK\r\n> \r\n+CMGS: 4\r\n\r\nOK\r\n", text, "OK", Reply::Expected},
        {"\r\n+CMGS: 4\r\n\r\nOK\r\n", text, "OK", Reply::Expected}, // echo off
        {"", mode, "OK", Reply::Pending},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CPhoneSender::Judge(c.reply, c.written, c.expected), c.verdict)
            << Printable({c.reply.begin(), c.reply.end()});
}

TEST_F(PhoneSenderTest, APhoneThatEchoesAndAnswersTakesTheMessage)
{
    const bool sent = Send({
        {kModeCommand, {Now("at+cmgf=1\r\r\nOK\r\n")}},
        {kStartCommand, {Now("at+cmgs=\"+48602123456\"\r\r\n> ")}},
        {kTextAndEnd, {Now("Cze\x9c\xe6"), After(200, "\r\n+CMGS: 12\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
    ExpectPortClosed();
    EXPECT_GT(m_hookCalls, 0); // the 200 ms wait for the network ran through the hook
}

TEST_F(PhoneSenderTest, ASlowPhoneIsWaitedFor)
{
    // Every answer comes well after its command: a single immediate read would see none of them.
    const bool sent = Send({
        {kModeCommand, {After(500, "\r\nOK\r\n")}},
        {kStartCommand, {After(300, "\r\n> ")}},
        {kTextAndEnd, {After(500, "\r\n+CMGS: 7\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, AnswersSplitOverSeveralWritesAreAccumulated)
{
    const bool sent = Send({
        {kModeCommand, {Now("\r\nO"), After(50, "K"), After(50, "\r"), After(50, "\n")}},
        {kStartCommand, {Now("\r"), After(50, "\n"), After(50, ">"), After(50, " ")}},
        {kTextAndEnd, {Now("\r\n+CM"), After(50, "GS: 1"), After(50, "2\r\n\r\nO"), After(50, "K\r\n")}},
    });
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
}

TEST_F(PhoneSenderTest, UnsolicitedLinesAreNotAnAnswer)
{
    const bool sent = Send({
        {kModeCommand,
         {Now("\r\nRING\r\n"), After(100, "\r\n+CMTI: \"SM\",3\r\n"), After(100, "\r\nOK\r\n")}},
        {kStartCommand, {Now("\r\n+CREG: 1\r\n"), After(100, "\r\n> ")}},
        {kTextAndEnd, {Now("\r\n+CMGS: 12\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
}

TEST_F(PhoneSenderTest, ErrorToTheModeCommandStopsBeforeTheMessageStarts)
{
    const bool sent = Send({{kModeCommand, {Now("at+cmgf=1\r\r\nERROR\r\n")}}});
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1").u8(0x0D));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, ASilentPhoneFailsWhenTheModeDeadlinePasses)
{
    const bool sent = Send({{kModeCommand, {}}}, Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1").u8(0x0D));
    ExpectPortClosed();
    EXPECT_GT(m_hookCalls, 0);
}

TEST_F(PhoneSenderTest, AnAnswerAfterTheDeadlineIsTooLate)
{
    const bool sent = Send({{kModeCommand, {After(800, "\r\nOK\r\n")}}}, Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1").u8(0x0D));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, NoiseIsNotAnAnswer)
{
    const bool sent =
        Send({{kModeCommand,
               {Now("\xfe\x80OKAY#"), After(50, "\r\nnoise ERRORS\r\n\x00\xff\x7f"), After(50, "OK")}}},
             Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1").u8(0x0D));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, NoPromptCancelsTheMessageInputAndFails)
{
    // If the prompt came after we gave up, the phone would take our next dialogue as message
    // text; Escape ends that input.
    const bool sent = Send({{kModeCommand, {Now("\r\nOK\r\n")}}, {kStartCommand, {}}}, Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\r").u8(0x1B));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, AnErrorInsteadOfThePromptFails)
{
    const bool sent = Send(
        {{kModeCommand, {Now("\r\nOK\r\n")}}, {kStartCommand, {Now("\r\n+CMS ERROR: 302\r\n")}}}, Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\r").u8(0x1B));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, AnErrorAfterTheTextFails)
{
    const bool sent = Send({
        {kModeCommand, {Now("\r\nOK\r\n")}},
        {kStartCommand, {Now("\r\n> ")}},
        {kTextAndEnd, {After(100, "\r\n+CMS ERROR: 500\r\n")}},
    });
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, NoConfirmationAfterTheTextFailsAtTheDeadline)
{
    const bool sent = Send(
        {{kModeCommand, {Now("\r\nOK\r\n")}}, {kStartCommand, {Now("\r\n> ")}}, {kTextAndEnd, {}}}, Short());
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r"));
    ExpectPortClosed();
}

TEST_F(PhoneSenderTest, TheEchoOfATextSayingOkIsNotTheConfirmation)
{
    const bool sent = Send(
        {
            {kModeCommand, {Now("\r\nOK\r\n")}},
            {kStartCommand, {Now("\r\n> ")}},
            {"OK\x1a\x1b\r", {Now("OK"), After(200, "\r\n+CMS ERROR: 500\r\n")}},
        },
        Short(), kNumber, "OK");
    EXPECT_FALSE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rOK").u8(0x1A).u8(0x1B).u8(0x0D));
}

TEST_F(PhoneSenderTest, TheEchoOfATextSayingErrorIsNotAFailure)
{
    const bool sent = Send(
        {
            {kModeCommand, {Now("\r\nOK\r\n")}},
            {kStartCommand, {Now("\r\n> ")}},
            {"ERROR\x1a\x1b\r", {Now("ERROR"), After(200, "\r\n+CMGS: 3\r\n\r\nOK\r\n")}},
        },
        {}, kNumber, "ERROR");
    EXPECT_TRUE(sent);
}

// A phone that echoes a text holding lines "OK" and "ERROR" sends them back before its verdict.
TEST_F(PhoneSenderTest, LinesOfTheEchoedTextAreNotTheVerdict)
{
    const std::string refusedText = "Hej\r\nOK\r\nPa";
    const std::string refusedWire = refusedText + "\x1a\x1b\r";
    const bool refused = Send(
        {
            {kModeCommand, {Now("at+cmgf=1\r\r\nOK\r\n")}},
            {kStartCommand, {Now("at+cmgs=\"+48602123456\"\r\r\n> ")}},
            {refusedWire, {Now(refusedWire), After(200, "\r\n+CMS ERROR: 500\r\n")}},
        },
        Short(), kNumber, refusedText);
    EXPECT_FALSE(refused);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\r").raw(refusedWire));
}

TEST_F(PhoneSenderTest, AnEchoedErrorLineDoesNotHideTheDelivery)
{
    const std::string text = "Hej\r\nERROR\r\nPa";
    const std::string wire = text + "\x1a\x1b\r";
    const bool sent = Send(
        {
            {kModeCommand, {Now("at+cmgf=1\r\r\nOK\r\n")}},
            {kStartCommand, {Now("at+cmgs=\"+48602123456\"\r\r\n> ")}},
            {wire, {Now(wire), After(200, "\r\n+CMGS: 3\r\n\r\nOK\r\n")}},
        },
        {}, kNumber, text);
    EXPECT_TRUE(sent);
}

TEST_F(PhoneSenderTest, ABadNumberFailsBeforeAnythingIsWritten)
{
    for (const std::string number : {"", "+", "+48602\"\rat+cmgd=1,4\r", "+48/602"}) {
        CPhoneSender sender(m_modem.DevicePath(), {}, Short());
        const SendOutcome outcome = sender.Send(number, kText);
        EXPECT_FALSE(outcome) << number;
        EXPECT_NE(outcome.reason, "");
    }
    m_modem.Run({});
    ExpectWritten(Bytes());
}

TEST_F(PhoneSenderTest, APortThatCannotBeOpenedFails)
{
    for (const std::string port : {"", "COM", "COMx", "COM0", "/nonexistent/ttyUSB0"}) {
        CPhoneSender sender(port, {}, Short());
        EXPECT_FALSE(sender.Send(kNumber, kText)) << port;
    }
    // A port another program holds is not shared.
    CSerialLink holder;
    ASSERT_TRUE(holder.OpenDevice(m_modem.DevicePath(), 9600));
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    EXPECT_FALSE(sender.Send(kNumber, kText));
    holder.Close();
    m_modem.Run({});
    ExpectWritten(Bytes());
}

TEST_F(PhoneSenderTest, EveryMessageRepeatsTheWholeDialogue)
{
    const std::string secondStart = "at+cmgs=\"+48501000111\"\r";
    const bool sent = Send({
        {kModeCommand, {Now("\r\nOK\r\n")}},
        {kStartCommand, {Now("\r\n> ")}},
        {kTextAndEnd, {Now("\r\n+CMGS: 1\r\n\r\nOK\r\n")}},
        {kPinQuery, {Now("\r\n+CPIN: READY\r\n\r\nOK\r\n")}},
        {kModeCommand, {Now("\r\nOK\r\n")}},
        {secondStart, {Now("\r\n> ")}},
        {"Hej\x1a\x1b\r", {Now("\r\n+CMGS: 2\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    CPhoneSender again(m_modem.DevicePath());
    EXPECT_TRUE(again.Send("+48501000111", "Hej"));
    ExpectWritten(Bytes()
                      .raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r")
                      .raw("at+cpin?\rat+cmgf=1\rat+cmgs=\"+48501000111\"\rHej\x1a\x1b\r"));
    ExpectPortClosed();
}

// A phone's word of a new message or report while the send holds the port is kept for the
// reading that follows the send; calls and network news are not such a word.
TEST(PhoneSenderNotices, ANewMessageDuringASendIsKeptForTheReadingAfterIt)
{
    struct Case
    {
        const char* line;
        bool waiting;
    };
    for (const Case c : {Case{"\r\nRING\r\n\r\n+CREG: 1\r\n", false}, Case{"\r\n+CMTI: \"SM\",3\r\n", true},
                         Case{"\r\n+CDSI: \"SR\",1\r\n", true}}) {
        SCOPED_TRACE(c.line);
        (void)CPhoneSender::TakeMessageWaiting(); // what an earlier test left
        FakeModem modem;
        ASSERT_TRUE(modem.IsReady());
        modem.Run({{kPinQuery, {Now("\r\n+CPIN: READY\r\n\r\nOK\r\n")}},
                   {kModeCommand, {Now(c.line), After(50, "\r\nOK\r\n")}},
                   {kStartCommand, {Now("\r\n> ")}},
                   {kTextAndEnd, {Now("\r\n+CMGS: 12\r\n\r\nOK\r\n")}}});
        CPhoneSender sender(modem.DevicePath());
        sender.SetEncoding(PhoneEncoding::Text);
        EXPECT_TRUE(sender.Send(kNumber, kText).done);
        EXPECT_EQ(CPhoneSender::TakeMessageWaiting(), c.waiting);
        EXPECT_FALSE(CPhoneSender::TakeMessageWaiting()); // taken once
    }
}
