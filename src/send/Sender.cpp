#include "send/Sender.h"

#include "phone/PhoneBackend.h"
#include "send/ERASender.h"
#include "send/IdeaSender.h"
#include "send/PLUSSender.h"
#include "send/SendEnvironment.h"
#include "send/SmsEncoding.h"
#include "store/SettingsData.h"
#include "store/Windows1250.h"

#include <algorithm>
#include <string_view>

namespace {

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

} // namespace

// The service names only the reference of a message's last part; it splits a long text as the
// alphabet demands (GSM 7-bit when every character is in it, UCS-2 otherwise) and sends the parts
// one after another, and the network's references count up by one per part, modulo 256.
std::vector<int> ServicePartReferences(const std::string& text, int lastReference)
{
    const sms::Coding coding = sms::ToSeptets(sms::FromWindows1250(text)).empty() && !text.empty()
                                   ? sms::Coding::Ucs2
                                   : sms::Coding::Gsm7;
    const int parts = std::max(1, sms::PartCount(text, coding));
    std::vector<int> references;
    for (int i = parts - 1; i >= 0; --i)
        references.push_back(((lastReference - i) % 256 + 256) % 256);
    return references;
}

namespace {

SendOutcome Failed(std::string reason)
{
    return {COutcome::Failed(std::move(reason)), {}};
}

} // namespace

CSender::CSender(CSendEnvironment& environment) : m_environment(environment)
{
    m_senders.push_back(std::make_unique<CERASender>(environment));
    m_senders.push_back(std::make_unique<CPLUSSender>(environment));
    m_senders.push_back(std::make_unique<CIdeaSender>(environment));
    m_ownGateway = std::make_unique<COwnGatewaySender>(environment);
}

CSender::~CSender()
{
    while (!m_senders.empty())
        m_senders.pop_back();
}

SendOutcome CSender::Send(const std::string& number, const std::string& text, int route)
{
    if (route == ROUTE_CONFIGURED)
        route = m_environment.GetSendSettings().GetRoute();
    switch (route) {
    case ROUTE_INTERNET:
        return SendByInternet(number, text);
    case ROUTE_PHONE:
        return SendByPhone(number, text);
    default:
        return {COutcome::Failed(windows1250::FromUtf8Lossy("nieznana droga wysyłania")), {}};
    }
}

CSMSMessageSender* CSender::GatewayFor(const std::string& number) const
{
    if (m_ownGateway->SupportsNumber(number))
        return m_ownGateway.get();
    for (auto it = m_senders.rbegin(); it != m_senders.rend(); ++it) {
        if ((*it)->SupportsNumber(number))
            return it->get();
    }
    return nullptr;
}

SendOutcome CSender::SendByInternet(const std::string& number, const std::string& text)
{
    CSMSMessageSender* gateway = GatewayFor(number);
    if (!gateway)
        return {COutcome::Failed(windows1250::FromUtf8Lossy("żadna bramka nie obsługuje tego numeru")), {}};
    return {gateway->Send(number, text), {}};
}

SendOutcome CSender::SendByPhone(const std::string& number, const std::string& text)
{
    // The port and the backend are read at every send, so a choice on the settings page counts
    // at once.
    const std::string port = m_environment.GetPhonePort();
    const std::string device = CPhoneSender::DeviceFor(port);
    const PhoneBackend backend = phone_backend::FromSetting(m_environment.GetPhoneBackend());
    CModemService* service = m_environment.GetModemService();
    std::vector<ModemInfo> modems;
    if (service && backend != PhoneBackend::Serial) {
        service->SetWaitHook([this] { m_environment.SendWaitHook(); });
        modems = service->Modems();
        if (const ModemInfo* modem = phone_backend::ModemFor(modems, device))
            return SendByService(*service, *modem, number, text);
    }
    if (backend == PhoneBackend::ModemManager) {
        if (!service || !service->IsRunning())
            return Failed(Polish("Usługa ModemManager nie działa."));
        if (modems.empty())
            return Failed(Polish("ModemManager nie widzi żadnego modemu."));
        return Failed(device.empty()
                          ? Polish("ModemManager widzi kilka modemów; wybierz jeden (\"Znajdź telefon...\").")
                          : Polish("ModemManager nie obsługuje portu ") + device + ".");
    }
    CPhoneSender phone(
        port, [this] { m_environment.SendWaitHook(); }, m_phoneTimeouts);
    phone.SetEncoding(CPhoneSender::EncodingFor(m_environment.GetPhoneEncoding()));
    phone.SetHeldByService(phone_backend::ServiceHolds(modems, device));
    phone.SetPinSource([this](const std::string& prompt) { return m_environment.AskPin(prompt); });
    phone.SetDeliveryReports(m_environment.GetDeliveryReports());
    SendOutcome outcome = phone.Send(number, text);
    if (phone.PinRefused())
        m_environment.PinWasWrong();
    if (outcome)
        m_environment.NoteSendRoute(
            Polish("SMS przez port ") + device +
            (phone.SentWithoutPolishLetters() ? Polish(" (wysłano bez polskich liter)") : ""));
    return outcome;
}

SendOutcome CSender::SendByService(CModemService& service, const ModemInfo& modem, const std::string& number,
                                   const std::string& text)
{
    if (modem.lock == SimLock::Puk)
        return Failed(Polish("Karta SIM w modemie ") + modem.Name() + Polish(" czeka na kod PUK."));
    if (modem.lock == SimLock::Pin) {
        const auto pin = m_environment.AskPin(Polish("Karta SIM w modemie ") + modem.Name() +
                                              Polish(" czeka na kod PIN. Podaj kod PIN:"));
        if (!pin || pin->empty())
            return Failed(Polish("Karta SIM w modemie ") + modem.Name() + Polish(" czeka na kod PIN."));
        const COutcome unlocked = service.SendPin(modem, *pin);
        if (!unlocked) {
            m_environment.PinWasWrong();
            return {unlocked, {}};
        }
    }
    service.SetSendTimeout(m_phoneTimeouts.service);
    const std::string dial = CPhoneSender::DialableNumber(number);
    if (dial.empty())
        return Failed(Polish("Numer \"") + number + Polish("\" nie nadaje się do wybrania w telefonie."));
    const bool reports = m_environment.GetDeliveryReports();
    service.SetDeliveryReports(reports);
    int lastReference = -1;
    SendOutcome outcome{service.Send(modem, dial, text, &lastReference), {}};
    if (outcome && reports && lastReference >= 0)
        outcome.references = ServicePartReferences(text, lastReference);
    if (outcome)
        m_environment.NoteSendRoute(Polish("SMS przez ModemManager (") + modem.Name() + ")");
    return outcome;
}

std::vector<CSender::Method> CSender::MethodList() const
{
    // Each sender puts its row at the top, the last one first, so the list reads in array order.
    std::vector<Method> rows;
    for (const auto& sender : m_senders)
        rows.push_back({sender->GetName(), sender->GetGatewayAddress(), sender->GetPrefixText()});
    if (m_ownGateway->IsEnabled())
        rows.push_back(
            {m_ownGateway->ListName(), m_ownGateway->GetGatewayAddress(), m_ownGateway->ListPrefixes()});
    return rows;
}

void CSender::SetTimeouts(const GatewayTimeouts& timeouts)
{
    for (const auto& sender : m_senders)
        sender->SetTimeouts(timeouts);
    m_ownGateway->SetTimeouts(timeouts);
}
