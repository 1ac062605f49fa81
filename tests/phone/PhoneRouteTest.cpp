#include <gtest/gtest.h>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "phone/FakeModem.h"
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
        t.mode = t.prompt = t.answer = milliseconds(300);
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
    m_modem.Run({{"at+cmgf=1\r", {{milliseconds(0), "\r\nOK\r\n"}}},
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
    m_modem.Run({{"at+cmgf=1\r", {{milliseconds(0), "\r\nOK\r\n"}}},
                 {"at+cmgs=\"+48602000001\"\r", {{milliseconds(0), "\r\n> "}}},
                 {"Hej\x1a\x1b\r", {{milliseconds(0), "\r\n+CMS ERROR: 500\r\n"}}}});
    m_doc.SendToRecipients("+48602000001", "+48602000001", "Hej", ROUTE_PHONE);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_ui.sendFailures.size(), 1u);
}
