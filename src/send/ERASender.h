#pragma once

#include "send/SMSMessageSender.h"

// Era GSM: three exchanges on fresh connections: the entry page for the session cookie, the form
// page for its one-time code, and the form post, confirmed by "została wysłana!".
class CERASender final : public CSMSMessageSender
{
public:
    explicit CERASender(CSendEnvironment& environment);

    bool SupportsNumber(const std::string& number) const override;
    COutcome Send(const std::string& number, const std::string& text) override;
    std::string GetGatewayAddress() const override;

private:
    std::optional<std::string> Cookie(const std::string& host);
    std::optional<std::string> FormCode(const std::string& host, const std::string& cookie);
    bool PostForm(const std::string& host, const std::string& cookie, const std::string& body);
    // The request line's target: the path alone, or the whole address when a proxy gets it.
    std::string Target(const std::string& host, const char* path) const;
};
