#include "send/Sender.h"

#include "send/ERASender.h"
#include "send/IdeaSender.h"
#include "send/PLUSSender.h"
#include "send/SendEnvironment.h"
#include "store/SettingsData.h"
#include "store/Windows1250.h"

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
    // The port is read at every send, so a port chosen on the settings page counts at once.
    CPhoneSender phone(
        m_environment.GetPhonePort(), [this] { m_environment.SendWaitHook(); }, m_phoneTimeouts);
    phone.SetEncoding(CPhoneSender::EncodingFor(m_environment.GetPhoneEncoding()));
    phone.SetDeliveryReports(m_environment.GetDeliveryReports());
    return phone.Send(number, text);
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
