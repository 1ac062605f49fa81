#include <gtest/gtest.h>

#include "phone/FakeModem.h"
#include "send/PhoneSender.h"
#include "send/SerialLink.h"
#include "support/Bytes.h"

namespace {

using std::chrono::milliseconds;
using Reply = CPhoneSender::Reply;

// The bytes on the wire, written out by hand.
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

    bool Send(std::vector<FakeModem::Step> script, PhoneTimeouts timeouts = {},
              const std::string& number = kNumber, const std::string& text = kText)
    {
        m_modem.Run(std::move(script));
        CPhoneSender sender(
            m_modem.DevicePath(), [this] { ++m_hookCalls; }, timeouts);
        return sender.Send(number, text);
    }

    // The program wrote exactly these bytes, and nothing after them.
    void ExpectWritten(const Bytes& expected)
    {
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

TEST(PhoneSenderRules, ANumberIsAPlusAndDigits)
{
    EXPECT_TRUE(CPhoneSender::IsDialableNumber("+48602123456"));
    EXPECT_TRUE(CPhoneSender::IsDialableNumber("+1"));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber(""));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber("+"));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber("48602123456"));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber("+48 602 123 456"));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber("+48602\"\rat+cmgd=1"));
    EXPECT_FALSE(CPhoneSender::IsDialableNumber("++48602"));
}

TEST(PhoneSenderRules, TheTextLosesOnlyCtrlZAndEscape)
{
    EXPECT_EQ(CPhoneSender::SendableText("a\x1a"
                                         "b\x1b"
                                         "c\r\nd\x9c"),
              "abc\r\nd\x9c");
    EXPECT_EQ(CPhoneSender::SendableText(""), "");
}

TEST(PhoneSenderRules, ResultCodesAreWholeLinesAfterALineBreak)
{
    EXPECT_EQ(CPhoneSender::Judge("at+cmgf=1\r\r\nOK\r\n", "OK"), Reply::Expected);
    EXPECT_EQ(CPhoneSender::Judge("\r\nOK\r\n", "OK"), Reply::Expected);
    EXPECT_EQ(CPhoneSender::Judge("\r\nOK", "OK"), Reply::Pending); // its line break is still coming
    EXPECT_EQ(CPhoneSender::Judge("\r\nOKAY\r\n", "OK"), Reply::Pending);
    EXPECT_EQ(CPhoneSender::Judge("OK\r\n", "OK"), Reply::Pending); // the echo of a text saying OK
    EXPECT_EQ(CPhoneSender::Judge("Jest OK\r\n", "OK"), Reply::Pending);
    EXPECT_EQ(CPhoneSender::Judge("\r\nRING\r\n\r\n+CMTI: \"SM\",3\r\n", "OK"), Reply::Pending);
    EXPECT_EQ(CPhoneSender::Judge("\r\n+CMGS: 12\r\n\r\nOK\r\n", "OK"), Reply::Expected);
    EXPECT_EQ(CPhoneSender::Judge("\r\nERROR\r\n", "OK"), Reply::Error);
    EXPECT_EQ(CPhoneSender::Judge("x\r\n+CMS ERROR: 500\r\n", "OK"), Reply::Error);
    EXPECT_EQ(CPhoneSender::Judge("\n+CME ERROR: 10\n", "OK"), Reply::Error);
    EXPECT_EQ(CPhoneSender::Judge("ERROR\r\n", "OK"), Reply::Pending); // echo again
    EXPECT_EQ(CPhoneSender::Judge("\r\nERRORS\r\n", "OK"), Reply::Pending);
    EXPECT_EQ(CPhoneSender::Judge("at+cmgs=\"+48602123456\"\r\r\n> ", ">"), Reply::Expected);
    EXPECT_EQ(CPhoneSender::Judge(">", ">"), Reply::Expected);
    EXPECT_EQ(CPhoneSender::Judge("\r\n+CMS ERROR: 302\r\n", ">"), Reply::Error);
    EXPECT_EQ(CPhoneSender::Judge("\r\nOK\r\n", ">"), Reply::Pending);
    EXPECT_EQ(CPhoneSender::Judge("", "OK"), Reply::Pending);
}

TEST_F(PhoneSenderTest, APhoneThatEchoesAndAnswersTakesTheMessage)
{
    const bool sent = Send({
        {kModeCommand, {Now("at+cmgf=1\r\r\nOK\r\n")}},
        {kStartCommand, {Now("at+cmgs=\"+48602123456\"\r\r\n> ")}},
        {kTextAndEnd, {Now("Cze\x9c\xe6"), After(200, "\r\n+CMGS: 12\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes()
                      .raw("at+cmgf=1")
                      .u8(0x0D)
                      .raw("at+cmgs=")
                      .u8('"')
                      .raw("+48602123456")
                      .u8('"')
                      .u8(0x0D)
                      .raw("Cze")
                      .u8(0x9C)
                      .u8(0xE6)
                      .u8(0x1A)
                      .u8(0x1B)
                      .u8(0x0D));
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

TEST_F(PhoneSenderTest, CtrlZAndEscapeInsideTheTextAreNotSent)
{
    const bool sent = Send(
        {
            {kModeCommand, {Now("\r\nOK\r\n")}},
            {kStartCommand, {Now("\r\n> ")}},
            {"abc\x1a\x1b\r", {Now("\r\n+CMGS: 3\r\n\r\nOK\r\n")}},
        },
        {}, kNumber,
        "a\x1a"
        "b\x1b"
        "c");
    EXPECT_TRUE(sent);
    ExpectWritten(Bytes().raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rabc").u8(0x1A).u8(0x1B).u8(0x0D));
}

TEST_F(PhoneSenderTest, ABadNumberFailsBeforeAnythingIsWritten)
{
    for (const std::string number : {"", "+", "48602123456", "+48602\"\rat+cmgd=1,4\r", "+48 602"}) {
        CPhoneSender sender(m_modem.DevicePath(), {}, Short());
        EXPECT_FALSE(sender.Send(number, kText)) << number;
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
        {kModeCommand, {Now("\r\nOK\r\n")}},
        {secondStart, {Now("\r\n> ")}},
        {"Hej\x1a\x1b\r", {Now("\r\n+CMGS: 2\r\n\r\nOK\r\n")}},
    });
    EXPECT_TRUE(sent);
    CPhoneSender again(m_modem.DevicePath());
    EXPECT_TRUE(again.Send("+48501000111", "Hej"));
    ExpectWritten(Bytes()
                      .raw("at+cmgf=1\rat+cmgs=\"+48602123456\"\rCze\x9c\xe6\x1a\x1b\r")
                      .raw("at+cmgf=1\rat+cmgs=\"+48501000111\"\rHej\x1a\x1b\r"));
    ExpectPortClosed();
}
