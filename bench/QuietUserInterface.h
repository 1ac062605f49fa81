#pragma once

#include <cstdio>

#include "app/UserInterface.h"

// Benchmarks run unattended: messages go to standard error, questions are declined, progress is
// not shown.
class QuietUserInterface final : public CUserInterface
{
public:
    void ShowMessage(const std::string& text, Icon) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool AskYesNo(const std::string&) override { return false; }
    std::string ChooseSaveFile(const std::string&) override { return {}; }
    void SetWaitCursor(bool) override {}
    // Counted: a wait that keeps the window painting calls it every slice.
    void WaitHook() override { ++waitHooks; }
    int waitHooks = 0;
    void ShowSendFailed(const std::string&, const std::string& recipient, const std::string&) override
    {
        std::fprintf(stderr, "failed: %s\n", recipient.c_str());
    }
    void ProgressOpen(const std::string&) override {}
    void ProgressSetTitle(const std::string&) override {}
    void ProgressSetText(const std::string&) override {}
    void ProgressSetRange(int) override {}
    void ProgressSetPos(int) override {}
    void ProgressClose() override {}
};
