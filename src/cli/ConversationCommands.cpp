// The sent folder with each message's delivery state, and the exchange with one person.
#include <ctime>
#include <iostream>

#include <QFileInfo>

#include <nlohmann/json.hpp>

#include "app/Conversations.h"
#include "cli/Command.h"
#include "messagedb/MessageDb.h"
#include "store/Windows1250.h"

namespace {

using Json = nlohmann::ordered_json;

// "2026-12-08T21:05:10+01:00" in the computer's zone.
std::string LocalIso(std::int64_t when)
{
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    const long offset = tm.tm_gmtoff / 60;
    char zone[24];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return std::string(text) + zone;
}

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return text;
}

// The database is optional here: without it the sent folder is listed with no states. A file
// that cannot be opened is told, not hidden.
void OpenDb(CCommandContext& ctx, CMessageDb& db)
{
    const QString path = ctx.DataFilePath();
    if (path.isEmpty())
        return;
    const auto opened = db.Open(QFileInfo(path).absolutePath().toStdString());
    if (!opened.message.empty())
        PrintErrorUtf8(opened.message);
}

const char* KindWord(ThreadItem::Kind kind)
{
    switch (kind) {
    case ThreadItem::Kind::Sent:
        return "sent";
    case ThreadItem::Kind::Queued:
        return "queued";
    case ThreadItem::Kind::Received:
        break;
    }
    return "received";
}

Json ItemJson(const ThreadItem& item, const CConversations& conversations)
{
    Json j;
    j["time"] = LocalIso(item.time);
    if (item.kind != ThreadItem::Kind::Received)
        j["recipient"] = windows1250::ToUtf8(item.filed);
    else if (const std::string name = conversations.NameFor(item.key); !name.empty())
        j["name"] = name;
    j["number"] = item.number;
    j["text"] = item.text;
    const char* state = DeliveryWord(item.delivery.state);
    if (*state)
        j["delivery"] = state;
    else
        j["delivery"] = nullptr;
    if (item.delivery.state == Delivery::Delivered && item.delivery.at)
        j["delivered"] = LocalIso(item.delivery.at);
    return j;
}

int Sent(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    CMessageDb db;
    OpenDb(ctx, db);
    const CConversations conversations(*doc, db, std::time(nullptr));
    const auto sent = conversations.Sent();
    if (ctx.Parser().isSet("json")) {
        Json list = Json::array();
        for (const auto& item : sent)
            list.push_back(ItemJson(item, conversations));
        std::cout << list.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
        return kExitOk;
    }
    for (const auto& item : sent)
        std::cout << LocalIso(item.time) << '\t' << windows1250::ToUtf8(item.filed) << '\t' << item.number
                  << '\t' << DeliveryWord(item.delivery.state) << '\t' << OneLine(item.text) << std::endl;
    return kExitOk;
}

int Thread(CCommandContext& ctx)
{
    const auto who = TextFromCommandLine(ctx.Positional().value(0));
    if (!who || who->empty()) {
        PrintErrorUtf8("Podaj numer albo nazwę z książki adresowej.");
        return kExitUsage;
    }
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    CMessageDb db;
    OpenDb(ctx, db);
    const CConversations conversations(*doc, db, std::time(nullptr));
    const auto thread = conversations.Thread(conversations.KeyFor(*who));
    if (ctx.Parser().isSet("json")) {
        Json list = Json::array();
        for (const auto& item : thread) {
            Json j = ItemJson(item, conversations);
            j["direction"] = KindWord(item.kind);
            if (item.kind == ThreadItem::Kind::Received)
                j["read"] = item.read;
            list.push_back(std::move(j));
        }
        std::cout << list.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
        return kExitOk;
    }
    for (const auto& item : thread) {
        const char* arrow = item.kind == ThreadItem::Kind::Received ? "<" : ">";
        std::cout << LocalIso(item.time) << '\t' << arrow << '\t' << KindWord(item.kind) << '\t'
                  << DeliveryWord(item.delivery.state) << '\t' << OneLine(item.text) << std::endl;
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> ConversationCommands()
{
    const QCommandLineOption json("json", "Lista w JSON (UTF-8).");
    return {
        {{"sent"},
         "sent [--json]",
         "Wypisuje wysłane wiadomości, najnowsze na końcu, ze stanem doręczenia.",
         {json},
         0,
         Sent},
        {{"thread"},
         "thread NUMER|NAZWA [--json]",
         "Wypisuje rozmowę z osobą: wysłane i odebrane wiadomości w kolejności czasu, ze stanami.",
         {json},
         1,
         Thread},
    };
}
