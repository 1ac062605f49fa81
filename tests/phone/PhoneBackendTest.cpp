#include <gtest/gtest.h>

#include <filesystem>

#include "phone/PhoneBackend.h"
#include "support/TempDir.h"

namespace {

ModemInfo Modem(const std::string& id, std::vector<std::string> ports)
{
    ModemInfo m;
    m.id = id;
    m.ports = std::move(ports);
    return m;
}

} // namespace

TEST(PhoneBackendTest, SettingNamesTheBackend)
{
    EXPECT_EQ(phone_backend::FromSetting("modemmanager"), PhoneBackend::ModemManager);
    EXPECT_EQ(phone_backend::FromSetting("ModemManager"), PhoneBackend::ModemManager);
    EXPECT_EQ(phone_backend::FromSetting("serial"), PhoneBackend::Serial);
    EXPECT_EQ(phone_backend::FromSetting("auto"), PhoneBackend::Auto);
    EXPECT_EQ(phone_backend::FromSetting(""), PhoneBackend::Auto);
    EXPECT_EQ(phone_backend::FromSetting("gsm"), PhoneBackend::Auto);
    EXPECT_FALSE(phone_backend::IsName("gsm"));
}

TEST(PhoneBackendTest, TheModemIsTheOneWhosePortsIncludeTheDevice)
{
    TempDir dir;
    // A by-id name counts as the device it points to.
    const std::string device = dir.file("ttyUSB5");
    WriteFileBytes(device, {});
    const std::string byId = dir.file("usb-Quectel_EC25-if02-port0");
    std::filesystem::create_symlink(device, byId);

    const std::vector<ModemInfo> two = {Modem("/m/0", {"ttyUSB2", "cdc-wdm0"}),
                                        Modem("/m/1", {"ttyUSB5", "cdc-wdm1"})};
    const std::vector<ModemInfo> one = {Modem("/m/0", {"ttyUSB2"})};
    struct Case
    {
        const std::vector<ModemInfo>* modems;
        std::string device;
        const char* modem; // nullptr: none, the port is opened directly
    };
    const Case cases[] = {
        {&two, "/dev/ttyUSB2", "/m/0"},
        {&two, device, "/m/1"},
        {&two, byId, "/m/1"},
        {&two, "/dev/ttyUSB9", nullptr},
        {&two, "", nullptr},
        {&one, "", "/m/0"},
        {&one, "/dev/ttyACM0", nullptr},
        {&one, "/dev/ttyUSB2", "/m/0"},
    };
    for (const Case& c : cases) {
        const ModemInfo* found = phone_backend::ModemFor(*c.modems, c.device);
        EXPECT_EQ(found ? found->id : "none", c.modem ? c.modem : "none") << c.device;
        EXPECT_EQ(phone_backend::ServiceHolds(*c.modems, c.device), !c.device.empty() && c.modem != nullptr)
            << c.device;
    }
}

TEST(PhoneBackendTest, AModemIsCalledByItsMakerAndModel)
{
    ModemInfo m;
    m.id = "/m/0";
    EXPECT_EQ(m.Name(), "/m/0");
    m.maker = "huawei";
    m.model = "E3372";
    EXPECT_EQ(m.Name(), "Huawei E3372");
    m.maker = "QUALCOMM INCORPORATED";
    EXPECT_EQ(m.Name(), "Qualcomm incorporated E3372");
}
