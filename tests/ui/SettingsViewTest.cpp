// The settings view: its three pages, what each reads and writes, and when.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/UpdateSchedule.h"
#include "app/qt/BrivantelApp.h"
#include "store/Message.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/SerialPortList.h"
#include "ui/SettingsConnectionPage.h"
#include "ui/SettingsGatewayPage.h"
#include "ui/SettingsMaintenancePage.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"

namespace {

class SettingsViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_doc.Open(m_dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                               CBrivantelDoc::Access::ReadWrite));
    }
    CSettingsView& Open()
    {
        m_view = std::make_unique<CSettingsView>(m_doc, 1007);
        m_view->resize(600, 400);
        m_view->OnInitialUpdate();
        m_view->show();
        return *m_view;
    }
    CSettingsSheet& Sheet() { return *m_view->GetSheet(); }
    void Close() { m_view.reset(); }

    QTemporaryDir m_dir;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CSettingsView> m_view;
};

TEST_F(SettingsViewTest, ANewDataFileShowsTheDefaults)
{
    Open();
    EXPECT_EQ(Sheet().count(), 3);
    EXPECT_EQ(Sheet().tabText(0), QStringLiteral("Zachowanie"));
    EXPECT_EQ(Sheet().tabText(1), QStringLiteral("Wysyłanie wiadomości"));
    EXPECT_EQ(Sheet().tabText(2), QStringLiteral("Połączenie Internetowe"));
    EXPECT_EQ(Sheet().GetActiveIndex(), CSettingsSheet::kMaintenance);
    CSettingsMaintenancePage& behaviour = Sheet().GetMaintenancePage();
    EXPECT_TRUE(behaviour.MoveBox()->isChecked());
    EXPECT_FALSE(behaviour.EmptyBox()->isChecked());
    EXPECT_FALSE(behaviour.AutoUpdateBox()->isChecked());

    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kConnection));
    CSettingsConnectionPage& connection = Sheet().GetConnectionPage();
    EXPECT_FALSE(connection.ProxyBox()->isChecked());
    EXPECT_EQ(connection.AddressEdit()->text(), QString());
    EXPECT_EQ(connection.PortEdit()->text(), QStringLiteral("8080"));
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(SettingsViewTest, UntickingTheMoveBoxMakesADeleteDestroyTheMessage)
{
    Open();
    Sheet().GetMaintenancePage().MoveBox()->click();
    // Nothing reaches the record while the page is shown.
    EXPECT_TRUE(m_doc.GetSettings().GetMoveDeletedMessages());
    Close();
    EXPECT_FALSE(m_doc.GetSettings().GetMoveDeletedMessages());
    auto message = std::make_unique<CMessage>("Anna", "Dzie\xF1 dobry", 1000);
    ASSERT_TRUE(m_doc.GetSent().AddMessage(message));
    const CMessage* filed = m_doc.GetSent().GetMessages().front().get();
    ASSERT_TRUE(m_doc.DiscardMessage(m_doc.GetSent().RemoveMessage(filed)));
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetCount(), 0u);
}

TEST_F(SettingsViewTest, AutoUpdateIsWrittenWhenThePageIsLeft)
{
    Open();
    Sheet().GetMaintenancePage().AutoUpdateBox()->click();
    Sheet().GetMaintenancePage().EmptyBox()->click();
    EXPECT_EQ(m_settings.GetInt("Update", "AutoUpdate", -1), -1);
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kGateway));
    EXPECT_EQ(m_settings.GetInt("Update", "AutoUpdate", -1), 1);
    EXPECT_TRUE(update_schedule::IsDue(m_settings, update_schedule::Today())); // the schedule reads it
    EXPECT_TRUE(m_doc.GetSettings().GetEmptyDeletedFolder());
    // Coming back shows what was written; unticking writes 0 when the view goes.
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kMaintenance));
    EXPECT_TRUE(Sheet().GetMaintenancePage().AutoUpdateBox()->isChecked());
    Sheet().GetMaintenancePage().AutoUpdateBox()->click();
    Close();
    EXPECT_EQ(m_settings.GetInt("Update", "AutoUpdate", -1), 0);
}

TEST_F(SettingsViewTest, AnEmptyPortKeepsThePageAndItsLastValidValue)
{
    Open();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kConnection));
    CSettingsConnectionPage& page = Sheet().GetConnectionPage();
    page.ProxyBox()->click();
    page.AddressEdit()->setText(QStringLiteral("proxy.example.pl"));
    page.PortEdit()->clear();
    EXPECT_FALSE(Sheet().SetActivePage(CSettingsSheet::kMaintenance));
    EXPECT_EQ(Sheet().currentIndex(), CSettingsSheet::kConnection);
    EXPECT_EQ(Sheet().GetActiveIndex(), CSettingsSheet::kConnection);
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text, "Please enter an integer.");
    const CSettingsData& settings = m_doc.GetSettings();
    EXPECT_TRUE(settings.GetUseProxy());
    EXPECT_EQ(settings.GetProxyHost(), "proxy.example.pl");
    EXPECT_EQ(settings.GetProxyPort(), 8080);

    // The tab itself, clicked: the same refusal.
    Sheet().setCurrentIndex(CSettingsSheet::kGateway);
    EXPECT_EQ(Sheet().currentIndex(), CSettingsSheet::kConnection);
    EXPECT_EQ(m_ui.messages.size(), 2u);

    // Closed while still empty: the message once more, the port kept.
    page.AddressEdit()->setText(QStringLiteral("inny.example.pl"));
    Close();
    ASSERT_EQ(m_ui.messages.size(), 3u);
    EXPECT_EQ(m_ui.messages[2].text, "Please enter an integer.");
    EXPECT_EQ(settings.GetProxyHost(), "inny.example.pl");
    EXPECT_EQ(settings.GetProxyPort(), 8080);
}

TEST_F(SettingsViewTest, AValidPortIsWrittenAndDigitsOnlyAreTyped)
{
    Open();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kConnection));
    QLineEdit* port = Sheet().GetConnectionPage().PortEdit();
    port->clear();
    QTest::keyClicks(port, QStringLiteral("3x2-8"));
    EXPECT_EQ(port->text(), QStringLiteral("328"));
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kMaintenance));
    EXPECT_EQ(m_doc.GetSettings().GetProxyPort(), 328);
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(SettingsViewTest, TheMethodsListShowsTheThreeGatewaysAndChangesNothing)
{
    Open();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kGateway));
    QTreeWidget* list = Sheet().GetGatewayPage().MethodList();
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Sieć"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Adres bramki"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Numery"));
    EXPECT_GE(list->columnWidth(0), 50);
    EXPECT_GE(list->columnWidth(1), 150);
    const auto methods = m_doc.GetSender().MethodList();
    ASSERT_EQ(methods.size(), 3u);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list->topLevelItem(i)->text(0).toStdString(), methods[static_cast<std::size_t>(i)].name);
    const std::vector<std::uint8_t> before = m_doc.Store();
    list->selectAll();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kMaintenance));
    EXPECT_EQ(m_doc.Store(), before);
}

TEST_F(SettingsViewTest, TheRouteAndThePortReachTheRecordAndTheStore)
{
    m_doc.SetPhonePortName("/dev/ttyS0");
    Open();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kGateway));
    CSettingsGatewayPage& page = Sheet().GetGatewayPage();
    EXPECT_TRUE(page.InternetButton()->isChecked());
    EXPECT_FALSE(page.PhoneButton()->isChecked());
    EXPECT_EQ(page.PortBox()->currentText(), QStringLiteral("/dev/ttyS0"));
    page.PhoneButton()->click();
    page.PortBox()->setEditText(QStringLiteral("/dev/ttyUSB3"));
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kConnection));
    EXPECT_EQ(m_doc.GetSettings().GetRoute(), ROUTE_PHONE);
    EXPECT_EQ(m_doc.GetPhonePortName(), "/dev/ttyUSB3");
    EXPECT_EQ(m_settings.GetString("Settings", "Port"), "/dev/ttyUSB3");

    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kGateway));
    EXPECT_TRUE(page.PhoneButton()->isChecked());
    page.InternetButton()->click();
    Close();
    EXPECT_EQ(m_doc.GetSettings().GetRoute(), ROUTE_INTERNET);
}

TEST_F(SettingsViewTest, ARouteFromElsewhereIsKeptUntilTheUserPicksOne)
{
    m_doc.GetSettings().SetRoute(7);
    Open();
    ASSERT_TRUE(Sheet().SetActivePage(CSettingsSheet::kGateway));
    EXPECT_FALSE(Sheet().GetGatewayPage().InternetButton()->isChecked());
    EXPECT_FALSE(Sheet().GetGatewayPage().PhoneButton()->isChecked());
    Close();
    EXPECT_EQ(m_doc.GetSettings().GetRoute(), 7);
}

TEST_F(SettingsViewTest, TheViewMenuCommandsShowThePages)
{
    views_test::InFrame<CSettingsView> shown(m_doc, CommandId::ViewSettings);
    const CSettingsSheet& sheet = *shown.view.GetSheet();
    shown.Run(CommandId::SettingsConnection);
    EXPECT_EQ(sheet.currentIndex(), CSettingsSheet::kConnection);
    shown.Run(CommandId::SettingsSending);
    EXPECT_EQ(sheet.currentIndex(), CSettingsSheet::kGateway);
    shown.Run(CommandId::SettingsBehaviour);
    EXPECT_EQ(sheet.currentIndex(), CSettingsSheet::kMaintenance);
    EXPECT_FALSE(shown.Offers(CommandId::Send));
}

TEST(SerialPortListTest, ListsTheSerialDevicesInTheirGroupsAndNaturalOrder)
{
    QTemporaryDir dev;
    ASSERT_TRUE(QDir(dev.path()).mkpath(QStringLiteral("serial/by-id")));
    for (const char* name :
         {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty1", "null", "serial/by-id/usb-Modem-if00"}) {
        QFile file(dev.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString root = dev.path();
    const QStringList expected = {root + "/ttyS2", root + "/ttyS10", root + "/ttyUSB0", root + "/ttyACM1",
                                  root + "/serial/by-id/usb-Modem-if00"};
    EXPECT_EQ(serial_port_list::Present(root), expected);
}

// The program holds the port for the run: the page keeps it and the document in step.
TEST(SettingsAppTest, ThePortReachesTheApplicationObject)
{
    QTemporaryDir data, run;
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    settings.SetString("Settings", "Port", "COM2");
    CBrivantelApp app(ui, settings);
    CBrivantelApp::Options options;
    options.dataDirectory = data.path();
    options.instanceDirectory = run.path();
    options.programName = QStringLiteral("brivantel-settings-test");
    CBrivantelFrame* frame = nullptr;
    ASSERT_EQ(app.InitInstance(options,
                               [&](CBrivantelApp& self, CBrivantelDoc& doc) {
                                   auto made = std::make_unique<CBrivantelFrame>(doc, settings, &self);
                                   frame = made.get();
                                   return made;
                               }),
              CBrivantelApp::Start::Running);
    frame->SwitchView(CommandId::ViewSettings);
    auto* view = dynamic_cast<CSettingsView*>(frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->GetSheet()->SetActivePage(CSettingsSheet::kGateway));
    view->GetSheet()->GetGatewayPage().PortBox()->setEditText(QStringLiteral("/dev/ttyACM0"));
    frame->SwitchView(CommandId::ViewOutbox);
    EXPECT_EQ(app.GetPort(), "/dev/ttyACM0");
    EXPECT_EQ(app.GetDocument()->GetPhonePortName(), "/dev/ttyACM0");
    app.Shutdown();
    EXPECT_EQ(settings.GetString("Settings", "Port"), "/dev/ttyACM0");
}

} // namespace
