#include "cli/ConsoleUserInterface.h"

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
