#pragma once

// The gateways' hosts live in the settings store, section "Hosts"; each value may carry ":port".
// These are the operators' own hosts, used while the store has no value of that name.
namespace gateway_hosts {

inline constexpr const char* kSection = "Hosts";

inline constexpr const char* kEra = "Era";
inline constexpr const char* kEraDefault = "www.eraomnix.pl";
inline constexpr const char* kIdea = "Idea";
inline constexpr const char* kIdeaDefault = "sms.idea.pl";
// Shown in the sending-methods list only; nothing is sent there.
inline constexpr const char* kIdeaHome = "IdeaHome";
inline constexpr const char* kIdeaHomeDefault = "www.idea.pl";
inline constexpr const char* kPlus = "Plus";
inline constexpr const char* kPlusDefault = "www.text.plusgsm.pl";

} // namespace gateway_hosts
