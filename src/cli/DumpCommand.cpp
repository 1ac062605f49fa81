#include "cli/DumpCommand.h"

#include <nlohmann/json.hpp>

#include "app/Document.h"
#include "store/Windows1250.h"

namespace {

using Json = nlohmann::ordered_json;

std::string U(const std::string& text)
{
    return windows1250::ToUtf8(text);
}

Json FolderView(const CFolderViewData& view)
{
    return {{"recipientsWidth", view.recipientsWidth}, {"textWidth", view.textWidth}};
}

Json Entry(const CAddress& a)
{
    return {{"firstName", U(a.GetFirstName())},       {"surname", U(a.GetSurname())},
            {"displayName", U(a.GetDisplayName())},   {"countryPrefix", U(a.GetCountryPrefix())},
            {"operatorCode", U(a.GetOperatorCode())}, {"subscriberNumber", U(a.GetSubscriberNumber())},
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
    return {{"countryPrefix", U(m.countryPrefix)},
            {"noticeText", U(m.noticeText)},
            {"networkPrefix", U(m.networkPrefix)},
            {"number", U(m.number)},
            {"password", password},
            {"interval", m.interval},
            {"notify", m.notify},
            {"server", U(m.server)},
            {"user", U(m.user)},
            {"enabled", m.enabled}};
}

// Writes an object member by member with the layout of Json::dump(2): a member that is a long
// array is written an element at a time.
class CDumpWriter
{
public:
    explicit CDumpWriter(std::ostream& out) : m_out(out) {}

    void Member(const char* key, const Json& value)
    {
        Key(key);
        Nested(value.dump(2), 1);
    }

    template <class Items, class ToJson> void Array(const char* key, const Items& items, ToJson toJson)
    {
        Key(key);
        if (items.empty()) {
            m_out << "[]";
            return;
        }
        m_out << "[\n";
        bool first = true;
        for (const auto& item : items) {
            m_out << (first ? "    " : ",\n    ");
            first = false;
            Nested(toJson(item).dump(2), 2);
        }
        m_out << "\n  ]";
    }

    void Finish() { m_out << (m_first ? "{}" : "\n}"); }

private:
    void Key(const char* key)
    {
        m_out << (m_first ? "{\n  " : ",\n  ") << Json(key).dump() << ": ";
        m_first = false;
    }

    // A value dumped alone, indented as it stands depth levels down. Strings in JSON hold no raw
    // line breaks, so every one is the layout's own.
    void Nested(const std::string& text, int depth)
    {
        const std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
        std::size_t from = 0;
        for (std::size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
            m_out.write(text.data() + from, static_cast<std::streamsize>(nl + 1 - from));
            m_out << pad;
            from = nl + 1;
        }
        m_out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
    }

    std::ostream& m_out;
    bool m_first = true;
};

const auto kMessage = [](const std::unique_ptr<CMessage>& m) {
    return Json{{"recipients", U(m->GetRecipients())}, {"text", U(m->GetText())}, {"time", m->GetTime()}};
};

} // namespace

void WriteDump(CBrivantelDoc& doc, std::ostream& out)
{
    CDumpWriter w(out);
    const auto& abv = doc.GetAddressBookViewData();
    w.Member("addressBookView",
             {{"viewMode", abv.viewMode}, {"nameWidth", abv.nameWidth}, {"phoneWidth", abv.phoneWidth}});
    w.Array("addressBook", doc.GetAddressBook().GetEntries(),
            [](const std::unique_ptr<CAddress>& entry) { return Entry(*entry); });
    w.Member("settings", Settings(doc.GetSettings()));
    w.Member("composeView", {{"recipients", U(doc.GetSendMessageViewData().recipients)},
                             {"text", U(doc.GetSendMessageViewData().text)}});
    w.Array("predefinedTexts", doc.GetDefinedMessages().GetTexts(),
            [](const std::string& t) { return Json(U(t)); });
    w.Array("drafts", doc.GetDrafts().GetMessages(), kMessage);
    w.Member("draftsView", FolderView(doc.GetDraftsViewData()));
    w.Array("deleted", doc.GetDeletedMessages().GetMessages(), kMessage);
    w.Member("deletedView", FolderView(doc.GetDeletedMessagesViewData()));
    w.Member("mailWatch", MailWatch(doc.GetMailCheckerData()));
    w.Array("sent", doc.GetSent().GetMessages(), kMessage);
    Json sentView = FolderView(doc.GetSentViewData());
    sentView["dateWidth"] = doc.GetSentViewData().dateWidth;
    w.Member("sentView", sentView);
    w.Array("outbox", doc.GetOutbox().GetMessages(), kMessage);
    w.Member("outboxView", FolderView(doc.GetOutboxViewData()));
    w.Finish();
}
