#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QDBusObjectPath>
#include <QObject>
#include <QString>

#include "phone/MessageReceiver.h"
#include "phone/ModemService.h"

class CModemManagerService;
struct IncomingMessage;

// Reads one modem's received messages and delivery reports from ModemManager into the message
// database: Messaging.List at each reading, then each Sms object's properties. A message is
// taken once the service says it is whole (State "received"); one still "receiving" after a day
// is taken as it stands, marked incomplete. The service joins long messages itself. Everything
// is committed before Messaging.Delete is asked, so a reading cut short at any point loses
// nothing, and the next one stores nothing twice. Between readings the Added signal announces
// new messages. The service object it reads through must outlive it.
class CModemManagerReceiver final : public QObject, public CMessageReceiver
{
    Q_OBJECT
public:
    CModemManagerReceiver(CModemManagerService& service, ModemInfo modem, CMessageDb& db);
    ~CModemManagerReceiver() override;

    ReceiveReport Receive(std::int64_t now) override;
    void SetStatusReports(bool /*on*/) override {}
    void SetAfterCommit(std::function<void()> observer) override { m_afterCommit = std::move(observer); }
    void SetNewsObserver(std::function<void()> observer) override { m_news = std::move(observer); }
    std::string Via() const override;

    // "2026-12-08T21:05:10+01:00" (and the forms ModemManager has used: a zone "+01", "+0100",
    // "Z", none, fractions of a second): the moment in seconds since 1970 and the zone in
    // minutes. False for anything else.
    static bool ParseTime(const QString& text, std::int64_t& utc, int& zoneMinutes);

private slots:
    void OnAdded(const QDBusObjectPath& path, bool received);

private:
    CModemManagerService& m_service;
    ModemInfo m_modem;
    CMessageDb& m_db;
    std::function<void()> m_afterCommit;
    std::function<void()> m_news;
    bool m_listening = false;
};
