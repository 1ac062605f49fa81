#include "cli/DumpCommand.h"

#include "app/Document.h"
#include "store/Windows1250.h"

namespace {

using Json = nlohmann::ordered_json;

std::string U(const std::string& text)
{
    return windows1250::ToUtf8(text);
}

Json Messages(const CMessageList& list)
{
    Json array = Json::array();
    for (const auto& m : list.GetMessages())
        array.push_back({{"recipients", U(m->GetRecipients())}, {"text", U(m->GetText())}, {"time", m->GetTime()}});
    return array;
}

Json FolderView(const CFolderViewData& view)
{
    return {{"recipientsWidth", view.recipientsWidth}, {"textWidth", view.textWidth}};
}

Json Entry(const CAddress& a)
{
    return {{"firstName", U(a.GetFirstName())},         {"surname", U(a.GetSurname())},
            {"displayName", U(a.GetDisplayName())},     {"countryPrefix", U(a.GetCountryPrefix())},
            {"operatorCode", U(a.GetOperatorCode())},   {"subscriberNumber", U(a.GetSubscriberNumber())},
            {"fullNumber", U(a.GetFullNumber())}};
}

Json Settings(const CSettingsData& s)
{
    Json reserved = Json::array();
    for (const auto& r : s.GetReservedStrings())
        reserved.push_back(U(r));
    return {{"route", s.GetRoute()},
            {"emailAddress", U(s.GetEmailAddress())},
            {"smtpServer", U(s.GetSmtpServer())},
            {"smsGateway", U(s.GetSmsGateway())},
            {"formatMarker", U(s.GetFormatMarker())},
            {"reservedNumber", s.GetReservedNumber()},
            {"reservedStrings", reserved},
            {"moveDeletedMessages", s.GetMoveDeletedMessagesValue()},
            {"emptyDeletedFolder", s.GetEmptyDeletedFolderValue()},
            {"useProxy", s.GetUseProxyValue()},
            {"proxyHost", U(s.GetProxyHost())},
            {"proxyPort", s.GetProxyPort()}};
}

Json MailWatch(const CMailCheckerData& m)
{
    // A dump ends up in terminals, logs and bug reports: the mailbox password is only said to exist.
    const std::string password = m.password.empty() ? "" : "***";
    return {{"countryPrefix", U(m.countryPrefix)}, {"noticeText", U(m.noticeText)},
            {"networkPrefix", U(m.networkPrefix)}, {"number", U(m.number)},
            {"password", password},                {"interval", m.interval},
            {"notify", m.notify},                  {"server", U(m.server)},
            {"user", U(m.user)},                   {"enabled", m.enabled}};
}

} // namespace

nlohmann::ordered_json DumpDocument(CBrivantelDoc& doc)
{
    Json out;
    const auto& abv = doc.GetAddressBookViewData();
    out["addressBookView"] = {{"viewMode", abv.viewMode}, {"nameWidth", abv.nameWidth}, {"phoneWidth", abv.phoneWidth}};
    Json book = Json::array();
    for (const auto& entry : doc.GetAddressBook().GetEntries())
        book.push_back(Entry(*entry));
    out["addressBook"] = book;
    out["settings"] = Settings(doc.GetSettings());
    out["composeView"] = {{"recipients", U(doc.GetSendMessageViewData().recipients)},
                          {"text", U(doc.GetSendMessageViewData().text)}};
    Json texts = Json::array();
    for (const auto& t : doc.GetDefinedMessages().GetTexts())
        texts.push_back(U(t));
    out["predefinedTexts"] = texts;
    out["drafts"] = Messages(doc.GetDrafts());
    out["draftsView"] = FolderView(doc.GetDraftsViewData());
    out["deleted"] = Messages(doc.GetDeletedMessages());
    out["deletedView"] = FolderView(doc.GetDeletedMessagesViewData());
    out["mailWatch"] = MailWatch(doc.GetMailCheckerData());
    out["sent"] = Messages(doc.GetSent());
    Json sentView = FolderView(doc.GetSentViewData());
    sentView["dateWidth"] = doc.GetSentViewData().dateWidth;
    out["sentView"] = sentView;
    out["outbox"] = Messages(doc.GetOutbox());
    out["outboxView"] = FolderView(doc.GetOutboxViewData());
    return out;
}
