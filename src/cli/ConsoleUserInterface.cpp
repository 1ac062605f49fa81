#include "cli/ConsoleUserInterface.h"

#include <cstdlib>
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "store/Windows1250.h"

void PrintError(const std::string& text)
{
    std::cerr << windows1250::ToUtf8(text) << std::endl;
}

void PrintErrorUtf8(const std::string& utf8)
{
    std::cerr << utf8 << std::endl;
}

void CConsoleUserInterface::ShowMessage(const std::string& text, Icon)
{
    PrintError(text);
}

bool CConsoleUserInterface::AskYesNo(const std::string& text)
{
    PrintError(text);
    PrintErrorUtf8("(brak odpowiedzi w trybie wiersza poleceń: Nie)");
    return false;
}

std::string CConsoleUserInterface::ChooseSaveFile(const std::string& suggestedPath)
{
    PrintErrorUtf8("Plik danych " + windows1250::ToUtf8(suggestedPath) +
                   " jest tylko do odczytu lub nie istnieje; nie wybrano innego pliku.");
    return {};
}

void CConsoleUserInterface::ProgressOpen(const std::string& title)
{
    PrintError(title);
}

void CConsoleUserInterface::ProgressSetTitle(const std::string& title)
{
    PrintError(title);
}

void CConsoleUserInterface::ProgressSetText(const std::string& text)
{
    PrintError(text);
}

void CConsoleUserInterface::ShowFailureReason(const std::string& number, const std::string& reason)
{
    PrintError(number + ": " + reason);
}

void CConsoleUserInterface::ShowSendFailed(const std::string& text, const std::string& recipient,
                                           const std::string& information)
{
    // In the order the dialog reads: "Wiadomość", the recipient, the text, "nie została wysłana.".
    PrintError(windows1250::FromUtf8Lossy("Wiadomość ") + recipient);
    PrintError(text);
    PrintError(windows1250::FromUtf8Lossy("nie została wysłana."));
    if (!information.empty())
        PrintError(information);
}

void CConsoleUserInterface::ShowSendRoute(const std::string& text)
{
    PrintError(text);
}

std::optional<std::string> CConsoleUserInterface::AskPassword(const std::string& text)
{
    // From the environment, so that a script need not put the PIN on its command line.
    if (const char* given = std::getenv("BRIVANTEL_PIN"); given && *given)
        return std::string(given);
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    std::cerr << windows1250::ToUtf8(text) << ' ' << std::flush;
    termios saved{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios noEcho = saved;
        noEcho.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << std::endl;
    if (!read)
        return std::nullopt;
    return line;
}
