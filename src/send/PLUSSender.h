#pragma once

#include "send/SMSMessageSender.h"

// Plus GSM: one HTTP/1.0 post of the operator's mail-to-SMS form, confirmed by
// "SMS został wysłany!!!". The form wants a sender's e-mail address.
class CPLUSSender final : public CSMSMessageSender
{
public:
    explicit CPLUSSender(CSendEnvironment& environment);

    bool SupportsNumber(const std::string& number) const override;
    COutcome Send(const std::string& number, const std::string& text) override;
    bool SignatureIsEmail() const override;
    std::string GetGatewayAddress() const override;

    static bool LooksLikeEmail(const std::string& signature);
    // The form's body: the signature as the mail when it is an address, otherwise appended to the
    // text after a backslash with the program's own address as the mail.
    static std::string Body(const std::string& number, const std::string& text, const std::string& signature,
                            const std::tm& now);
};

// The sender address the form gets when the signature is not one.
inline constexpr const char* kMakerSenderAddress = "sms@orvella.pl";
