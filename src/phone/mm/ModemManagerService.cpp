#include "phone/mm/ModemManagerService.h"

#include <string_view>
#include <thread>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMap>
#include <QVariantMap>

#include "net/StopRequest.h"
#include "phone/mm/ModemManagerNames.h"
#include "phone/mm/ModemManagerReceiver.h"
#include "store/Windows1250.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kSlice{50};

using namespace modem_manager;

// The service's values of MMModemLock and MMModem3gppRegistrationState.
constexpr uint kLockNone = 1;
constexpr uint kLockSimPin = 2;
constexpr uint kLockSimPuk = 4;

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string Local(const QString& text)
{
    return windows1250::FromUtf8Lossy(text.toStdString());
}

std::vector<std::string> PortNames(const QVariant& value)
{
    std::vector<std::string> names;
    if (!value.canConvert<QDBusArgument>())
        return names;
    const QDBusArgument arg = value.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString name;
        uint type = 0;
        arg.beginStructure();
        arg >> name >> type;
        arg.endStructure();
        names.push_back(name.toStdString());
    }
    arg.endArray();
    return names;
}

int SignalPercent(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return -1;
    const QDBusArgument arg = value.value<QDBusArgument>();
    uint percent = 0;
    bool recent = false;
    arg.beginStructure();
    arg >> percent >> recent;
    arg.endStructure();
    return static_cast<int>(percent);
}

int PinRetries(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return -1;
    const QDBusArgument arg = value.value<QDBusArgument>();
    QMap<uint, uint> retries;
    arg >> retries;
    return retries.contains(kLockSimPin) ? static_cast<int>(retries.value(kLockSimPin)) : -1;
}

SimLock LockOf(uint lock)
{
    switch (lock) {
    case 0:
        return SimLock::Unknown;
    case kLockNone:
        return SimLock::None;
    case kLockSimPin:
        return SimLock::Pin;
    case kLockSimPuk:
        return SimLock::Puk;
    default:
        return SimLock::Other;
    }
}

std::string RegistrationText(uint state)
{
    switch (state) {
    case 1:
    case 6:
    case 9:
        return Polish("zarejestrowany w sieci macierzystej");
    case 5:
    case 7:
    case 10:
        return Polish("zarejestrowany w roamingu");
    case 2:
        return Polish("szuka sieci");
    case 3:
        return Polish("rejestracja odrzucona");
    case 0:
        return Polish("niezarejestrowany");
    default:
        return Polish("stan nieznany");
    }
}

std::string Seconds(std::chrono::milliseconds bound)
{
    return std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(bound + std::chrono::milliseconds(500)).count());
}

} // namespace

CModemManagerService::CModemManagerService(const QString& busAddress)
    : m_bus(busAddress.isEmpty()
                ? QDBusConnection::systemBus()
                : QDBusConnection::connectToBus(busAddress, QStringLiteral("brivantel-modems-") + busAddress))
{
}

bool CModemManagerService::IsRunning()
{
    // Asking the bus who owns the name starts nothing; a call to the service itself could.
    return m_bus.isConnected() && m_bus.interface() &&
           m_bus.interface()->isServiceRegistered(kService).value();
}

CModemManagerService::Reply CModemManagerService::Call(QDBusMessage message, std::chrono::milliseconds bound)
{
    message.setAutoStartService(false);
    // The bus's own time-out a little beyond ours, so that ours is the one that ends the wait.
    const int busTimeout = static_cast<int>(std::min<long long>(bound.count() + 2000, 24LL * 3600 * 1000));
    QDBusPendingCall call = m_bus.asyncCall(message, busTimeout);
    const auto end = Clock::now() + bound;
    // The reply arrives on the bus's own thread; this one only looks, paints and waits.
    while (!call.isFinished()) {
        if (net_stop::Requested())
            return {std::nullopt, true};
        if (Clock::now() >= end)
            return {};
        if (m_hook)
            m_hook();
        std::this_thread::sleep_for(kSlice);
    }
    return {call.reply(), false};
}

std::vector<ModemInfo> CModemManagerService::Modems()
{
    std::vector<ModemInfo> modems;
    if (!IsRunning())
        return modems;
    const Reply reply = Call(
        QDBusMessage::createMethodCall(kService, kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects")),
        m_queryTimeout);
    if (!reply.message || reply.message->type() != QDBusMessage::ReplyMessage ||
        reply.message->arguments().isEmpty())
        return modems;
    ManagedObjects objects;
    reply.message->arguments().first().value<QDBusArgument>() >> objects;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const Interfaces& interfaces = it.value();
        // Only modems that can send messages count.
        if (!interfaces.contains(kModem) || !interfaces.contains(kMessaging))
            continue;
        const QVariantMap& modem = interfaces[kModem];
        ModemInfo info;
        info.id = it.key().path().toStdString();
        info.maker = Local(modem.value(QStringLiteral("Manufacturer")).toString());
        info.model = Local(modem.value(QStringLiteral("Model")).toString());
        info.equipmentId = Local(modem.value(QStringLiteral("EquipmentIdentifier")).toString());
        info.primaryPort = modem.value(QStringLiteral("PrimaryPort")).toString().toStdString();
        info.ports = PortNames(modem.value(QStringLiteral("Ports")));
        info.lock = LockOf(modem.value(QStringLiteral("UnlockRequired")).toUInt());
        info.pinRetries = PinRetries(modem.value(QStringLiteral("UnlockRetries")));
        info.signal = SignalPercent(modem.value(QStringLiteral("SignalQuality")));
        if (interfaces.contains(kModem3gpp))
            info.registration =
                RegistrationText(interfaces[kModem3gpp].value(QStringLiteral("RegistrationState")).toUInt());
        info.sim = modem.value(QStringLiteral("Sim")).value<QDBusObjectPath>().path().toStdString();
        modems.push_back(std::move(info));
    }
    return modems;
}

std::string CModemManagerService::ReasonFor(const QString& errorName, const QString& message)
{
    const QString name = errorName;
    if (name.endsWith(QLatin1String(".Unauthorized")) || message.contains(QLatin1String("not authorized")) ||
        name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return Polish("System nie pozwolił wysłać SMS przez ModemManager (odmowa polkit).");
    if (name.endsWith(QLatin1String("Message.NetworkTimeout")))
        return Polish("Sieć nie potwierdziła wiadomości na czas (ModemManager).");
    if (name.endsWith(QLatin1String("IncorrectPassword")))
        return Polish("Kod PIN jest błędny.");
    if (name.endsWith(QLatin1String("SimPin")))
        return Polish("Karta SIM czeka na kod PIN.");
    if (name.endsWith(QLatin1String("SimPuk")))
        return Polish("Karta SIM czeka na kod PUK.");
    if (name.endsWith(QLatin1String("SimNotInserted")))
        return Polish("W modemie nie ma karty SIM.");
    if (name.endsWith(QLatin1String("Core.WrongState")))
        return Polish("Modem nie jest gotowy do wysyłania (ModemManager).");
    if (name.startsWith(QLatin1String("org.freedesktop.ModemManager1.Error.Message.")))
        return Polish("Sieć odrzuciła wiadomość (ModemManager: ") +
               Local(name.section(QLatin1Char('.'), -1)) + ").";
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject"))
        return Polish("Usługa ModemManager przestała odpowiadać.");
    return Polish("ModemManager: ") + Local(message.isEmpty() ? name : message);
}

COutcome CModemManagerService::Send(const ModemInfo& modem, const std::string& number,
                                    const std::string& text, int* lastReference)
{
    if (lastReference)
        *lastReference = -1;
    if (!IsRunning())
        return COutcome::Failed(Polish("Usługa ModemManager nie działa."));
    const auto failure = [](const Reply& reply, const std::string& timedOut) {
        if (reply.stopped)
            return COutcome::Failed(Polish("Wysyłanie przerwano."));
        if (!reply.message)
            return COutcome::Failed(timedOut);
        return COutcome::Failed(ReasonFor(reply.message->errorName(), reply.message->errorMessage()));
    };
    const QString modemPath = QString::fromStdString(modem.id);
    QDBusMessage create =
        QDBusMessage::createMethodCall(kService, modemPath, kMessaging, QStringLiteral("Create"));
    QVariantMap properties;
    properties.insert(QStringLiteral("number"), QString::fromStdString(number));
    properties.insert(QStringLiteral("text"), QString::fromStdString(windows1250::ToUtf8(text)));
    // Reports can cost money: the request goes only when the user turned them on, and otherwise
    // the properties stay exactly as they always were.
    if (m_deliveryReports)
        properties.insert(QStringLiteral("delivery-report-request"), true);
    create << properties;
    const Reply created = Call(create, m_queryTimeout);
    if (!created.message || created.message->type() != QDBusMessage::ReplyMessage ||
        created.message->arguments().isEmpty())
        return failure(created,
                       Polish("ModemManager nie odpowiedział w ciągu ") + Seconds(m_queryTimeout) + " s.");
    const QString smsPath = created.message->arguments().first().value<QDBusObjectPath>().path();
    const Reply sent =
        Call(QDBusMessage::createMethodCall(kService, smsPath, kSms, QStringLiteral("Send")), m_sendTimeout);
    COutcome outcome = COutcome::Done();
    if (!sent.message || sent.message->type() != QDBusMessage::ReplyMessage)
        outcome = failure(sent, Polish("ModemManager nie potwierdził wysłania w ciągu ") +
                                    Seconds(m_sendTimeout) + " s.");
    else if (lastReference && m_deliveryReports) {
        // The reference a report will name; read before the copy is deleted below.
        QDBusMessage get =
            QDBusMessage::createMethodCall(kService, smsPath, kProperties, QStringLiteral("Get"));
        get << kSms << QStringLiteral("MessageReference");
        const Reply reference = Call(get, m_queryTimeout);
        if (reference.message && reference.message->type() == QDBusMessage::ReplyMessage &&
            !reference.message->arguments().isEmpty()) {
            bool isNumber = false;
            const uint value =
                reference.message->arguments().first().value<QDBusVariant>().variant().toUInt(&isNumber);
            if (isNumber && value <= 255)
                *lastReference = static_cast<int>(value);
        }
    }
    // Sent or not, the copy in the modem's list is ours to clear: the list is the modem's storage,
    // and a message that failed is sent anew from the outbox. A service that has gone deletes
    // nothing, and needs nothing deleted.
    if (!sent.stopped && IsRunning()) {
        QDBusMessage remove =
            QDBusMessage::createMethodCall(kService, modemPath, kMessaging, QStringLiteral("Delete"));
        remove << QVariant::fromValue(QDBusObjectPath(smsPath));
        (void)Call(remove, m_queryTimeout);
    }
    return outcome;
}

COutcome CModemManagerService::SendPin(const ModemInfo& modem, const std::string& pin)
{
    if (modem.sim.empty())
        return COutcome::Failed(Polish("ModemManager nie widzi karty SIM w modemie."));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QString::fromStdString(modem.sim), kSim,
                                                       QStringLiteral("SendPin"));
    call << QString::fromStdString(pin);
    const Reply reply = Call(call, m_queryTimeout);
    if (reply.message && reply.message->type() == QDBusMessage::ReplyMessage)
        return COutcome::Done();
    if (reply.stopped)
        return COutcome::Failed(Polish("Wysyłanie przerwano."));
    if (!reply.message)
        return COutcome::Failed(Polish("ModemManager nie odpowiedział w ciągu ") + Seconds(m_queryTimeout) +
                                " s.");
    std::string reason = ReasonFor(reply.message->errorName(), reply.message->errorMessage());
    if (reply.message->errorName().endsWith(QLatin1String("IncorrectPassword"))) {
        // The count the service keeps for the SIM, read again now that it went down.
        for (const ModemInfo& now : Modems()) {
            if (now.id == modem.id && now.pinRetries >= 0)
                reason =
                    Polish("Kod PIN jest błędny; pozostało prób: ") + std::to_string(now.pinRetries) + ".";
        }
    }
    return COutcome::Failed(reason);
}

std::unique_ptr<CMessageReceiver> CModemManagerService::Receiver(const ModemInfo& modem, CMessageDb& db)
{
    return std::make_unique<CModemManagerReceiver>(*this, modem, db);
}
