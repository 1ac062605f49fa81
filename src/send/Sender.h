#pragma once

#include <memory>
#include <string>
#include <vector>

#include "phone/ModemService.h"
#include "send/OwnGatewaySender.h"
#include "send/PhoneSender.h"
#include "send/SMSMessageSender.h"

class CSendEnvironment;

// The network's reference of each part of a text the modem service sent, from the reference of
// its last part (the only one the service names).
std::vector<int> ServicePartReferences(const std::string& text, int lastReference);

// The route dispatcher: the one way out for every message. It only sends; whoever calls it files
// the message by the answer.
class CSender
{
public:
    explicit CSender(CSendEnvironment& environment);
    ~CSender();
    CSender(const CSender&) = delete;
    CSender& operator=(const CSender&) = delete;

    // route: ROUTE_INTERNET, ROUTE_PHONE, or ROUTE_CONFIGURED for the settings record's route.
    // Any other route fails. A failure says why, in Polish.
    SendOutcome Send(const std::string& number, const std::string& text, int route);

    // The gateway that serves the number on the Internet route, or none: the user's own gateway
    // first, when it is enabled and serves the number, then the operators' gateways.
    CSMSMessageSender* GatewayFor(const std::string& number) const;
    COwnGatewaySender& OwnGateway() { return *m_ownGateway; }

    // One row of the sending-methods list, in the order the list shows them.
    struct Method
    {
        std::string name;
        std::string address;
        std::string prefixes;
    };
    std::vector<Method> MethodList() const;

    void SetTimeouts(const GatewayTimeouts& timeouts);
    void SetPhoneTimeouts(const PhoneTimeouts& timeouts) { m_phoneTimeouts = timeouts; }

private:
    SendOutcome SendByInternet(const std::string& number, const std::string& text);
    SendOutcome SendByPhone(const std::string& number, const std::string& text);
    SendOutcome SendByService(CModemService& service, const ModemInfo& modem, const std::string& number,
                              const std::string& text);

    CSendEnvironment& m_environment;
    // Era, Plus, Idea: asked from the last to the first.
    std::vector<std::unique_ptr<CSMSMessageSender>> m_senders;
    std::unique_ptr<COwnGatewaySender> m_ownGateway;
    PhoneTimeouts m_phoneTimeouts;
};
