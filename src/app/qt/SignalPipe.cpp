#include "app/qt/SignalPipe.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "net/StopRequest.h"

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<int> g_first{0};

extern "C" void OnSignal(int signal)
{
    const int saved = errno;
    net_stop::Request();
    int expected = 0;
    g_first.compare_exchange_strong(expected, signal);
    const char byte = static_cast<char>(signal);
    // A full pipe already holds a request to end: losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool CSignalPipe::Install()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
    return true;
}

int CSignalPipe::Received()
{
    return g_first.load();
}

CSignalPipe::CSignalPipe(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CSignalPipe::OnReadable);
}

CSignalPipe::~CSignalPipe() = default;

void CSignalPipe::OnReadable()
{
    char bytes[16];
    int signal = 0;
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        signal = static_cast<unsigned char>(bytes[n - 1]);
    if (signal != 0)
        emit received(signal);
}
