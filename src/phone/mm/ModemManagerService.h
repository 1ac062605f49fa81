#pragma once

#include <chrono>
#include <optional>

#include <QDBusConnection>
#include <QDBusMessage>

#include "phone/ModemService.h"

// ModemManager over the system bus: its object manager lists the modems, Messaging.Create and
// Sms.Send send, Messaging.Delete clears the modem's list afterwards, Sim.SendPin unlocks. No
// call may start the service (auto-start is off on every message). Waits run in slices on the
// caller's thread; the wait hook runs between them and a stop request ends them.
class CModemManagerService final : public CModemService
{
public:
    // On the system bus, or on the bus at busAddress (a private one, for tests).
    explicit CModemManagerService(const QString& busAddress = {});

    bool IsRunning() override;
    std::vector<ModemInfo> Modems() override;
    COutcome Send(const ModemInfo& modem, const std::string& number, const std::string& text,
                  int* lastReference = nullptr) override;
    void SetDeliveryReports(bool on) override { m_deliveryReports = on; }
    std::unique_ptr<CMessageReceiver> Receiver(const ModemInfo& modem, CMessageDb& db) override;
    COutcome SendPin(const ModemInfo& modem, const std::string& pin) override;
    void SetWaitHook(WaitHook hook) override { m_hook = std::move(hook); }
    void SetSendTimeout(std::chrono::milliseconds timeout) override { m_sendTimeout = timeout; }
    // The bound on each of the short questions (listing, creating, deleting, the PIN).
    void SetQueryTimeout(std::chrono::milliseconds timeout) { m_queryTimeout = timeout; }

    // The short Polish reason for one of the service's D-Bus errors (name and message).
    static std::string ReasonFor(const QString& errorName, const QString& message);

private:
    friend class CModemManagerReceiver;

    struct Reply
    {
        std::optional<QDBusMessage> message; // none when our own bound or a stop ended the wait
        bool stopped = false;
    };
    Reply Call(QDBusMessage message, std::chrono::milliseconds bound);

    QDBusConnection m_bus;
    WaitHook m_hook;
    std::chrono::milliseconds m_sendTimeout{330000}; // the service itself gives a part up to 300 s
    std::chrono::milliseconds m_queryTimeout{5000};
    bool m_deliveryReports = false;
};
