// The own gateway on the sending page: its row in the list and the "Własna bramka..." dialog,
// with a test message sent to a loopback server.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "TestHttpServer.h"
#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "send/OwnGatewaySender.h"
#include "support/RecordingUserInterface.h"
#include "ui/OwnGatewayDialog.h"
#include "ui/SettingsGatewayPage.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"

namespace {

class OwnGatewayPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_doc.Open(m_dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                               CBrivantelDoc::Access::ReadWrite));
        m_doc.SetSignature("Jan");
    }
    void Set(const char* name, const std::string& value) { m_settings.SetString("Gateway", name, value); }
    CSettingsGatewayPage& OpenPage()
    {
        m_view = std::make_unique<CSettingsView>(m_doc, 1007);
        m_view->resize(640, 460);
        m_view->OnInitialUpdate();
        m_view->show();
        EXPECT_TRUE(m_view->GetSheet()->SetActivePage(CSettingsSheet::kGateway));
        return m_view->GetSheet()->GetGatewayPage();
    }
    static QStringList Row(QTreeWidget* list, int row)
    {
        const QTreeWidgetItem* item = list->topLevelItem(row);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
    }

    QTemporaryDir m_dir;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CSettingsView> m_view;
};

TEST_F(OwnGatewayPageTest, FourthRowWhileEnabledAndTheDialogKeepsAndTriesTheSettings)
{
    TestHttpServer server;
    server.Route("/api/sms", TestHttpServer::Ok("{\"status\":\"queued\",\"id\":\"a81f\"}"));
    Set("Url", "http://" + server.HostPort() + "/api/sms");
    Set("Body", "to={number}&message={text}&from={signature}");
    Set("Headers", "Authorization: Bearer T0K3N");
    Set("Success", "queued");
    Set("Numbers", "+48602;+48501");

    CSettingsGatewayPage& page = OpenPage();
    ASSERT_EQ(page.MethodList()->topLevelItemCount(), 3); // switched off: no row
    auto* button = page.findChild<QPushButton*>(QStringLiteral("OwnGatewayButton"));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("Własna bramka..."));

    bool seen = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<COwnGatewayDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Własna bramka"));
        auto* enabled = dialog->findChild<QCheckBox*>(QStringLiteral("Enabled"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("Name"));
        auto* number = dialog->findChild<QLineEdit*>(QStringLiteral("TestNumber"));
        auto* send = dialog->findChild<QPushButton*>(QStringLiteral("SendTest"));
        ASSERT_TRUE(enabled && name && number && send);
        EXPECT_FALSE(enabled->isChecked());
        EXPECT_EQ(name->text(), QStringLiteral("Własna bramka"));
        // The token is not shown until asked for; "Pokaż" shows it, a second press hides it.
        auto* headers = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Headers"));
        auto* show = dialog->findChild<QPushButton*>(QStringLiteral("ShowHeaders"));
        ASSERT_TRUE(headers && show);
        EXPECT_EQ(headers->toPlainText(), QStringLiteral("Authorization: ***"));
        EXPECT_TRUE(headers->isReadOnly());
        EXPECT_EQ(show->text(), QStringLiteral("Pokaż"));
        EXPECT_TRUE(SaveScreenshot(*dialog, QStringLiteral("own-gateway-dialog-masked")));
        show->click();
        EXPECT_EQ(headers->toPlainText(), QStringLiteral("Authorization: Bearer T0K3N"));
        EXPECT_FALSE(headers->isReadOnly());
        show->click();
        EXPECT_EQ(headers->toPlainText(), QStringLiteral("Authorization: ***"));
        EXPECT_NE(dialog->findChild<QPushButton*>(QStringLiteral("ChooseCaFile")), nullptr);
        EXPECT_EQ(send->text(), QStringLiteral("Wyślij próbną wiadomość"));
        enabled->setChecked(true);
        name->setText(QStringLiteral("SMS Bramka"));
        number->setText(QStringLiteral("+48602123456"));
        send->click(); // with the fields as they stand, before OK
        EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("TestStatus"))->text(),
                  QStringLiteral("HTTP/1.1 200 OK\nBramka przyjęła wiadomość."));
        EXPECT_EQ(dialog->findChild<QPlainTextEdit*>(QStringLiteral("TestReply"))->toPlainText(),
                  QStringLiteral("{\"status\":\"queued\",\"id\":\"a81f\"}"));
        EXPECT_TRUE(SaveScreenshot(*dialog, QStringLiteral("own-gateway-dialog")));
        dialog->accept();
    });
    button->click();
    EXPECT_TRUE(seen);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(
        requests[0].find("to=%2B48602123456&message=Pr%C3%B3bna+wiadomo%C5%9B%C4%87+z+programu+Brivantel."
                         "&from=Jan"),
        std::string::npos)
        << requests[0];
    EXPECT_EQ(m_settings.GetString("Gateway", "Enabled"), "1");
    EXPECT_EQ(m_settings.GetString("Gateway", "Name"), "SMS Bramka");
    // The masked field gave the real headers back, not the stars.
    EXPECT_EQ(m_settings.GetString("Gateway", "Headers"), "Authorization: Bearer T0K3N");
    EXPECT_NE(requests[0].find("Authorization: Bearer T0K3N\r\n"), std::string::npos) << requests[0];
    ASSERT_EQ(page.MethodList()->topLevelItemCount(), 4);
    EXPECT_EQ(Row(page.MethodList(), 3),
              (QStringList{QStringLiteral("SMS Bramka"), QStringLiteral("127.0.0.1"),
                           QStringLiteral("+48602;+48501")}));
    EXPECT_TRUE(SaveScreenshot(*m_view, QStringLiteral("settings-sending-own-gateway")));

    Set("Numbers", "");
    m_view.reset();
    CSettingsGatewayPage& again = OpenPage();
    EXPECT_EQ(Row(again.MethodList(), 3).value(2), QStringLiteral("wszystkie"));
}

} // namespace
