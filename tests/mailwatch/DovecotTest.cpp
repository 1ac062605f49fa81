#include <gtest/gtest.h>

#include "DovecotServer.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "mailwatch/Pop3Client.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"

namespace {

const std::string kConnectError = windows1250::FromUtf8Lossy("Błąd podczas łączenia sie z serverem.");

class Dovecot : public ::testing::Test
{
protected:
    DovecotServer server;

    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(server.Start(why)) << why;
    }

    CPop3Options Trusting(const std::string& caFile) const
    {
        CPop3Options options;
        options.caFile = caFile;
        return options;
    }

    std::string Tls(const std::string& host) const
    {
        return "pop3s://" + host + ":" + std::to_string(server.TlsPort());
    }
};

TEST_F(Dovecot, LoginStatListRetrQuit)
{
    server.PutMessages(3);
    CPop3Client client;
    ASSERT_TRUE(client.Login(server.Address(), DovecotServer::kUser, DovecotServer::kPassword))
        << client.GetErrorText();
    ASSERT_TRUE(client.Stat());
    EXPECT_EQ(client.GetMessageCount(), 3);
    EXPECT_GT(client.GetMailboxSize(), 0);
    ASSERT_TRUE(client.List());
    ASSERT_EQ(client.GetListing().size(), 3u);
    EXPECT_GT(client.GetMessageSize(1), 0u);
    ASSERT_TRUE(client.Retr(1));
    EXPECT_NE(client.GetMessageText().find("Subject: Wiadomosc 1\r\n"), std::string::npos);
    // The server stuffed the leading dot; the client took it off again.
    EXPECT_NE(client.GetMessageText().find("\r\n.kropka na poczatku\r\n"), std::string::npos);
    EXPECT_TRUE(client.Noop());
    EXPECT_TRUE(client.Quit());
}

TEST_F(Dovecot, WrongPasswordAndUnknownUserAreRefusedAtPass)
{
    CPop3Client client;
    EXPECT_FALSE(client.Login(server.Address(), DovecotServer::kUser, "zle-haslo"));
    EXPECT_EQ(client.GetErrorText(), windows1250::FromUtf8Lossy("Niewłaściwe Hasło."));
    EXPECT_EQ(client.GetErrorText().find("zle-haslo"), std::string::npos);
    client.Quit();
}

TEST_F(Dovecot, TlsWithATrustedCertificateForTheName)
{
    server.PutMessages(2);
    CPop3Client client(Trusting(server.CaFile()));
    ASSERT_TRUE(client.Login(Tls("localhost"), DovecotServer::kUser, DovecotServer::kPassword))
        << client.GetErrorText();
    ASSERT_TRUE(client.Stat());
    EXPECT_EQ(client.GetMessageCount(), 2);
    EXPECT_TRUE(client.Quit());
}

TEST_F(Dovecot, TlsRefusesAnUntrustedCertificateAndSaysWhy)
{
    for (const std::string& ca : {server.OtherCaFile(), std::string()}) { // another CA; the system's
        CPop3Client client(Trusting(ca));
        EXPECT_FALSE(client.Login(Tls("localhost"), DovecotServer::kUser, DovecotServer::kPassword));
        EXPECT_EQ(client.GetErrorText(),
                  kConnectError + windows1250::FromUtf8Lossy("\nTLS: certyfikat serwera nie jest zaufany"));
    }
}

TEST_F(Dovecot, TlsRefusesACertificateForAnotherName)
{
    CPop3Client client(Trusting(server.CaFile()));
    EXPECT_FALSE(client.Login(Tls("127.0.0.1"), DovecotServer::kUser, DovecotServer::kPassword));
    EXPECT_EQ(client.GetErrorText(),
              kConnectError + windows1250::FromUtf8Lossy("\nTLS: certyfikat wystawiono dla innej nazwy serwera"));
}

TEST_F(Dovecot, PlainClientAtTheTlsPortFailsInsteadOfHanging)
{
    CPop3Options options;
    options.timeouts.read = std::chrono::milliseconds(500);
    CPop3Client client(options);
    EXPECT_FALSE(client.Login("127.0.0.1:" + std::to_string(server.TlsPort()), "u", "p"));
    EXPECT_EQ(client.GetErrorText(), kConnectError);
}

// The mailbox holds 3, then 3, 4, 2 and 0 messages: notices for 3, 4 and 2, sent through the
// operator's form (played by the gateway simulator) and filed in the sent folder.
TEST_F(Dovecot, MailCheckAnnouncesEachChangedCount)
{
    CGatewaySimulator gateway;
    ASSERT_TRUE(gateway.Start());
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    for (const char* name : {"Era", "Idea", "Plus"})
        settings.SetString("Hosts", name, gateway.HostValue());
    CBrivantelDoc doc(ui, settings);
    doc.GetSettings().SetRoute(ROUTE_INTERNET);
    CMailCheckerData& data = doc.GetMailCheckerData();
    data.enabled = 1;
    data.notify = 1;
    data.server = Tls("localhost");
    data.user = DovecotServer::kUser;
    data.password = DovecotServer::kPassword;
    data.countryPrefix = "+48";
    data.networkPrefix = "602";
    data.number = "1234567";
    doc.GetMailOptions().caFile = server.CaFile();

    for (int count : {3, 3, 4, 2, 0}) {
        server.PutMessages(count);
        EXPECT_EQ(doc.CheckMail(), count);
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    const auto& sent = doc.GetSent().GetMessages();
    const auto delivered = gateway.Messages();
    ASSERT_EQ(sent.size(), 3u);
    ASSERT_EQ(delivered.size(), 3u);
    const char* counts = "342";
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string text =
            std::string("Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: ") + counts[i] + ".";
        EXPECT_EQ(sent[i]->GetRecipients(), "+486021234567");
        EXPECT_EQ(sent[i]->GetText(), text);
        EXPECT_EQ(delivered[i].gateway, "Era");
        EXPECT_EQ(delivered[i].text, text);
        EXPECT_NE(delivered[i].number.find("1234567"), std::string::npos) << delivered[i].number;
    }
    EXPECT_EQ(data.lastCount, 0);
}

} // namespace
