#pragma once

#include <string>
#include <string_view>

#include "send/SMSMessageSender.h"

namespace own_gateway {

// The test message of "Wyślij próbną wiadomość" and of the command-line tool.
inline constexpr const char* kTestText = "Pr\xF3"
                                         "bna wiadomo\x9C\xE6 z programu Brivantel.";

// Each header line with its value hidden, for showing the setting without its secrets.
std::string HideHeaderValues(std::string_view headers);

} // namespace own_gateway

// The user's own SMS gateway: an HTTP API of an SMS provider, described in the settings store
// (address, method, body, headers, success text, served prefixes). Today's providers answer over
// HTTPS only, while the operators' forms the other three senders fill in are gone.
class COwnGatewaySender final : public CSMSMessageSender
{
public:
    struct Config
    {
        bool enabled = false;
        std::string name, url, method, body, contentType, headers, success, numbers, caFile;
    };
    // What one exchange came to. The status line and the body are the server's own bytes; the
    // reason is Polish (Windows-1250), empty on delivery, and never holds a header value.
    struct Outcome
    {
        bool delivered = false;
        std::string statusLine;
        std::string body;
        std::string reason;
    };
    // How a placeholder's value is written where it stands.
    enum class Encoding
    {
        Url,
        Form,
        Json,
        Xml,
        Raw
    };

    explicit COwnGatewaySender(CSendEnvironment& environment);

    // Read from the settings store at each use, so a change counts at once.
    Config ReadConfig() const;

    bool IsEnabled() const { return ReadConfig().enabled; }
    // Enabled, and the number begins with one of the served prefixes (all numbers when none).
    bool SupportsNumber(const std::string& number) const override;
    COutcome Send(const std::string& number, const std::string& text) override;
    bool SignatureIsEmail() const override { return false; }
    std::string GetGatewayAddress() const override;

    // One message through this gateway, whether it is enabled or not (the test button), with the
    // stored settings or with the ones given (the dialog's fields before they are kept).
    Outcome Deliver(const std::string& number, const std::string& text);
    Outcome Deliver(const Config& config, const std::string& number, const std::string& text);
    const Outcome& LastOutcome() const { return m_last; }

    // The name, the URL's host and the prefixes ("wszystkie" for every number), as the list shows.
    std::string ListName() const;
    std::string ListPrefixes() const;

    // The template with {number}, {number_digits}, {text} and {signature} filled in: values in
    // UTF-8, encoded for where they stand. Everything else, a lone "{" too, stays as written.
    static std::string Fill(std::string_view templ, const std::string& number, const std::string& textUtf8,
                            const std::string& signatureUtf8, Encoding encoding);
    static std::string Encode(std::string_view value, Encoding encoding);
    // The body's encoding for a Content-Type value.
    static Encoding BodyEncoding(std::string_view contentType);

private:
    static bool Served(const Config& config, const std::string& number);

    Outcome m_last;
};
