// brivantel-cli: the Brivantel document driven from a terminal.

#include <iostream>

#include <QCoreApplication>

#include "cli/Command.h"

namespace {

const QCommandLineOption kDataDir(QStringLiteral("data-dir"), QStringLiteral("Katalog z plikiem Brivantel.vs."),
                                  QStringLiteral("DIR"));
const QCommandLineOption
    kWait(QStringLiteral("wait"),
          QStringLiteral("Ile sekund czekać, aż inne polecenie brivantel-cli zwolni plik danych "
                         "(domyślnie 10; 0: nie czekać)."),
          QStringLiteral("S"));

std::vector<CCommand> AllCommands()
{
    std::vector<CCommand> all;
    for (auto group : {DataCommands(), ContactsCommands(), ConfigCommands(), RouteCommands()})
        for (auto& c : group)
            all.push_back(std::move(c));
    for (auto& c : OnlineCommands())
        all.push_back(std::move(c));
    for (auto& c : MailCommands())
        all.push_back(std::move(c));
    for (auto& c : SendCommands())
        all.push_back(std::move(c));
    for (auto& c : PhoneCommands())
        all.push_back(std::move(c));
    for (auto& c : GatewayCommands())
        all.push_back(std::move(c));
    for (auto& c : ReceiveCommands())
        all.push_back(std::move(c));
    for (auto& c : ConversationCommands())
        all.push_back(std::move(c));
    return all;
}

void PrintUsage(const std::vector<CCommand>& commands, std::ostream& out)
{
    out << "Użycie: brivantel-cli [--data-dir DIR] [--wait S] POLECENIE [OPCJE]\n\nPolecenia:\n";
    for (const auto& c : commands)
        out << "  " << c.synopsis.toStdString() << "\n      " << c.description.toStdString() << '\n';
    out << "\nKody wyjścia: 0 sukces, 1 operacja nie powiodła się, 2 błędne wywołanie lub dane,\n"
           "3 plik danych jest uszkodzony (odczytano tylko jego część), 128+N przerwano sygnałem N\n"
           "(to, co zrobiono, zapisano; gdy zapis się nie udał: 1).\n";
}

// The words before the first option of the command's own: the data directory's option and its
// value are skipped wherever they stand.
QStringList CommandWords(const QStringList& args)
{
    QStringList words;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--data-dir") || a == QLatin1String("--wait")) {
            ++i;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')))
            break;
        words << a;
    }
    return words;
}

const CCommand* FindCommand(const std::vector<CCommand>& commands, const QStringList& words)
{
    for (const auto& c : commands) {
        if (words.mid(0, c.words.size()) == c.words)
            return &c;
    }
    return nullptr;
}

bool WantsHelp(const QStringList& args)
{
    return args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
}

int Run(const QStringList& args)
{
    const std::vector<CCommand> commands = AllCommands();
    const QStringList words = CommandWords(args);
    if (words.isEmpty()) {
        const bool help = WantsHelp(args);
        PrintUsage(commands, help ? std::cout : std::cerr);
        return help ? kExitOk : kExitUsage;
    }
    const CCommand* command = FindCommand(commands, words);
    if (!command) {
        std::cerr << "Nieznane polecenie: " << words.join(QLatin1Char(' ')).toStdString() << "\n\n";
        PrintUsage(commands, std::cerr);
        return kExitUsage;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(kDataDir);
    parser.addOption(kWait);
    parser.addHelpOption();
    for (const auto& option : command->options)
        parser.addOption(option);
    if (!parser.parse(args)) {
        std::cerr << parser.errorText().toStdString() << "\nUżycie: brivantel-cli " << command->synopsis.toStdString()
                  << std::endl;
        return kExitUsage;
    }
    bool waitValid = true;
    if (parser.isSet(kWait) && (parser.value(kWait).toInt(&waitValid) < 0 || !waitValid)) {
        std::cerr << "Podaj czas czekania na plik danych w sekundach (--wait S, 0: nie czekać)." << std::endl;
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::cout << "Użycie: brivantel-cli " << command->synopsis.toStdString() << "\n"
                  << command->description.toStdString() << std::endl;
        return kExitOk;
    }
    const QStringList positional = parser.positionalArguments().mid(command->words.size());
    if (positional.size() < command->positionalCount ||
        positional.size() > command->positionalCount + command->optionalCount) {
        std::cerr << "Błędna liczba argumentów.\nUżycie: brivantel-cli " << command->synopsis.toStdString()
                  << std::endl;
        return kExitUsage;
    }
    CCommandContext ctx(parser, positional);
    return command->run(ctx);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvella Systems"));
    QCoreApplication::setApplicationName(QStringLiteral("Brivantel"));
    return Run(QCoreApplication::arguments());
}
