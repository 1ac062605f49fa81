#pragma once

#include "send/SMSMessageSender.h"

// Idea Centertel: one HTTP/1.0 post of the operator's launch-pad form, confirmed by
// "została wysłana".
class CIdeaSender final : public CSMSMessageSender
{
public:
    explicit CIdeaSender(CSendEnvironment& environment);

    bool SupportsNumber(const std::string& number) const override;
    COutcome Send(const std::string& number, const std::string& text) override;
    std::string GetGatewayAddress() const override;

    // The form's body for this moment and signature.
    static std::string Body(const std::string& number, const std::string& text, const std::string& signature,
                            const std::tm& now);
};
