#include <gtest/gtest.h>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "phone/FakeModem.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"

namespace {

using std::chrono::milliseconds;

// The document sending on the phone route, to a fake modem, and filing by the phone's answer.
class PhoneRouteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.IsReady()) << "no pseudo-terminal";
        m_doc.GetSettings().SetRoute(ROUTE_PHONE);
        m_doc.SetPhonePortName(m_modem.DevicePath());
        PhoneTimeouts t;
        t.mode = t.prompt = t.answer = t.query = milliseconds(300);
        m_doc.GetSender().SetPhoneTimeouts(t);
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    FakeModem m_modem;
};

} // namespace

TEST_F(PhoneRouteTest, ConfiguredRouteSendsThroughThePhoneAndFilesAsSent)
{
    m_modem.Run(
        {{"at+cpin?\r", {{milliseconds(0), "\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
         {"at+cmgf=1\r", {{milliseconds(0), "\r\nOK\r\n"}}},
         {"at+cmgs=\"+48602000001\"\r", {{milliseconds(0), "\r\n> "}}},
         {"Hej\x1a\x1b\r", {{milliseconds(20), "\r\n+CMGS: 7\r\n"}, {milliseconds(20), "\r\nOK\r\n"}}}});
    EXPECT_TRUE(m_doc.SendToRecipients("+48602000001", "+48602000001", "Hej", ROUTE_CONFIGURED));
    EXPECT_TRUE(m_modem.ScriptMatched()) << m_modem.Mismatch();
    ASSERT_EQ(m_doc.GetSent().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetSent().GetMessages()[0]->GetText(), "Hej");
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
}

TEST_F(PhoneRouteTest, RefusedMessageIsQueued)
{
    m_modem.Run({{"at+cpin?\r", {{milliseconds(0), "\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
                 {"at+cmgf=1\r", {{milliseconds(0), "\r\nOK\r\n"}}},
                 {"at+cmgs=\"+48602000001\"\r", {{milliseconds(0), "\r\n> "}}},
                 {"Hej\x1a\x1b\r", {{milliseconds(0), "\r\n+CMS ERROR: 500\r\n"}}}});
    m_doc.SendToRecipients("+48602000001", "+48602000001", "Hej", ROUTE_PHONE);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_ui.sendFailures.size(), 1u);
}

// A long Polish text goes in three parts; the network refuses the second. The whole message waits
// in the outbox, and the dialog says that the first part may already be there.
TEST_F(PhoneRouteTest, ARefusedPartQueuesTheWholeMessageAndSaysSomePartsMayHaveArrived)
{
    FakeModem::Phone phone;
    phone.refuse = 2;
    m_modem.Behave(phone);
    const std::string text(150, '\xb9'); // "ą" 150 times
    m_doc.SendToRecipients("+48602000001", "+48602000001", text, ROUTE_PHONE);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetText(), text);
    ASSERT_EQ(m_ui.sendFailures.size(), 1u);
    const std::string information = windows1250::ToUtf8(m_ui.sendFailures[0].information);
    EXPECT_NE(information.find("Część wiadomości mogła dotrzeć do odbiorcy"), std::string::npos)
        << information;
    EXPECT_NE(information.find("zostanie wysłana poźniej"), std::string::npos) << information;
}

// The reason goes beside the number; the dialog's information line stays as it is written.
TEST_F(PhoneRouteTest, APhoneWaitingForItsPinIsNamedBesideTheNumber)
{
    FakeModem::Phone phone;
    phone.cpin = "+CPIN: SIM PIN";
    m_modem.Behave(phone);
    auto queued = std::make_unique<CMessage>("+48602000001", "Hej");
    m_doc.GetOutbox().AddMessage(queued);
    m_doc.SendOutbox();
    ASSERT_EQ(m_ui.sendFailures.size(), 1u);
    EXPECT_EQ(m_ui.sendFailures[0].information, "");
    ASSERT_EQ(m_ui.failureReasons.size(), 1u);
    EXPECT_EQ(windows1250::ToUtf8(m_ui.failureReasons[0]),
              "+48602000001: Telefon czeka na kod PIN karty SIM.");
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 1u);
}

// A queued message for two names: the phone refuses a part of the first one's long text and takes
// the second's whole. The dialog still says that parts of the first may have arrived.
TEST_F(PhoneRouteTest, AnEarlierNamesWarningSurvivesTheLastNamesSuccess)
{
    FakeModem::Phone phone;
    phone.refuse = 2;
    m_modem.Behave(phone);
    const std::string text(150, '\xb9'); // "ą" 150 times: three parts
    auto queued = std::make_unique<CMessage>("+48602000001;+48602000002", text);
    m_doc.GetOutbox().AddMessage(queued);
    m_doc.SendOutbox();
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetRecipients(), "+48602000001");
    EXPECT_EQ(m_doc.GetSent().GetCount(), 1u);
    ASSERT_EQ(m_ui.sendFailures.size(), 1u);
    const std::string information = windows1250::ToUtf8(m_ui.sendFailures[0].information);
    EXPECT_NE(information.find("Część wiadomości mogła dotrzeć do odbiorcy"), std::string::npos)
        << information;
}
