#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "phone/FakeModem.h"
#include "phone/mm/FakeModemManager.h"
#include "phone/mm/ModemManagerService.h"
#include "support/TempDir.h"
#include "ui/FindPhoneDialog.h"
#include "ui/UiTestSupport.h"

namespace {

// Waits (boundedly) for the dialog to hear from every port, the window painting meanwhile.
bool WaitComplete(CFindPhoneDialog& dialog)
{
    for (int i = 0; i < 200 && !dialog.IsComplete(); ++i)
        QTest::qWait(25);
    return dialog.IsComplete();
}

QStringList Row(QTreeWidget* list, int row)
{
    QStringList cells;
    for (int c = 0; c < list->columnCount(); ++c)
        cells << list->topLevelItem(row)->text(c);
    return cells;
}

} // namespace

TEST(FindPhoneDialogTest, ListsTheServicesModemsAndAsksEachPort)
{
    FakeModemManager mm(nlohmann::json{
        {"modems",
         {{{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}},
          {{"maker", "Quectel"}, {"model", "EC25"}, {"port", "ttyUSB5"}, {"lock", "pin"}, {"signal", 40}}}}});
    ASSERT_EQ(mm.Problem(), "");
    CModemManagerService service(
        QString::fromStdString(mm.BusEnvironment().substr(mm.BusEnvironment().find('=') + 1)));
    // Three ports under by-id: a phone, a phone waiting for its PIN, and a port that stays silent.
    FakeModem phone, locked, silent;
    ASSERT_TRUE(phone.IsReady() && locked.IsReady() && silent.IsReady());
    FakeModem::Phone waiting;
    waiting.cpin = "+CPIN: SIM PIN";
    waiting.maker = "Siemens";
    FakeModem::Phone mute;
    mute.silent = true;
    phone.Behave({});
    locked.Behave(waiting);
    silent.Behave(mute);
    TempDir byId;
    std::filesystem::create_symlink(phone.DevicePath(), byId.file("usb-Fakecom_FM-1-if00-port0"));
    std::filesystem::create_symlink(locked.DevicePath(), byId.file("usb-Siemens_MC35i-if00-port0"));
    std::filesystem::create_symlink(silent.DevicePath(), byId.file("usb-Silent_Stick-if02-port0"));

    CFindPhoneDialog dialog(&service, nullptr, byId.path(), byId.path());
    dialog.show();
    dialog.Start();
    ASSERT_TRUE(WaitComplete(dialog));
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("PhoneList"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 5);
    EXPECT_EQ(Row(list, 0), QStringList({"ModemManager", "Huawei E3372", "gotowa", "71%", "ttyUSB2"}));
    EXPECT_EQ(Row(list, 1),
              QStringList({"ModemManager", "Quectel EC25", "czeka na kod PIN", "40%", "ttyUSB5"}));
    EXPECT_EQ(Row(list, 2),
              QStringList({"Port szeregowy", "Fakecom", "gotowa", "", "usb-Fakecom_FM-1-if00-port0"}));
    EXPECT_EQ(Row(list, 3), QStringList({"Port szeregowy", "Siemens", "czeka na kod PIN", "",
                                         "usb-Siemens_MC35i-if00-port0"}));
    EXPECT_EQ(Row(list, 4)[2], QStringLiteral("Nie odpowiada na polecenia AT."));
    EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("find-phone")));

    // The choice is the port and the backend that reaches it.
    auto* choose = dialog.findChild<QPushButton*>(QStringLiteral("ChoosePhoneButton"));
    ASSERT_NE(choose, nullptr);
    EXPECT_FALSE(choose->isEnabled());
    list->setCurrentItem(list->topLevelItem(1));
    ASSERT_TRUE(choose->isEnabled());
    choose->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenPort(), "/dev/ttyUSB5");
    EXPECT_EQ(dialog.ChosenBackend(), "modemmanager");
}

TEST(FindPhoneDialogTest, AChosenPortIsKeptByItsStableName)
{
    FakeModem phone;
    ASSERT_TRUE(phone.IsReady());
    phone.Behave({});
    TempDir byId;
    const std::string name = byId.file("usb-Fakecom_FM-1-if00-port0");
    std::filesystem::create_symlink(phone.DevicePath(), name);
    CFindPhoneDialog dialog(nullptr, nullptr, byId.path(), byId.path());
    dialog.show();
    dialog.Start();
    ASSERT_TRUE(WaitComplete(dialog));
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("PhoneList"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    list->setCurrentItem(list->topLevelItem(0));
    dialog.findChild<QPushButton*>(QStringLiteral("ChoosePhoneButton"))->click();
    EXPECT_EQ(dialog.ChosenPort(), name);
    EXPECT_EQ(dialog.ChosenBackend(), "serial");
}
