#pragma once

#include "app/UserInterface.h"

// The command-line tool's side of the document's dialogs: messages go to standard error in
// UTF-8; there is nobody to answer a question or pick a file, so both are declined.
class CConsoleUserInterface final : public CUserInterface
{
public:
    void ShowMessage(const std::string& text, Icon icon) override;
    bool AskYesNo(const std::string& text) override;
    std::string ChooseSaveFile(const std::string& suggestedPath) override;
    void SetWaitCursor(bool) override {}
    void WaitHook() override {}
    // The failure dialog's content as lines on standard error.
    void ShowSendFailed(const std::string& text, const std::string& recipient,
                        const std::string& information) override;
    // "+48602123456: bramka odpowiedziała kodem 500" on standard error.
    void ShowFailureReason(const std::string& number, const std::string& reason) override;
    // Progress texts go to standard error, one line each; the bar is not drawn.
    void ProgressOpen(const std::string& title) override;
    void ProgressSetTitle(const std::string& title) override;
    void ProgressSetText(const std::string& text) override;
    void ProgressSetRange(int) override {}
    void ProgressSetPos(int) override {}
    void ProgressClose() override {}
    // "SMS przez ModemManager (Huawei E3372)" on standard error.
    void ShowSendRoute(const std::string& text) override;
    // BRIVANTEL_PIN when set, else a line typed on the terminal with its echo off; nothing
    // without a terminal.
    std::optional<std::string> AskPassword(const std::string& text) override;
};

// Prints Windows-1250 text as UTF-8 on standard error, followed by a line break.
void PrintError(const std::string& text);
// The same for a text written in UTF-8 in the sources.
void PrintErrorUtf8(const std::string& utf8);
