#pragma once

#include <cstdint>
#include <string>

#include "store/Object.h"

// Seconds since 1970, unsigned 32-bit as the data file stores them (good until 2106).
using TimeStamp = std::uint32_t;
TimeStamp CurrentTimeStamp();

// One short message: who it is for, its text and when it was made.
class CMessage final : public CObject
{
public:
    CMessage();
    CMessage(std::string recipients, std::string text);
    CMessage(std::string recipients, std::string text, TimeStamp time);

    static const CRuntimeClass& RuntimeClass();
    const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass(); }
    void Serialize(CArchive& ar) override;
    std::unique_ptr<CObject> Clone() const override { return std::make_unique<CMessage>(*this); }

    const std::string& GetText() const { return m_text; }
    const std::string& GetRecipients() const { return m_recipients; }
    TimeStamp GetTime() const { return m_time; }
    void SetText(std::string text)
    {
        m_text = std::move(text);
        Edited();
    }
    void SetRecipients(std::string recipients)
    {
        m_recipients = std::move(recipients);
        Edited();
    }
    // The stamp of the last change made to any message in place (not counting failure reasons,
    // which are not saved): a folder's saved bytes hold only while it is what it was.
    static std::uint64_t LastEdit();
    // The stamp of this message's last change in place since it was filed (0: none), so that an
    // edit costs only its own folder's encoding.
    std::uint64_t GetEditStamp() const { return m_edited; }
    void ForgetEdits() { m_edited = 0; }
    // Why the last try to send it failed, while it waits in the outbox. Kept in memory only: never
    // written to the data file, and gone when the message leaves the folder it failed in.
    const std::string& GetFailureReason() const { return m_failureReason; }
    void SetFailureReason(std::string reason) { m_failureReason = std::move(reason); }

private:
    void Edited();

    std::string m_text;
    std::string m_recipients;
    TimeStamp m_time;
    std::uint64_t m_edited = 0;
    std::string m_failureReason;
};
