#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "phone/FakeModem.h"
#include "phone/SerialLink.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"
#include "support/TempDir.h"

namespace {

const std::string kNumber = "+48602123456";

std::string SendReason(const std::string& port)
{
    PhoneTimeouts t;
    t.mode = t.prompt = t.answer = t.query = std::chrono::milliseconds(300);
    CPhoneSender sender(port, {}, t);
    const SendOutcome outcome = sender.Send(kNumber, "Hello");
    EXPECT_FALSE(outcome.done) << port;
    return windows1250::ToUtf8(outcome.reason);
}

// Another program that opens the device, makes it exclusive as ModemManager does, and holds it
// until it is killed.
class ExclusiveHolder
{
public:
    ExclusiveHolder(const std::string& device, const char* name)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_NAME, name);
            const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            const char ok = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 ? '1' : '0';
            if (::write(ready[1], &ok, 1) != 1)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char ok = '0';
        m_ready = ::read(ready[0], &ok, 1) == 1 && ok == '1';
        ::close(ready[0]);
    }
    ~ExclusiveHolder()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool Ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

} // namespace

TEST(PortProblemTest, APortHeldExclusivelyByAnotherProgramIsNamedBusy)
{
    struct Case
    {
        const char* holder;
        std::string reason; // after the device's name
    };
    const Case cases[] = {
        {"minicom", " jest zajęty przez inny program."},
        {"ModemManager",
         " jest zajęty przez usługę ModemManager; wybierz modem z listy (\"Znajdź telefon...\") "
         "albo wyłącz obsługę tego portu w ModemManager (reguła udev "
         "ENV{ID_MM_DEVICE_IGNORE}=\"1\")."},
    };
    for (const Case& c : cases) {
        FakeModem modem; // a fresh terminal: exclusive mode outlives the holder
        ASSERT_TRUE(modem.IsReady());
        ExclusiveHolder holder(modem.DevicePath(), c.holder);
        ASSERT_TRUE(holder.Ready()) << c.holder;
        EXPECT_EQ(SendReason(modem.DevicePath()), "Port " + modem.DevicePath() + c.reason);
    }
}

TEST(PortProblemTest, ADeviceTheUserMayNotOpenNamesItsGroupAndTheCommand)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr) << "the dialout group is part of every Debian system";
    ASSERT_EQ(::chown(modem.DevicePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(modem.DevicePath().c_str(), 0660), 0);
    // The check runs as "nobody", who is not in the group.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        PhoneTimeouts t;
        CPhoneSender sender(modem.DevicePath(), {}, t);
        const std::string reason = windows1250::ToUtf8(sender.Send(kNumber, "Hello").reason);
        const bool written =
            ::write(out[1], reason.data(), reason.size()) == static_cast<ssize_t>(reason.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(out[1]);
    std::string reason;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(reason, "Brak uprawnień do portu " + modem.DevicePath() +
                          ": mają je członkowie grupy dialout. Dołącz do niej poleceniem \"sudo usermod -aG "
                          "dialout nobody\" i zaloguj się ponownie.");
}

TEST(PortProblemTest, AMissingDeviceAndAPlainFileSayWhatTheyAre)
{
    TempDir dir;
    const std::string plainFile = dir.file("ttyUSB0");
    WriteFileBytes(plainFile, {'O', 'K'});
    EXPECT_EQ(SendReason("/dev/ttyUSB9-missing"),
              "Port /dev/ttyUSB9-missing nie istnieje; sprawdź, czy telefon jest podłączony.");
    EXPECT_EQ(SendReason(plainFile), plainFile + " nie jest portem szeregowym.");
    EXPECT_EQ(SendReason("COMx"), "Nie można otworzyć portu telefonu \"COMx\".");
}
