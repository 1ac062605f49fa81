#include "store/Message.h"

#include <ctime>

#include <atomic>

#include "store/Archive.h"
#include "store/ChangeStamp.h"

namespace {
std::atomic<std::uint64_t> g_lastEdit{0};
} // namespace

TimeStamp CurrentTimeStamp()
{
    return static_cast<TimeStamp>(std::time(nullptr));
}

CMessage::CMessage() : m_time(CurrentTimeStamp()) {}

CMessage::CMessage(std::string recipients, std::string text)
    : m_text(std::move(text)), m_recipients(std::move(recipients)), m_time(CurrentTimeStamp())
{
}

CMessage::CMessage(std::string recipients, std::string text, TimeStamp time)
    : m_text(std::move(text)), m_recipients(std::move(recipients)), m_time(time)
{
}

const CRuntimeClass& CMessage::RuntimeClass()
{
    static const CRuntimeClass rc{"CMessage", 1, [] { return std::unique_ptr<CObject>(new CMessage); }};
    static const bool registered = (runtime_classes::Register(rc), true);
    (void)registered;
    return rc;
}

std::uint64_t CMessage::LastEdit()
{
    return g_lastEdit.load(std::memory_order_relaxed);
}

void CMessage::Edited()
{
    m_edited = change_stamp::Next();
    g_lastEdit.store(m_edited, std::memory_order_relaxed);
}

void CMessage::Serialize(CArchive& ar)
{
    ar.Transfer(m_recipients);
    ar.Transfer(m_text);
    ar.Transfer(m_time);
}
