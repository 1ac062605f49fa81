#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/qt/QtSettingsStore.h"
#include "cli/ConsoleUserInterface.h"

enum ExitCode
{
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitDamaged = 3
};

// How long a writer waits for another command-line writer's lock unless --wait says otherwise.
inline constexpr int kDefaultLockWaitSeconds = 10;

// What every command gets: its parsed command line, the data directory, the console's dialogs
// and the settings store.
class CCommandContext
{
public:
    CCommandContext(QCommandLineParser& parser, QStringList positional);

    const QCommandLineParser& Parser() const { return m_parser; }
    // The arguments after the command words.
    const QStringList& Positional() const { return m_positional; }
    QString DataFilePath() const;

    // Opens the document; for writing it also takes the data file's lock.
    std::unique_ptr<CBrivantelDoc> OpenDocument(CBrivantelDoc::Access access);

    // An option's value in Windows-1250; false (and a message) when the code page cannot hold it.
    bool OptionText(const QString& name, std::string& out) const;

    // The system's modem service (ModemManager on the system bus), made at first use.
    CModemService& ModemService();
    // The phone backend: --backend when given, else "Settings"/"PhoneBackend". False (and a
    // message) when --backend names none, or when --pin was given: a PIN belongs in no shell
    // history.
    bool PhoneBackendChoice(std::string& backend);

    CConsoleUserInterface& Ui() { return m_ui; }
    CQtSettingsStore& Settings() { return m_settings; }

private:
    QCommandLineParser& m_parser;
    QStringList m_positional;
    CConsoleUserInterface m_ui;
    CQtSettingsStore m_settings;
    std::unique_ptr<CModemService> m_modemService;
};

// One command of the tool: the words that name it, its options and what it does.
struct CCommand
{
    QStringList words; // {"contacts", "add"}
    QString synopsis;  // shown in the help
    QString description;
    std::vector<QCommandLineOption> options;
    int positionalCount = 0; // arguments after the words
    std::function<int(CCommandContext&)> run;
    int optionalCount = 0; // further arguments that may be left out
};

std::vector<CCommand> DataCommands();
std::vector<CCommand> ContactsCommands();
std::vector<CCommand> ConfigCommands();
std::vector<CCommand> SendCommands();
std::vector<CCommand> GatewayCommands();
std::vector<CCommand> RouteCommands();
std::vector<CCommand> MailCommands();
std::vector<CCommand> OnlineCommands();
std::vector<CCommand> PhoneCommands();
std::vector<CCommand> ReceiveCommands();
std::vector<CCommand> ConversationCommands();

// For the commands that wait on a gateway, a phone or a mailbox: SIGTERM, SIGHUP and SIGINT stop
// the wait instead of the program, so the command files what it has and saves before it ends.
void EndOnSignals();
// 128 + the number of the signal that came when the command's data were saved; 1 when a signal
// came and the save failed (its reason has been printed); 0 when no signal came.
int InterruptedStatus(bool saved);

// Converts a UTF-8 text from the command line; nothing when Windows-1250 cannot hold it.
// A lone line feed becomes CR LF, as texts are kept in the data file.
std::optional<std::string> TextFromCommandLine(const QString& text);
