#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "phone/FakeModem.h"
#include "phone/SerialLink.h"
#include "support/TempDir.h"

namespace {

constexpr int kBaud = 9600;

// Waits (boundedly) until the program's side holds count received bytes.
bool WaitQueued(int fd, int count)
{
    for (int i = 0; i < 300; ++i) {
        int queued = 0;
        if (::ioctl(fd, FIONREAD, &queued) == 0 && queued >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string ReadModemSide(int fd, std::size_t count)
{
    std::string got;
    for (int i = 0; i < 300 && got.size() < count; ++i) {
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return got;
}

} // namespace

TEST(SerialLinkTest, PortNumbersNameTheSystemsSerialPorts)
{
    EXPECT_EQ(CSerialLink::PortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(CSerialLink::PortDevice(2), "/dev/ttyS1");
    EXPECT_EQ(CSerialLink::PortDevice(9), "/dev/ttyS8");
    EXPECT_EQ(CSerialLink::PortDevice(0), "");
    EXPECT_EQ(CSerialLink::PortDevice(-1), "");
    CSerialLink link;
    EXPECT_FALSE(link.Open(0, kBaud));
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialLinkTest, AFailedOpenLeavesTheLinkClosed)
{
    TempDir dir;
    const std::string plainFile = dir.file("not-a-terminal");
    WriteFileBytes(plainFile, {'O', 'K'});

    CSerialLink link;
    EXPECT_FALSE(link.OpenDevice("/nonexistent/ttyS2", kBaud));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.OpenDevice(plainFile, kBaud));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.OpenDevice("", kBaud));
    char buffer[8];
    EXPECT_EQ(link.Write("at\r", 3), 0);
    EXPECT_EQ(link.Read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(link.WaitReadable(std::chrono::milliseconds(10)));
    EXPECT_TRUE(link.Close());
}

TEST(SerialLinkTest, OpensRawEightBitsNoParityOneStopBitNoFlowControl)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    // Start from the opposite of every setting the link must make.
    termios before{};
    ::tcgetattr(modem.ProgramSide(), &before);
    before.c_cflag = (before.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    before.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
    before.c_iflag |= IXON | IXOFF | ICRNL;
    before.c_lflag |= ICANON | ECHO;
    before.c_oflag |= OPOST;
    ::cfsetspeed(&before, B38400);
    ASSERT_EQ(::tcsetattr(modem.ProgramSide(), TCSANOW, &before), 0);

    CSerialLink link;
    ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    termios t{};
    ASSERT_EQ(::tcgetattr(modem.ProgramSide(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    EXPECT_EQ(::cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(SerialLinkTest, RefusesASpeedTheSystemDoesNotOffer)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    CSerialLink link;
    EXPECT_FALSE(link.OpenDevice(modem.DevicePath(), 12345));
    EXPECT_FALSE(link.IsOpen());
    // Nothing was left holding the port.
    EXPECT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
}

TEST(SerialLinkTest, APortHeldByAnotherLinkCannotBeOpenedUntilItIsClosed)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    CSerialLink first;
    ASSERT_TRUE(first.OpenDevice(modem.DevicePath(), kBaud));
    EXPECT_TRUE(first.OpenDevice(modem.DevicePath(), kBaud)); // already open: nothing changes
    {
        CSerialLink second;
        EXPECT_FALSE(second.OpenDevice(modem.DevicePath(), kBaud));
        EXPECT_FALSE(second.IsOpen());
    }
    EXPECT_TRUE(first.Close());
    EXPECT_FALSE(first.IsOpen());
    CSerialLink third;
    EXPECT_TRUE(third.OpenDevice(modem.DevicePath(), kBaud));
    EXPECT_TRUE(third.Close());
    EXPECT_TRUE(third.Close()); // closing twice is harmless
}

TEST(SerialLinkTest, DestructionClosesThePort)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    {
        CSerialLink link;
        ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    }
    CSerialLink again;
    EXPECT_TRUE(again.OpenDevice(modem.DevicePath(), kBaud));
}

TEST(SerialLinkTest, ReadTakesOnlyWhatIsThereAndAtMostTheCapacity)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    CSerialLink link;
    ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    char buffer[300];
    EXPECT_EQ(link.Read(buffer, 255), 0); // nothing received yet: returns at once
    EXPECT_EQ(link.Read(buffer, 0), 0);

    std::string sent(300, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>('A' + i % 26);
    ASSERT_EQ(::write(modem.ModemSide(), sent.data(), sent.size()), 300);
    ASSERT_TRUE(WaitQueued(modem.ProgramSide(), 300));

    ASSERT_EQ(link.Read(buffer, 255), 255);
    EXPECT_EQ(std::string(buffer, 255), sent.substr(0, 255));
    ASSERT_EQ(link.Read(buffer, 255), 45);
    EXPECT_EQ(std::string(buffer, 45), sent.substr(255));
    EXPECT_EQ(link.Read(buffer, 255), 0);
}

TEST(SerialLinkTest, WaitReadableWakesForInputAndCallsTheHookWhileWaiting)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    int calls = 0;
    CSerialLink link([&calls] { ++calls; });
    ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    EXPECT_FALSE(link.WaitReadable(std::chrono::milliseconds(120)));
    EXPECT_GE(calls, 2);

    ASSERT_EQ(::write(modem.ModemSide(), "\r\nOK\r\n", 6), 6);
    EXPECT_TRUE(link.WaitReadable(std::chrono::seconds(5)));
    char buffer[16];
    int got = 0;
    while (got < 6 && link.WaitReadable(std::chrono::seconds(5)))
        got += link.Read(buffer + got, static_cast<int>(sizeof buffer) - got);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), "\r\nOK\r\n");
}

TEST(SerialLinkTest, WritesTheBytesAsTheyAreAndNothingForAnEmptyWrite)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    CSerialLink link;
    ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    EXPECT_EQ(link.Write("x", 0), 0);
    EXPECT_EQ(link.Write("x", -1), 0);
    EXPECT_EQ(link.Write(nullptr, 3), 0);
    // Raw: CR stays CR (no CR LF), 0x1A/0x1B/0xFF and a zero byte pass untouched.
    const char bytes[] = {'a', 't', '\r', '\n', '\x1a', '\x1b', '\xff', '\0', '\x9c'};
    ASSERT_EQ(link.Write(bytes, sizeof bytes), static_cast<int>(sizeof bytes));
    EXPECT_EQ(ReadModemSide(modem.ModemSide(), sizeof bytes), std::string(bytes, sizeof bytes));
}

TEST(SerialLinkTest, InputReceivedBeforeTheOpenIsDropped)
{
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    ASSERT_EQ(::write(modem.ModemSide(), "\r\nOK\r\n", 6), 6);
    ASSERT_TRUE(WaitQueued(modem.ProgramSide(), 6));
    CSerialLink link;
    ASSERT_TRUE(link.OpenDevice(modem.DevicePath(), kBaud));
    char buffer[16];
    EXPECT_EQ(link.Read(buffer, sizeof buffer), 0);
}
