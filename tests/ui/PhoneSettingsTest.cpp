// The phone's controls on the sending page, the phone check against the test phone, and the
// composing view's count of SMS on the phone route.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "phone/FakeModem.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/SendMessageView.h"
#include "ui/SettingsGatewayPage.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"
#include "ui/Win1250Edit.h"

namespace {

class PhoneSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_doc.Open(m_data.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                               CBrivantelDoc::Access::ReadWrite));
        m_frame.resize(780, 620);
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
    }

    CSettingsGatewayPage* SendingPage()
    {
        m_frame.SwitchView(CommandId::ViewSettings);
        auto* view = dynamic_cast<CSettingsView*>(m_frame.GetActiveView());
        if (!view || !view->GetSheet()->SetActivePage(1))
            return nullptr;
        QApplication::processEvents();
        return m_frame.findChild<CSettingsGatewayPage*>(QStringLiteral("SettingsGatewayPage"));
    }

    QTemporaryDir m_data;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    CBrivantelFrame m_frame{m_doc, m_settings};
};

} // namespace

TEST_F(PhoneSettingsTest, ThePhoneCheckShowsWhatThePhoneSays)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    FakeModem::Phone phone;
    phone.maker = "Quectel";
    phone.model = "EC25";
    phone.unsolicited = {"RING", "^RSSI: 14"};
    modem.Behave(phone);
    m_doc.GetSettings().SetRoute(ROUTE_PHONE);
    m_doc.SetPhonePortName(modem.DevicePath());
    CSettingsGatewayPage* page = SendingPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->EncodingBox()->currentData().toString(), QStringLiteral("auto"));
    EXPECT_TRUE(SaveScreenshot(m_frame, QStringLiteral("settings-sending-phone")));

    ASSERT_TRUE(page->CheckPhoneButton()->isEnabled());
    QTest::mouseClick(page->CheckPhoneButton(), Qt::LeftButton);
    EXPECT_EQ(page->PhoneCheckResult()->text(),
              QStringLiteral("Producent: Quectel\nModel: EC25\nKarta SIM: gotowa\n"
                             "Sieć: zarejestrowany w sieci macierzystej\n"
                             "Sygnał: 64%"));
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(m_frame, QStringLiteral("settings-sending-phone-check")));
}

TEST_F(PhoneSettingsTest, TheEncodingChoiceIsKeptInTheSettingsStore)
{
    CSettingsGatewayPage* page = SendingPage();
    ASSERT_NE(page, nullptr);
    page->EncodingBox()->setCurrentIndex(1);
    EXPECT_TRUE(page->OnKillActive());
    EXPECT_EQ(m_settings.GetString("Settings", "PhoneEncoding"), "text");
    page->OnSetActive();
    EXPECT_EQ(page->EncodingBox()->currentIndex(), 1);
}

TEST_F(PhoneSettingsTest, TheBackendChoiceIsKeptInTheSettingsStore)
{
    CSettingsGatewayPage* page = SendingPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->BackendBox()->currentData().toString(), QStringLiteral("auto"));
    EXPECT_TRUE(page->FindPhoneButton()->isEnabled());
    for (const char* backend : {"serial", "modemmanager", "auto"}) {
        page->BackendBox()->setCurrentIndex(page->BackendBox()->findData(QString::fromLatin1(backend)));
        EXPECT_TRUE(page->OnKillActive());
        EXPECT_EQ(m_settings.GetString("Settings", "PhoneBackend"), backend);
        page->OnSetActive();
        EXPECT_EQ(page->BackendBox()->currentData().toString(), QString::fromLatin1(backend));
    }
}

TEST_F(PhoneSettingsTest, DeliveryReportsAreOffUntilTickedAndTheTickIsKept)
{
    CSettingsGatewayPage* page = SendingPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->DeliveryReportsBox()->text(), QStringLiteral("Potwierdzenie doręczenia"));
    EXPECT_FALSE(page->DeliveryReportsBox()->isChecked());
    EXPECT_TRUE(page->OnKillActive());
    EXPECT_EQ(m_settings.GetInt("Settings", "DeliveryReports", -1), -1) << "the default is not written";
    page->DeliveryReportsBox()->setChecked(true);
    EXPECT_TRUE(page->OnKillActive());
    EXPECT_EQ(m_settings.GetInt("Settings", "DeliveryReports", -1), 1);
    page->DeliveryReportsBox()->setChecked(false);
    page->OnSetActive();
    EXPECT_TRUE(page->DeliveryReportsBox()->isChecked());
}

TEST_F(PhoneSettingsTest, TheStatusBarCountsSmsOnThePhoneRoute)
{
    m_doc.GetSettings().SetRoute(ROUTE_PHONE);
    m_frame.SwitchView(CommandId::ViewSend);
    auto* view = dynamic_cast<CSendMessageView*>(m_frame.GetActiveView());
    ASSERT_NE(view, nullptr);
    view->GetTextEdit().setPlainText(QString(150, QChar(0x0105))); // "ą"
    EXPECT_EQ(m_frame.statusBar()->currentMessage(), QStringLiteral("3 SMS przez telefon"));
    view->GetTextEdit().setPlainText(QStringLiteral("Krótko"));
    EXPECT_EQ(m_frame.statusBar()->currentMessage(), QString());
    m_settings.SetString("Settings", "PhoneEncoding", "text");
    view->GetTextEdit().setPlainText(QString(150, QChar(0x0105)));
    EXPECT_EQ(m_frame.statusBar()->currentMessage(), QString()); // text mode: always one
}
