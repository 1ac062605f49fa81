// The mailbox watch from a terminal: setting it up, one check, and the schedule for a headless
// machine.

#include <cerrno>
#include <ctime>
#include <fstream>
#include <iostream>

#include "app/MailSchedule.h"
#include "app/qt/SignalPipe.h"
#include "cli/Command.h"
#include "store/Windows1250.h"

namespace {

// The last announced count lives in the settings store between runs, so a check run by cron
// announces only a change, as the running program does. It belongs to one mailbox.

std::string AccountKey(const CMailCheckerData& data)
{
    return data.user + "@" + data.server;
}

void RestoreLastCount(CCommandContext& ctx, CMailCheckerData& data)
{
    if (ctx.Settings().Get(settings_keys::kMailAccount) == AccountKey(data))
        data.lastCount = ctx.Settings().Get(settings_keys::kMailLastCount);
}

bool KeepLastCount(CCommandContext& ctx, CBrivantelDoc& doc)
{
    if (doc.GetLastMailCheck().outcome != CMailCheckResult::Outcome::Checked)
        return true;
    const CMailCheckerData& data = doc.GetMailCheckerData();
    ctx.Settings().Set(settings_keys::kMailAccount, AccountKey(data));
    ctx.Settings().Set(settings_keys::kMailLastCount, data.lastCount);
    if (ctx.Settings().Sync())
        return true;
    PrintErrorUtf8("Nie udało się zapisać liczby wiadomości w ustawieniach.");
    return false;
}

std::string U(const std::string& text)
{
    return windows1250::ToUtf8(text);
}

bool ReadPasswordFile(const QString& path, std::string& password)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        PrintErrorUtf8("Nie można odczytać pliku z hasłem " + path.toStdString() + ".");
        return false;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // The server would take what follows a line break for a command of its own; such a password
    // can never log in.
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        PrintErrorUtf8("Hasło nie może zawierać znaków końca wiersza.");
        return false;
    }
    const auto text = TextFromCommandLine(QString::fromUtf8(line));
    if (!text) {
        PrintErrorUtf8("Hasło zawiera znaki spoza kodowania Windows-1250.");
        return false;
    }
    password = *text;
    return true;
}

bool FlagOption(CCommandContext& ctx, const QString& name, std::int32_t& flag)
{
    if (!ctx.Parser().isSet(name))
        return true;
    const QString value = ctx.Parser().value(name);
    if (value != "0" && value != "1") {
        PrintErrorUtf8("Opcja --" + name.toStdString() + " przyjmuje 0 albo 1.");
        return false;
    }
    flag = value == "1" ? 1 : 0;
    return true;
}

bool IntervalOption(CCommandContext& ctx, std::int32_t& interval)
{
    if (!ctx.Parser().isSet("interval"))
        return true;
    bool ok = false;
    const int value = ctx.Parser().value("interval").toInt(&ok);
    if (!ok || value < 1 || value > 3600) {
        PrintErrorUtf8("Odstęp sprawdzania musi być liczbą minut od 1 do 3600.");
        return false;
    }
    interval = value;
    return true;
}

bool TextOption(CCommandContext& ctx, const QString& name, std::string& field)
{
    return !ctx.Parser().isSet(name) || ctx.OptionText(name, field);
}

// Only the options given change; the rest of the record stays as it is.
bool ApplyOptions(CCommandContext& ctx, CMailCheckerData& data)
{
    CMailCheckerData next = data;
    if (!TextOption(ctx, "server", next.server) || !TextOption(ctx, "user", next.user) ||
        !TextOption(ctx, "country", next.countryPrefix) || !TextOption(ctx, "network", next.networkPrefix) ||
        !TextOption(ctx, "number", next.number) || !IntervalOption(ctx, next.interval) ||
        !FlagOption(ctx, "notify", next.notify) || !FlagOption(ctx, "enabled", next.enabled))
        return false;
    if (ctx.Parser().isSet("password-file") &&
        !ReadPasswordFile(ctx.Parser().value("password-file"), next.password))
        return false;
    data = next;
    return true;
}

int Configure(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    CMailCheckerData& data = doc->GetMailCheckerData();
    if (!ApplyOptions(ctx, data))
        return kExitUsage;
    if (!doc->SaveDataFile())
        return kExitFailed;
    // The password is never printed, only whether there is one.
    std::cout << "server\t" << U(data.server) << "\nuser\t" << U(data.user) << "\npassword\t"
              << (data.password.empty() ? "(brak)" : "(ustawione)") << "\nnotice number\t"
              << U(data.NoticeNumber()) << "\ninterval\t" << data.interval << "\nnotify\t" << data.notify
              << "\nenabled\t" << data.enabled << std::endl;
    return kExitOk;
}

void UseCaFile(CCommandContext& ctx, CBrivantelDoc& doc)
{
    if (ctx.Parser().isSet("ca-file"))
        doc.GetMailOptions().caFile = ctx.Parser().value("ca-file").toStdString();
}

// One line about a check that ran; false when it failed.
bool Report(const CBrivantelDoc& doc)
{
    const CMailCheckResult& r = doc.GetLastMailCheck();
    switch (r.outcome) {
    case CMailCheckResult::Outcome::Off:
        return true;
    case CMailCheckResult::Outcome::LoginFailed: // the error box has been printed
    case CMailCheckResult::Outcome::StatFailed:
        if (r.outcome == CMailCheckResult::Outcome::StatFailed)
            PrintError(windows1250::FromUtf8Lossy("Błąd podczas sprawdania poczty.\n") + r.error);
        PrintError("Przyczyna: " + r.reason);
        return false;
    case CMailCheckResult::Outcome::Interrupted:
        PrintErrorUtf8("Sprawdzanie poczty przerwane; nic nie zostało wysłane.");
        return false;
    case CMailCheckResult::Outcome::Checked:
        break;
    }
    std::cout << "Liczba wiadomości w skrzynce: " << r.count;
    if (r.notice == CMailCheckResult::Notice::Sent)
        std::cout << " (powiadomienie wysłane)";
    else if (r.notice == CMailCheckResult::Notice::Queued)
        std::cout << " (powiadomienie nie zostało wysłane; czeka w folderze Wiadomości wysyłane)";
    std::cout << std::endl;
    return true;
}

int CheckNow(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    if (!doc->GetMailCheckerData().enabled) {
        PrintErrorUtf8("Sprawdzanie poczty jest wyłączone (mail-config --enabled 1).");
        return kExitFailed;
    }
    UseCaFile(ctx, *doc);
    EndOnSignals();
    // With --always the check starts from the count 0, as the program does after a start: a
    // mailbox with mail sends a notice every time.
    if (!ctx.Parser().isSet("always"))
        RestoreLastCount(ctx, doc->GetMailCheckerData());
    doc->CheckMail();
    const bool checked = Report(*doc);
    // A notice that waits in the outbox has not reached the phone: a cron job must see that.
    const bool noticeWaits = doc->GetLastMailCheck().notice == CMailCheckResult::Notice::Queued;
    const bool kept = KeepLastCount(ctx, *doc);
    const bool saved = doc->SaveDataFile();
    if (const int interrupted = InterruptedStatus(saved))
        return interrupted;
    return checked && !noticeWaits && kept && saved ? kExitOk : kExitFailed;
}

void SleepUntilNextSecond()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    timespec rest{0, 1'000'000'000L - now.tv_nsec};
    ::nanosleep(&rest, nullptr); // a stop signal cuts it short
}

int Watch(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    UseCaFile(ctx, *doc);
    // A signal is the written way to end the watch, also when it cuts a check short: that check
    // sends nothing and the count stays, so nothing is lost.
    EndOnSignals();
    RestoreLastCount(ctx, doc->GetMailCheckerData());
    std::cerr << "Sprawdzanie poczty według harmonogramu (Ctrl+C kończy)." << std::endl;
    CMailSchedule schedule(std::time(nullptr));
    bool saved = true;
    while (CSignalPipe::Received() == 0) {
        if (schedule.Tick(std::time(nullptr), doc.get())) {
            Report(*doc);
            saved = KeepLastCount(ctx, *doc) && saved;
            // A filed notice must survive a power cut of the headless machine.
            if (doc->GetLastMailCheck().notice != CMailCheckResult::Notice::None)
                saved = doc->SaveDataFile() && saved;
        }
        SleepUntilNextSecond();
    }
    saved = doc->SaveDataFile() && saved;
    return saved ? kExitOk : kExitFailed;
}

} // namespace

std::vector<CCommand> MailCommands()
{
    const QCommandLineOption server("server", "Serwer POP3: host, host:port albo pop3s://host[:port].", "S");
    const QCommandLineOption user("user", "Użytkownik skrzynki.", "U");
    const QCommandLineOption passwordFile("password-file", "Plik, którego pierwszy wiersz jest hasłem.",
                                          "FILE");
    const QCommandLineOption interval("interval", "Co ile minut sprawdzać (1-3600).", "N");
    const QCommandLineOption notify("notify", "1: wysyłaj powiadomienie SMS, 0: nie.", "0|1");
    const QCommandLineOption enabled("enabled", "1: sprawdzaj pocztę, 0: nie.", "0|1");
    const QCommandLineOption country("country", "Prefiks kraju numeru powiadomień, np. +48.", "P");
    const QCommandLineOption network("network", "Prefiks sieci numeru powiadomień, np. 601.", "N");
    const QCommandLineOption number("number", "Numer powiadomień bez prefiksów.", "N");
    const QCommandLineOption always("always", "Powiadamia za każdym razem, gdy w skrzynce jest poczta.");
    const QCommandLineOption caFile("ca-file", "Plik z zaufanymi certyfikatami zamiast systemowych (pop3s).",
                                    "FILE");
    return {
        {{"mail-config"},
         "mail-config [--server S] [--user U] [--password-file FILE] [--interval N] [--notify 0|1] "
         "[--enabled 0|1] [--country +48] [--network 601] [--number N]",
         "Ustawia sprawdzanie poczty; podane opcje zmieniają rekord, hasło czytane jest z pliku.",
         {server, user, passwordFile, interval, notify, enabled, country, network, number},
         0,
         Configure},
        {{"check-mail"},
         "check-mail [--ca-file FILE] [--always]",
         "Sprawdza skrzynkę raz i wypisuje liczbę wiadomości; powiadamia o zmianie liczby od poprzedniego "
         "sprawdzenia (--always: zawsze, gdy jest poczta).",
         {caFile, always},
         0,
         CheckNow},
        {{"watch-mail"},
         "watch-mail [--ca-file FILE]",
         "Sprawdza skrzynkę według harmonogramu, jak program w tle, aż do przerwania (Ctrl+C).",
         {caFile},
         0,
         Watch},
    };
}
