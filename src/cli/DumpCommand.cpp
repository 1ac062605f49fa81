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

    void BeginArray(const char* key)
    {
        Key(key);
        m_elements = 0;
    }
    void Element(const Json& value)
    {
        m_out << (m_elements++ == 0 ? "[\n    " : ",\n    ");
        Nested(value.dump(2), 2);
    }
    void EndArray() { m_out << (m_elements == 0 ? "[]" : "\n  ]"); }

    template <class Items, class ToJson> void Array(const char* key, const Items& items, ToJson toJson)
    {
        BeginArray(key);
        for (const auto& item : items)
            Element(toJson(item));
        EndArray();
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
    std::size_t m_elements = 0;
};

Json MessageJson(const CMessage& m)
{
    return Json{{"recipients", U(m.GetRecipients())}, {"text", U(m.GetText())}, {"time", m.GetTime()}};
}

// The records in file order, by their index; the folders' keys.
constexpr std::size_t kRecords = 14;
const char* FolderKey(std::size_t index)
{
    switch (index) {
    case 5:
        return "drafts";
    case 7:
        return "deleted";
    case 10:
        return "sent";
    case 12:
        return "outbox";
    default:
        return nullptr;
    }
}

// Writes the record at index (not a folder) as the document holds it.
void WriteRecord(CBrivantelDoc& doc, CDumpWriter& w, std::size_t index)
{
    switch (index) {
    case 0: {
        const auto& abv = doc.GetAddressBookViewData();
        w.Member("addressBookView",
                 {{"viewMode", abv.viewMode}, {"nameWidth", abv.nameWidth}, {"phoneWidth", abv.phoneWidth}});
        break;
    }
    case 1:
        w.Array("addressBook", doc.GetAddressBook().GetEntries(),
                [](const std::unique_ptr<CAddress>& entry) { return Entry(*entry); });
        break;
    case 2:
        w.Member("settings", Settings(doc.GetSettings()));
        break;
    case 3:
        w.Member("composeView", {{"recipients", U(doc.GetSendMessageViewData().recipients)},
                                 {"text", U(doc.GetSendMessageViewData().text)}});
        break;
    case 4:
        w.Array("predefinedTexts", doc.GetDefinedMessages().GetTexts(),
                [](const std::string& t) { return Json(U(t)); });
        break;
    case 6:
        w.Member("draftsView", FolderView(doc.GetDraftsViewData()));
        break;
    case 8:
        w.Member("deletedView", FolderView(doc.GetDeletedMessagesViewData()));
        break;
    case 9:
        w.Member("mailWatch", MailWatch(doc.GetMailCheckerData()));
        break;
    case 11: {
        Json sentView = FolderView(doc.GetSentViewData());
        sentView["dateWidth"] = doc.GetSentViewData().dateWidth;
        w.Member("sentView", sentView);
        break;
    }
    case 13:
        w.Member("outboxView", FolderView(doc.GetOutboxViewData()));
        break;
    default:
        break;
    }
}

CMessageList& Folder(CBrivantelDoc& doc, std::size_t index)
{
    switch (index) {
    case 5:
        return doc.GetDrafts();
    case 7:
        return doc.GetDeletedMessages();
    case 10:
        return doc.GetSent();
    default:
        return doc.GetOutbox();
    }
}

// Writes the dump while the document reads the file: a folder's messages as they are read.
class CStreamingDump final : public CDocumentReader
{
public:
    CStreamingDump(CBrivantelDoc& doc, std::ostream& out) : m_doc(doc), m_writer(out) {}

    void MessageRead(std::size_t index, const CMessage& message) override
    {
        if (!m_open)
            m_writer.BeginArray(FolderKey(index));
        m_open = true;
        m_writer.Element(MessageJson(message));
    }
    void RecordRead(std::size_t index) override
    {
        if (FolderKey(index)) {
            if (!m_open)
                m_writer.BeginArray(FolderKey(index));
            m_writer.EndArray();
            m_open = false;
        } else {
            WriteRecord(m_doc, m_writer, index);
        }
        if (index + 1 == kRecords)
            m_writer.Finish();
    }

private:
    CBrivantelDoc& m_doc;
    CDumpWriter m_writer;
    bool m_open = false;
};

} // namespace

void WriteDump(CBrivantelDoc& doc, std::ostream& out)
{
    CDumpWriter w(out);
    for (std::size_t index = 0; index < kRecords; ++index) {
        if (const char* key = FolderKey(index)) {
            // A folder still held as the file's bytes is read a message at a time, never kept.
            w.BeginArray(key);
            Folder(doc, index).ForEach([&w](const CMessage& m) { w.Element(MessageJson(m)); });
            w.EndArray();
        } else {
            WriteRecord(doc, w, index);
        }
    }
    w.Finish();
}

bool WriteDumpReading(CBrivantelDoc& doc, const std::string& path, std::ostream& out)
{
    CStreamingDump dump(doc, out);
    return doc.ReadThrough(path, &dump);
}
