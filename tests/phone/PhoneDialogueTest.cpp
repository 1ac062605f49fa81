#include <gtest/gtest.h>

#include <optional>

#include "phone/FakeModem.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"
#include "support/Bytes.h"

namespace {

using std::chrono::milliseconds;

const std::string kNumber = "+48602123456";

PhoneTimeouts Short()
{
    PhoneTimeouts t;
    t.mode = t.prompt = t.answer = t.query = milliseconds(500);
    return t;
}

std::string Cp1250(const char* utf8)
{
    return *windows1250::FromUtf8(utf8);
}

// 150 Polish characters: the letters and a few words, over and over.
std::string LongPolishUtf8()
{
    std::string out;
    const std::u32string letters = U"Zażółć gęślą jaźń. ĄĆĘŁŃÓŚŹŻ ";
    std::u32string text;
    while (text.size() < 150)
        text += letters;
    text.resize(150);
    for (const char32_t c : text) {
        const auto b = windows1250::FromCodePoint(c);
        out += windows1250::ToUtf8(std::string(1, static_cast<char>(*b)));
    }
    return out;
}

// The program's phone route against a phone that behaves on its own: both modes, echo on and off.
class PhoneDialogueTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { ASSERT_TRUE(m_modem.IsReady()) << "no pseudo-terminal"; }

    bool Send(FakeModem::Phone phone, const std::string& number, const std::string& text,
              PhoneEncoding encoding = PhoneEncoding::Auto)
    {
        phone.echo = GetParam();
        m_modem.Behave(std::move(phone));
        CPhoneSender sender(m_modem.DevicePath(), {}, Short());
        sender.SetEncoding(encoding);
        const SendOutcome outcome = sender.Send(number, text);
        m_reason = windows1250::ToUtf8(outcome.reason + " " + outcome.warning);
        return outcome.done;
    }

    FakeModem m_modem;
    std::string m_reason;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Echo, PhoneDialogueTest, ::testing::Values(true, false),
                         [](const auto& p) { return std::string(p.param ? "On" : "Off"); });

TEST_P(PhoneDialogueTest, PolishLettersArriveAsUcs2)
{
    FakeModem::Phone phone;
    phone.unsolicited = {"+CREG: 1", "RING", "^RSSI: 14", "+CMTI: \"SM\",3"};
    EXPECT_TRUE(Send(phone, kNumber, Cp1250("Zażółć gęślą jaźń"))) << m_reason;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const DecodedSubmit& d = messages[0].decoded;
    ASSERT_TRUE(messages[0].pdu);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.number, kNumber);
    EXPECT_EQ(d.addressType, 0x91);
    EXPECT_EQ(d.dcs, 0x08);
    EXPECT_FALSE(d.concatenated);
    EXPECT_EQ(d.text, "Zażółć gęślą jaźń");
}

TEST_P(PhoneDialogueTest, ALongPolishTextArrivesAsThreePartsThatJoin)
{
    const std::string utf8 = LongPolishUtf8();
    EXPECT_TRUE(Send({}, kNumber, Cp1250(utf8.c_str()))) << m_reason;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 3u);
    std::string joined;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const DecodedSubmit& d = messages[i].decoded;
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.dcs, 0x08);
        EXPECT_TRUE(d.concatenated);
        EXPECT_EQ(d.reference, messages[0].decoded.reference);
        EXPECT_EQ(d.parts, 3);
        EXPECT_EQ(d.part, static_cast<int>(i + 1));
        joined += d.text;
    }
    EXPECT_EQ(joined, utf8);
}

TEST_P(PhoneDialogueTest, A161SeptetTextArrivesAsTwoSevenBitParts)
{
    // 157 letters and two brackets of the extension table: 161 septets in 159 characters.
    const std::string text = std::string(100, 'a') + "[" + std::string(57, 'b') + "]";
    EXPECT_TRUE(Send({}, "602123456", text)) << m_reason;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].decoded.dcs, 0x00);
    EXPECT_EQ(messages[0].decoded.addressType, 0x81);
    EXPECT_EQ(messages[0].decoded.number, "602123456");
    EXPECT_EQ(messages[0].decoded.text + messages[1].decoded.text, text);
    EXPECT_EQ(messages[1].decoded.part, 2);
}

TEST_P(PhoneDialogueTest, AShortAsciiTextKeepsTheWrittenTextModeBytes)
{
    const std::string text = "Spotkanie o 18:00 ok"; // 20 characters
    EXPECT_TRUE(Send({}, "+48 602-123-456", text)) << m_reason;
    const auto written = m_modem.Transcript(0);
    const Bytes expected =
        Bytes().raw("at+cpin?\rat+cmgf=1\rat+cmgs=\"+48602123456\"\r").raw(text).raw("\x1a\x1b\r");
    EXPECT_EQ(written, expected.vec()) << Printable(written);
}

TEST_P(PhoneDialogueTest, ForcedTextModeSendsTheWindows1250Bytes)
{
    EXPECT_TRUE(Send({}, kNumber, Cp1250("Cześć"), PhoneEncoding::Text)) << m_reason;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(messages[0].pdu);
    EXPECT_EQ(messages[0].number, kNumber);
    EXPECT_EQ(messages[0].body, "Cze\x9c\xe6");
}

// The text that is filed is the text that arrives: control characters travel in UCS-2, and text
// mode, which cannot carry them, refuses the message instead of sending another one.
TEST_P(PhoneDialogueTest, ControlCharactersAreSentOrTheMessageIsRefused)
{
    const std::string text = "Ala\x1a"
                             "ma\x1b"
                             "kota";
    EXPECT_TRUE(Send({}, kNumber, text)) << m_reason;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].decoded.dcs, 0x08);
    EXPECT_EQ(messages[0].decoded.text, text);
}

TEST_P(PhoneDialogueTest, ControlCharactersInForcedTextModeAreRefusedBeforeAnythingIsWritten)
{
    EXPECT_FALSE(Send({}, kNumber,
                      "Ala\x1a"
                      "ma",
                      PhoneEncoding::Text));
    EXPECT_NE(m_reason.find("znaki sterujące"), std::string::npos) << m_reason;
    EXPECT_TRUE(m_modem.Transcript(0).empty());
}

TEST_P(PhoneDialogueTest, ARefusedSecondPartFailsTheWholeMessage)
{
    FakeModem::Phone phone;
    phone.refuse = 2;
    EXPECT_FALSE(Send(phone, kNumber, Cp1250(LongPolishUtf8().c_str())));
    EXPECT_EQ(m_modem.Messages().size(), 2u); // the third part is not tried
    EXPECT_NE(m_reason.find("+CMS ERROR: 500"), std::string::npos) << m_reason;
    EXPECT_NE(m_reason.find("Część wiadomości mogła dotrzeć do odbiorcy"), std::string::npos) << m_reason;
}

TEST_P(PhoneDialogueTest, ASimThatIsNotReadyStopsTheMessageWithItsReason)
{
    struct Case
    {
        const char* cpin;
        const char* error;
        const char* reason;
    } cases[] = {
        {"+CPIN: SIM PIN", "", "Telefon czeka na kod PIN karty SIM."},
        {"+CPIN: SIM PUK", "", "Telefon czeka na kod PUK karty SIM."},
        {"", "+CME ERROR: 10", "W telefonie nie ma karty SIM."},
        {"", "+CME ERROR: SIM not inserted", "W telefonie nie ma karty SIM."},
    };
    for (const auto& c : cases) {
        FakeModem modem;
        FakeModem::Phone phone;
        phone.echo = GetParam();
        phone.cpin = c.cpin;
        phone.cpinError = c.error;
        modem.Behave(phone);
        CPhoneSender sender(modem.DevicePath(), {}, Short());
        const SendOutcome outcome = sender.Send(kNumber, "Hej");
        EXPECT_FALSE(outcome);
        EXPECT_EQ(windows1250::ToUtf8(outcome.reason), c.reason);
        const auto written = modem.Transcript(0);
        EXPECT_EQ(std::string(written.begin(), written.end()), "at+cpin?\r") << c.reason;
    }
}

TEST_P(PhoneDialogueTest, ThePhoneCheckNamesEverything)
{
    FakeModem::Phone phone;
    phone.echo = GetParam();
    phone.unsolicited = {"+CREG: 1", "RING", "^RSSI: 14", "+CMTI: \"SM\",3"};
    phone.csq = "+CSQ: 31,99";
    m_modem.Behave(phone);
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    const PhoneReport r = sender.Inspect();
    EXPECT_EQ(r.problem, "");
    EXPECT_EQ(windows1250::ToUtf8(r.Text()), "Producent: Fakecom\n"
                                             "Model: FM-1\n"
                                             "Karta SIM: gotowa\n"
                                             "Sieć: zarejestrowany w sieci macierzystej\n"
                                             "Sygnał: 100%");
}

TEST_P(PhoneDialogueTest, ThePhoneCheckReadsEachState)
{
    FakeModem::Phone phone;
    phone.echo = GetParam();
    phone.cpin = "+CPIN: SIM PIN";
    phone.creg = "+CREG: 0,5";
    phone.csq = "+CSQ: 99,99";
    m_modem.Behave(phone);
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    const PhoneReport r = sender.Inspect();
    EXPECT_EQ(windows1250::ToUtf8(r.sim), "czeka na kod PIN");
    EXPECT_EQ(windows1250::ToUtf8(r.registration), "zarejestrowany w roamingu");
    EXPECT_EQ(windows1250::ToUtf8(r.signal), "brak sygnału");
}

TEST_P(PhoneDialogueTest, ASilentPhoneSaysSo)
{
    FakeModem::Phone phone;
    phone.silent = true;
    m_modem.Behave(phone);
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    EXPECT_EQ(windows1250::ToUtf8(sender.Inspect().Text()), "Telefon nie odpowiada.");
    const SendOutcome outcome = sender.Send(kNumber, "Hej");
    EXPECT_FALSE(outcome);
    EXPECT_EQ(windows1250::ToUtf8(outcome.reason), "Telefon nie odpowiada.");
}

TEST_P(PhoneDialogueTest, AnUnpluggedPhoneEndsTheSendAtOnce)
{
    // The message parts as they fail: one part, and the second of three after the first went out.
    struct Case
    {
        int hangUp;
        std::string text;
        bool warned;
    };
    for (const Case& c : {Case{1, "Hello", false}, Case{2, Cp1250(LongPolishUtf8().c_str()), true}}) {
        FakeModem modem;
        ASSERT_TRUE(modem.IsReady());
        FakeModem::Phone phone;
        phone.echo = GetParam();
        phone.hangUp = c.hangUp;
        modem.Behave(phone);
        PhoneTimeouts waits; // the real minute for the network's confirmation
        CPhoneSender sender(modem.DevicePath(), {}, waits);
        const auto start = std::chrono::steady_clock::now();
        const SendOutcome outcome = sender.Send(kNumber, c.text);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_FALSE(outcome.done);
        EXPECT_EQ(windows1250::ToUtf8(outcome.reason), "Telefon został odłączony.");
        EXPECT_EQ(outcome.warning.empty(), !c.warned) << c.hangUp;
    }
}

TEST_P(PhoneDialogueTest, NoPromptAfterAConfirmedPartStillWarnsThatPartsMayHaveArrived)
{
    FakeModem::Phone phone;
    phone.noPrompt = 2;
    EXPECT_FALSE(Send(phone, kNumber, Cp1250(LongPolishUtf8().c_str())));
    EXPECT_EQ(m_modem.Messages().size(), 1u);
    EXPECT_NE(m_reason.find("Część wiadomości mogła dotrzeć do odbiorcy"), std::string::npos) << m_reason;
}

TEST_P(PhoneDialogueTest, APhoneWithoutPduModeGetsPlainLettersInTextMode)
{
    FakeModem::Phone phone;
    phone.refusePdu = true;
    phone.echo = GetParam();
    m_modem.Behave(phone);
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    const SendOutcome outcome = sender.Send(kNumber, Cp1250("Zażółć gęślą jaźń! ĄĆĘŁŃÓŚŹŻ €"));
    EXPECT_TRUE(outcome.done) << windows1250::ToUtf8(outcome.reason);
    EXPECT_TRUE(sender.SentWithoutPolishLetters());
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_FALSE(messages[0].pdu);
    EXPECT_EQ(messages[0].number, kNumber);
    EXPECT_EQ(messages[0].body, "Zazolc gesla jazn! ACELNOSZZ ?");
}

TEST_P(PhoneDialogueTest, APhoneWithoutPduModeRefusesWhatTextModeCannotHold)
{
    FakeModem::Phone phone;
    phone.refusePdu = true;
    phone.echo = GetParam();
    m_modem.Behave(phone);
    CPhoneSender sender(m_modem.DevicePath(), {}, Short());
    std::string text;
    for (int i = 0; i < 161; ++i)
        text += Cp1250("ą");
    const SendOutcome outcome = sender.Send(kNumber, text);
    EXPECT_FALSE(outcome.done);
    EXPECT_EQ(windows1250::ToUtf8(outcome.reason),
              "Telefon nie zna trybu PDU, a w trybie tekstowym wiadomość może mieć najwyżej 160 znaków.");
    EXPECT_TRUE(m_modem.Messages().empty());
}

TEST_P(PhoneDialogueTest, APinIsAskedOnceAndAWrongOneSaysTheTriesLeft)
{
    struct Case
    {
        std::optional<std::string> typed; // nothing: the user cancelled
        bool sent;
        const char* reason;
        std::vector<std::string> given;
    };
    const Case cases[] = {
        {"1234", true, "", {"1234"}},
        {"4321", false, "Kod PIN jest błędny; pozostało prób: 2.", {"4321"}},
        {std::nullopt, false, "Telefon czeka na kod PIN karty SIM.", {}},
        {"12\"4", false, "Kod PIN składa się z 4 do 8 cyfr.", {}},
    };
    for (const Case& c : cases) {
        FakeModem modem;
        ASSERT_TRUE(modem.IsReady());
        FakeModem::Phone phone;
        phone.echo = GetParam();
        phone.cpin = "+CPIN: SIM PIN";
        modem.Behave(phone);
        CPhoneSender sender(modem.DevicePath(), {}, Short());
        int asked = 0;
        sender.SetPinSource([&](const std::string&) {
            ++asked;
            return c.typed;
        });
        const SendOutcome outcome = sender.Send(kNumber, "Hello");
        EXPECT_EQ(outcome.done, c.sent) << windows1250::ToUtf8(outcome.reason);
        EXPECT_EQ(windows1250::ToUtf8(outcome.reason), c.reason);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(modem.Pins(), c.given); // never a second try on its own
        EXPECT_EQ(sender.PinRefused(), c.reason == std::string("Kod PIN jest błędny; pozostało prób: 2."));
        EXPECT_EQ(modem.Messages().size(), c.sent ? 1u : 0u);
    }
}
