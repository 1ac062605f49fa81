#include <gtest/gtest.h>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "phone/FakeModem.h"
#include "support/CliProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

using CliRun = CliResult;

// brivantel-cli on the phone route, with its own data and configuration directories, talking to
// the test phone.
class PhoneCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.IsReady()) << "no pseudo-terminal";
        ASSERT_EQ(Cli({"config", "set", "Settings/Port", m_modem.DevicePath()}).status, 0);
        ASSERT_EQ(Cli({"route", "phone"}).status, 0);
    }

    CliRun Cli(const std::vector<std::string>& args)
    {
        return RunCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(), args);
    }

    std::size_t Count(bool outbox)
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        EXPECT_TRUE(doc.Open(m_dir.file("Brivantel.vs"), CBrivantelDoc::Access::ReadOnly));
        return outbox ? doc.GetOutbox().GetCount() : doc.GetSent().GetCount();
    }

    TempDir m_dir;
    FakeModem m_modem;
};

// 150 characters of Polish text.
std::string LongPolish()
{
    std::string text;
    while (text.size() < 150 * 2)
        text += "żółć ";
    // "żółć " is 5 characters in 9 bytes of UTF-8; cut at 150 characters.
    std::string out;
    int chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < 150; ++chars) {
        const std::size_t len = (static_cast<unsigned char>(text[i]) & 0x80) ? 2 : 1;
        out += text.substr(i, len);
        i += len;
    }
    return out;
}

} // namespace

TEST_F(PhoneCliTest, PolishLettersArriveDecoded)
{
    m_modem.Behave({});
    const CliRun r = Cli({"send", "--number", "+48602123456", "--text", "Zażółć gęślą jaźń"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].decoded.number, "+48602123456");
    EXPECT_EQ(messages[0].decoded.text, "Zażółć gęślą jaźń");
    EXPECT_EQ(Count(false), 1u);
}

TEST_F(PhoneCliTest, ALongPolishTextArrivesInThreeParts)
{
    m_modem.Behave({});
    const std::string text = LongPolish();
    const CliRun r = Cli({"send", "--number", "+48602123456", "--text", text});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto messages = m_modem.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].decoded.text + messages[1].decoded.text + messages[2].decoded.text, text);
}

TEST_F(PhoneCliTest, AShortAsciiTextKeepsTheWrittenBytes)
{
    m_modem.Behave({});
    const CliRun r = Cli({"send", "--number", "+48602123456", "--text", "Spotkanie o 18:00 ok"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto written = m_modem.Transcript(0);
    EXPECT_EQ(std::string(written.begin(), written.end()),
              "at+cpin?\rat+cmgf=1\rat+cmgs=\"+48602123456\"\rSpotkanie o 18:00 ok\x1a\x1b\r");
}

TEST_F(PhoneCliTest, ARefusedSecondPartLeavesTheWholeMessageInTheOutbox)
{
    FakeModem::Phone phone;
    phone.refuse = 2;
    m_modem.Behave(phone);
    const CliRun r = Cli({"send", "--number", "+48602123456", "--text", LongPolish()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Część wiadomości mogła dotrzeć do odbiorcy"), std::string::npos) << r.err;
    EXPECT_EQ(Count(true), 1u);
    EXPECT_EQ(Count(false), 0u);
}

TEST_F(PhoneCliTest, PhoneInfoPrintsAllFive)
{
    m_modem.Behave({});
    const CliRun r = Cli({"phone-info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Producent: Fakecom\nModel: FM-1\nKarta SIM: gotowa\n"
                     "Sieć: zarejestrowany w sieci macierzystej\nSygnał: 64%\n");
}

TEST_F(PhoneCliTest, PhoneInfoOfASilentPhoneSaysSo)
{
    FakeModem::Phone phone;
    phone.silent = true;
    m_modem.Behave(phone);
    const CliRun r = Cli({"phone-info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Telefon nie odpowiada."), std::string::npos) << r.err;
}
