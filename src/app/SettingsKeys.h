#pragma once

#include "app/SettingsStore.h"
#include "send/SendEnvironment.h"

// Every value the program keeps in the settings store, with what it reads as while unset. On
// Windows these are the program's registry values, so sections and names are never renamed.
namespace settings_keys {

// The signature the web gateways put under a message, and the phone's port: "COM" and a digit, or
// a device path. Both are held for the run and written back at its end.
inline constexpr StringSetting kSignature{"Settings", "Sign", ""};
inline constexpr StringSetting kPhonePort{"Settings", "Port", ""};
// "auto" (text or PDU mode per message) or "text"; written only once the user chose otherwise.
inline constexpr StringSetting kPhoneEncoding{"Settings", "PhoneEncoding", "auto"};
// Who talks to the phone: "auto" (the system's modem service when it manages the port's modem,
// the port itself otherwise), "modemmanager" or "serial".
inline constexpr StringSetting kPhoneBackend{"Settings", "PhoneBackend", "auto", true};
// 1: the phone asks the network for a delivery report of each message (some operators charge).
inline constexpr IntSetting kDeliveryReports{"Settings", "DeliveryReports", 0};
// Seconds between readings of the phone's received messages; 0 turns them off.
inline constexpr IntSetting kReceiveInterval{"Settings", "ReceiveInterval", 60};
// Column widths the data file has no room for (its view records keep their layout): the sent
// folder's "Stan" and the "Odebrane" folder's columns.
inline constexpr IntSetting kSentStateWidth{"View", "SentStateWidth", 200};
inline constexpr IntSetting kReceivedFromWidth{"View", "ReceivedFromWidth", 130};
inline constexpr IntSetting kReceivedTextWidth{"View", "ReceivedTextWidth", 330};
inline constexpr IntSetting kReceivedTimeWidth{"View", "ReceivedTimeWidth", 170};
// The main window's placement (see WindowPlacement.h).
inline constexpr StringSetting kWindowPlacement{"Settings", "WindowPos", ""};

// The parts of the main window the user shows or hides.
inline constexpr FlagSetting kShowFolderList{"View", "FolderList", true};
inline constexpr FlagSetting kShowFolderBar{"View", "FolderBar", true};
inline constexpr FlagSetting kShowToolBar{"View", "ToolBar", true};
inline constexpr FlagSetting kShowFolderButtons{"View", "FolderTool", true};
inline constexpr FlagSetting kShowStatusBar{"View", "StatusBar", true};

// The daily online update: on when 1, combined bitwise with the due day as it always was; the day
// of the last complete update ("%Y-%m-%d").
inline constexpr IntSetting kAutoUpdate{"Update", "AutoUpdate", 0};
inline constexpr StringSetting kLastUpdate{"Update", "Date", "2000-02-11"};

// The hosts of the outside services, "host" or "host:port". The maker's default is a reserved
// name that never resolves, so a copy that was not told its server sends nothing anywhere.
inline constexpr StringSetting kMakerHost{"Hosts", "Update", "www.brivantel.example"};
inline constexpr StringSetting kEraHost{"Hosts", "Era", "www.eraomnix.pl", true};
inline constexpr StringSetting kIdeaHost{"Hosts", "Idea", "sms.idea.pl", true};
// Shown in the sending-methods list only; nothing is sent there.
inline constexpr StringSetting kIdeaHomeHost{"Hosts", "IdeaHome", "www.idea.pl", true};
inline constexpr StringSetting kPlusHost{"Hosts", "Plus", "www.text.plusgsm.pl", true};

// The command-line tool's last mailbox count, and the account it belongs to.
// "Rozmowy": the person whose thread is open (a normalised number or a sender's name), and in
// their own section each person's reply begun and not yet sent, under the person's number. Never
// in the data file.
inline constexpr StringSetting kConversationOpen{"View", "Conversation", ""};
inline constexpr const char* kConversationRepliesSection = "ConversationReplies";

inline constexpr IntSetting kMailLastCount{"MailCheck", "LastCount", 0};
inline constexpr StringSetting kMailAccount{"MailCheck", "Account", ""};

// The user's own gateway. The section holds the provider's token (Headers): once it is there the
// settings file is readable by its owner only, and Headers is never shown whole.
inline constexpr StringSetting kGatewayEnabled{"Gateway", "Enabled", "", true}; // "1" or "0"
inline constexpr StringSetting kGatewayName{"Gateway", "Name",
                                            "W\xB3"
                                            "asna bramka",
                                            true};
inline constexpr StringSetting kGatewayUrl{"Gateway", "Url", "", true};
inline constexpr StringSetting kGatewayMethod{"Gateway", "Method", "POST", true};
inline constexpr StringSetting kGatewayBody{"Gateway", "Body", "", true};
inline constexpr StringSetting kGatewayContentType{"Gateway", "ContentType",
                                                   "application/x-www-form-urlencoded", true};
inline constexpr StringSetting kGatewayHeaders{"Gateway", "Headers", "", true};
inline constexpr StringSetting kGatewaySuccess{"Gateway", "Success", "", true};
inline constexpr StringSetting kGatewayNumbers{"Gateway", "Numbers", "", true};
inline constexpr StringSetting kGatewayCaFile{"Gateway", "CaFile", "", true};

// What the senders read, as the program hands it to them.
inline std::string GatewayHostOf(const CSettingsStore& store, GatewayHost gateway)
{
    static constexpr const StringSetting* kHosts[] = {&kEraHost, &kIdeaHost, &kIdeaHomeHost, &kPlusHost};
    return store.Get(*kHosts[static_cast<int>(gateway)]);
}
inline OwnGatewaySettings OwnGatewayOf(const CSettingsStore& store)
{
    return {store.Get(kGatewayEnabled), store.Get(kGatewayName),    store.Get(kGatewayUrl),
            store.Get(kGatewayMethod),  store.Get(kGatewayBody),    store.Get(kGatewayContentType),
            store.Get(kGatewayHeaders), store.Get(kGatewaySuccess), store.Get(kGatewayNumbers),
            store.Get(kGatewayCaFile)};
}

} // namespace settings_keys
