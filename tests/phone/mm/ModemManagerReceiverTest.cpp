// The ModemManager receiver in this process, on the stand-in's private bus, with a clock of the
// test's own.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "messagedb/MessageDb.h"
#include "phone/mm/FakeModemManager.h"
#include "phone/mm/ModemManagerReceiver.h"
#include "phone/mm/ModemManagerService.h"
#include "support/TempDir.h"

namespace {

using nlohmann::json;

// QtDBus wants an application object; one serves every test of the binary.
void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "phone_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

} // namespace

TEST(ModemManagerReceiverTest, TimesAreReadInEveryFormTheServiceHasGiven)
{
    struct Case
    {
        const char* text;
        bool ok;
        std::int64_t utc;
        int zone;
    };
    // 2026-12-08 is day 20795 since 1970, 2026-12-01 day 20788, 2026-07-01 day 20635.
    const Case cases[] = {
        {"2026-12-08T21:05:10+01:00", true, 20795LL * 86400 + 20 * 3600 + 5 * 60 + 10, 60},
        {"2026-07-01T09:00:00+02", true, 20635LL * 86400 + 7 * 3600, 120},
        {"26-07-01T09:00:00+0200", true, 20635LL * 86400 + 7 * 3600, 120},
        {"2026-12-01T10:00:00Z", true, 20788LL * 86400 + 10 * 3600, 0},
        {"2026-12-01T10:00:00", true, 20788LL * 86400 + 10 * 3600, 0},
        {"2026-12-01T10:00:00.250-03:30", true, 20788LL * 86400 + 13 * 3600 + 30 * 60, -210},
        {"", false, 0, 0},
        {"yesterday", false, 0, 0},
        {"2026-13-01T10:00:00Z", false, 0, 0},
        {"2026-12-01 10:00", false, 0, 0},
        {"2026-12-01T10:00:00+1", false, 0, 0},
        {"2026-12-01T10:00:00+01:00x", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::int64_t utc = -1;
        int zone = -1;
        EXPECT_EQ(CModemManagerReceiver::ParseTime(QString::fromLatin1(c.text), utc, zone), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(utc, c.utc) << c.text;
            EXPECT_EQ(zone, c.zone) << c.text;
        }
    }
}

TEST(ModemManagerReceiverTest, AMessageStuckReceivingIsTakenIncompleteADayAfterItWasFirstSeen)
{
    EnsureApplication();
    FakeModemManager mm(json{{"modems", {{{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}}}},
                             {"inbox",
                              {{{"number", "+48601111222"},
                                {"text", "Początek"},
                                {"timestamp", "2026-12-08T21:05:10+01:00"},
                                {"state", 2}},
                               {{"number", "+48601111333"},
                                {"text", "Błysk"},
                                {"timestamp", "2026-12-08T21:06:10+01:00"},
                                {"class", 0}}}}});
    ASSERT_EQ(mm.Problem(), "");
    TempDir dir;
    const std::int64_t t0 = 1796760400;
    CModemManagerService service(QString::fromStdString(mm.Address()));
    const auto modems = service.Modems();
    ASSERT_EQ(modems.size(), 1u);

    // Each reading by a receiver and a database of its own, as after a restart of the program.
    const auto read = [&](std::int64_t now) {
        CMessageDb db;
        EXPECT_TRUE(db.Open(dir.path()).ok);
        const auto receiver = service.Receiver(modems.front(), db);
        return receiver->Receive(now);
    };
    ReceiveReport report = read(t0);
    EXPECT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(mm.State()["messages"], 1);
    report = read(t0 + 23 * 3600);
    EXPECT_EQ(report.stored, 0);
    EXPECT_EQ(mm.State()["messages"], 1);
    report = read(t0 + 24 * 3600);
    EXPECT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(mm.State()["messages"], 0);

    CMessageDb db;
    ASSERT_TRUE(db.Open(dir.path()).ok);
    const auto stored = db.List({}, t0 + 24 * 3600);
    ASSERT_EQ(stored.size(), 2u);
    for (const StoredMessage& m : stored) {
        if (m.senderRaw == "+48601111222") {
            EXPECT_FALSE(m.complete);
            EXPECT_EQ(m.text, "Początek");
            EXPECT_EQ(m.receivedUtc, t0);
        } else {
            EXPECT_TRUE(m.complete);
            EXPECT_TRUE(m.flash);
        }
    }
}

TEST(ModemManagerReceiverTest, TheReceiverIsChosenTheWayASendGoes)
{
    EnsureApplication();
    FakeModemManager mm(json{{"modems", {{{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}}}}});
    ASSERT_EQ(mm.Problem(), "");
    CModemManagerService service(QString::fromStdString(mm.Address()));
    struct Case
    {
        const char* backend;
        const char* device;
        bool withService;
        const char* via; // empty: none, for the problem
        const char* problem;
    };
    const Case cases[] = {
        {"auto", "", true, "ModemManager (Huawei E3372)", ""},
        {"auto", "/dev/ttyUSB2", true, "ModemManager (Huawei E3372)", ""},
        {"auto", "/dev/ttyS9", true, "port /dev/ttyS9", ""},
        {"serial", "/dev/ttyUSB2", true, "port /dev/ttyUSB2", ""},
        {"serial", "", true, "", "Nie wybrano portu telefonu."},
        {"auto", "", false, "", "Nie wybrano portu telefonu."},
        {"modemmanager", "/dev/ttyS9", true, "", "ModemManager nie obsługuje portu /dev/ttyS9."},
        {"modemmanager", "", false, "", "Usługa ModemManager nie działa."},
    };
    TempDir dir;
    CMessageDb db;
    for (const Case& c : cases) {
        const std::string label = std::string(c.backend) + " " + c.device;
        const ReceiverChoice choice =
            phone_receiver::Choose(c.backend, c.device, c.withService ? &service : nullptr, db);
        if (*c.via) {
            ASSERT_TRUE(choice.receiver) << label << ": " << choice.problem;
            EXPECT_EQ(choice.receiver->Via(), c.via) << label;
        } else {
            EXPECT_FALSE(choice.receiver) << label;
            EXPECT_EQ(choice.problem, c.problem) << label;
        }
    }
}
