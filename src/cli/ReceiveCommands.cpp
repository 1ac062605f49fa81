#include <ctime>
#include <iostream>
#include <map>

#include <QCoreApplication>
#include <QFileInfo>

#include <nlohmann/json.hpp>

#include "app/qt/SignalPipe.h"
#include "cli/Command.h"
#include "messagedb/MessageDb.h"
#include "phone/MessageReceiver.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kUnreadable = "Nieczytelna wiadomość";

// Brivantel.db beside the data file; what the user must know of it goes to standard error.
bool OpenMessages(CCommandContext& ctx, CMessageDb& db)
{
    const QString path = ctx.DataFilePath();
    if (path.isEmpty()) {
        PrintErrorUtf8("Nie można utworzyć katalogu danych.");
        return false;
    }
    const auto opened = db.Open(QFileInfo(path).absolutePath().toStdString());
    if (!opened.message.empty())
        PrintErrorUtf8(opened.message);
    return opened.ok;
}

// The address book's names by number, each number in the one form the database keeps.
std::map<std::string, std::string> NamesByNumber(CCommandContext& ctx)
{
    std::map<std::string, std::string> names;
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return names;
    for (const auto& entry : doc->GetAddressBook().GetEntries())
        names.emplace(CMessageDb::NormaliseNumber(entry->GetFullNumber()),
                      windows1250::ToUtf8(entry->GetDisplayName()));
    return names;
}

// "2026-12-08T21:05:10+01:00": the centre's own time and zone, or the receiving time in the
// computer's zone when the centre gave none.
std::string IsoTime(const StoredMessage& m)
{
    std::tm t{};
    long offset = 0;
    if (m.sentKnown) {
        offset = m.zoneMinutes * 60L;
        const std::time_t local = static_cast<std::time_t>(m.sentUtc + offset);
        ::gmtime_r(&local, &t);
    } else {
        const std::time_t when = static_cast<std::time_t>(m.receivedUtc);
        ::localtime_r(&when, &t);
        offset = t.tm_gmtoff;
    }
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &t);
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[40];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(text) + zone;
}

std::string ShownText(const StoredMessage& m)
{
    return m.readable ? m.text : kUnreadable;
}

// One line per message: time, sender (its name when the book knows it), text on one line.
void PrintLine(const StoredMessage& m, const std::map<std::string, std::string>& names)
{
    const auto name = names.find(m.sender);
    std::string text = ShownText(m);
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    std::cout << IsoTime(m) << '\t' << (name != names.end() ? name->second : m.senderRaw) << '\t' << text
              << std::endl;
}

// The receiver of the backend chosen (--backend or Settings/PhoneBackend) for the port chosen
// (--port or Settings/Port); none, with the reason printed and the exit status set, when there
// is none. The database need not be open yet.
// backend, device: what was chosen, for choosing again.
std::unique_ptr<CMessageReceiver> ChooseReceiver(CCommandContext& ctx, CMessageDb& db, int& status,
                                                 std::string* chosenBackend = nullptr,
                                                 std::string* chosenDevice = nullptr)
{
    status = kExitOk;
    std::string backend;
    if (!ctx.PhoneBackendChoice(backend)) {
        status = kExitUsage;
        return nullptr;
    }
    std::string port;
    if (ctx.Parser().isSet("port")) {
        if (!ctx.OptionText("port", port)) {
            status = kExitUsage;
            return nullptr;
        }
    } else {
        port = ctx.Settings().Get(settings_keys::kPhonePort);
    }
    const std::string device = CPhoneSender::DeviceFor(port);
    if (chosenBackend)
        *chosenBackend = backend;
    if (chosenDevice)
        *chosenDevice = device;
    ReceiverChoice choice = phone_receiver::Choose(backend, device, &ctx.ModemService(), db);
    if (!choice.receiver) {
        if (choice.noPort) {
            PrintErrorUtf8("Nie wybrano portu telefonu (Settings/Port albo --port).");
            status = kExitUsage;
        } else {
            PrintErrorUtf8(choice.problem);
            status = kExitFailed;
        }
        return nullptr;
    }
    choice.receiver->SetStatusReports(ctx.Settings().Get(settings_keys::kDeliveryReports) != 0);
    return std::move(choice.receiver);
}

// Prints what one reading brought; false when it failed.
bool ReadPhone(CMessageReceiver& receiver, CMessageDb& db, const std::map<std::string, std::string>& names,
               std::string* lastProblem = nullptr)
{
    const ReceiveReport report = receiver.Receive(std::time(nullptr));
    for (const auto id : report.shown)
        PrintLine(db.Find(id), names);
    for (const auto& note : report.notes)
        PrintErrorUtf8(note);
    if (report.storageFull)
        PrintErrorUtf8("Pamięć wiadomości telefonu (" + report.storage +
                       ") jest pełna: sieć nie dostarczy nowych, dopóki się nie zwolni.");
    if (!report.ok) {
        // The watch repeats itself every minute: the same trouble is told once.
        if (!lastProblem || *lastProblem != report.problem)
            PrintErrorUtf8(report.problem);
        if (lastProblem)
            *lastProblem = report.problem;
        return false;
    }
    if (lastProblem)
        lastProblem->clear();
    return true;
}

int Receive(CCommandContext& ctx)
{
    CMessageDb db;
    int status = kExitOk;
    const auto receiver = ChooseReceiver(ctx, db, status);
    if (!receiver)
        return status;
    if (!OpenMessages(ctx, db))
        return kExitFailed;
    const auto names = NamesByNumber(ctx);
    EndOnSignals();
    const bool read = ReadPhone(*receiver, db, names);
    // Every message read is committed to Brivantel.db as it comes: nothing is left unsaved.
    if (const int interrupted = InterruptedStatus(true))
        return interrupted;
    return read ? kExitOk : kExitFailed;
}

int Inbox(CCommandContext& ctx)
{
    CMessageDb db;
    if (!OpenMessages(ctx, db))
        return kExitFailed;
    const auto names = NamesByNumber(ctx);
    ListOptions options;
    options.unreadOnly = ctx.Parser().isSet("unread");
    const auto messages = db.List(options, std::time(nullptr));
    if (!ctx.Parser().isSet("json")) {
        for (const auto& m : messages)
            PrintLine(m, names);
        return kExitOk;
    }
    Json list = Json::array();
    for (const auto& m : messages) {
        Json item;
        item["from"] = m.senderRaw.empty() ? m.sender : m.senderRaw;
        if (const auto name = names.find(m.sender); name != names.end())
            item["name"] = name->second;
        item["time"] = IsoTime(m);
        item["text"] = ShownText(m);
        item["read"] = m.read;
        item["complete"] = m.complete;
        if (!m.readable)
            item["reason"] = m.reason;
        list.push_back(std::move(item));
    }
    std::cout << list.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
    return kExitOk;
}

// Waits the seconds out, or less when a stop signal comes or the source announces a message.
void SleepSeconds(int seconds, const bool& news)
{
    constexpr long kSliceMs = 200;
    for (long waited = 0; waited < seconds * 1000L && CSignalPipe::Received() == 0 && !news;
         waited += kSliceMs) {
        // The modem service's announcements come through the event loop.
        QCoreApplication::processEvents();
        timespec slice{0, kSliceMs * 1000000L};
        ::nanosleep(&slice, nullptr); // a stop signal cuts it short
    }
}

int WatchSms(CCommandContext& ctx)
{
    CMessageDb db;
    int status = kExitOk;
    std::string backend;
    std::string device;
    auto receiver = ChooseReceiver(ctx, db, status, &backend, &device);
    if (!receiver)
        return status;
    int interval = ctx.Settings().Get(settings_keys::kReceiveInterval);
    if (ctx.Parser().isSet("interval")) {
        bool number = false;
        interval = ctx.Parser().value("interval").toInt(&number);
        if (!number || interval < 1 || interval > 86400) {
            PrintErrorUtf8("Odstęp odbierania musi być liczbą sekund od 1 do 86400.");
            return kExitUsage;
        }
    }
    // Turned off for the desktop program; a watch asked for by name still polls.
    if (interval <= 0)
        interval = settings_keys::kReceiveInterval.fallback;
    if (!OpenMessages(ctx, db))
        return kExitFailed;
    const auto names = NamesByNumber(ctx);
    EndOnSignals();
    std::cerr << "Odbieranie wiadomości co " << interval << " s (Ctrl+C kończy)." << std::endl;
    bool news = false;
    const bool reports = ctx.Settings().Get(settings_keys::kDeliveryReports) != 0;
    receiver->SetNewsObserver([&news] { news = true; });
    std::string lastProblem;
    while (CSignalPipe::Received() == 0) {
        news = false;
        if (!ReadPhone(*receiver, db, names, &lastProblem)) {
            // A modem plugged in again is a new object of the modem service, and one the service
            // let go is the port's again: the next round reads whatever serves the phone now.
            ReceiverChoice again = phone_receiver::Choose(backend, device, &ctx.ModemService(), db);
            if (again.receiver) {
                receiver = std::move(again.receiver);
                receiver->SetStatusReports(reports);
                receiver->SetNewsObserver([&news] { news = true; });
            }
        }
        SleepSeconds(interval, news);
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> ReceiveCommands()
{
    const QCommandLineOption port("port", "Port telefonu zamiast Settings/Port (np. /dev/ttyUSB0).", "PORT");
    const QCommandLineOption json("json", "Lista w JSON (UTF-8).");
    const QCommandLineOption unread("unread", "Tylko nieprzeczytane.");
    const QCommandLineOption backend(
        "backend", "auto, modemmanager albo serial zamiast Settings/PhoneBackend.", "BACKEND");
    const QCommandLineOption interval(
        "interval", "Co ile sekund czytać telefon (domyślnie Settings/ReceiveInterval).", "S");
    return {
        {{"receive"},
         "receive [--port PORT] [--backend auto|modemmanager|serial]",
         "Czyta wiadomości z telefonu, zapisuje je w Brivantel.db, usuwa z telefonu i wypisuje nowe.",
         {port, backend},
         0,
         Receive},
        {{"inbox"},
         "inbox [--json] [--unread]",
         "Wypisuje odebrane wiadomości z Brivantel.db.",
         {json, unread},
         0,
         Inbox},
        {{"watch-sms"},
         "watch-sms [--port PORT] [--backend auto|modemmanager|serial] [--interval S]",
         "Czyta telefon co S sekund i wypisuje nowe wiadomości, aż do przerwania (Ctrl+C).",
         {port, backend, interval},
         0,
         WatchSms},
    };
}
