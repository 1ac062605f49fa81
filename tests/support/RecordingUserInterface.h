#pragma once

#include <deque>
#include <string>
#include <vector>

#include "app/UserInterface.h"

// Records what the document shows and answers its questions from a script.
class RecordingUserInterface final : public CUserInterface
{
public:
    struct Shown
    {
        std::string text;
        Icon icon;
    };

    std::vector<Shown> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;           // answers to AskYesNo, in order; "No" when empty
    std::vector<std::string> saveDialogs;
    std::string saveChoice;              // what the save dialog returns ("" = cancelled)
    int waitHookCalls = 0;
    std::vector<bool> waitCursor;

    void ShowMessage(const std::string& text, Icon icon) override { messages.push_back({text, icon}); }
    bool AskYesNo(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string ChooseSaveFile(const std::string& suggested) override
    {
        saveDialogs.push_back(suggested);
        return saveChoice;
    }
    void SetWaitCursor(bool on) override { waitCursor.push_back(on); }
    void WaitHook() override { ++waitHookCalls; }

    struct SendFailure
    {
        std::string text;
        std::string recipient;
        std::string information;
    };
    std::vector<SendFailure> sendFailures;
    void ShowSendFailed(const std::string& text, const std::string& recipient,
                        const std::string& information) override
    {
        sendFailures.push_back({text, recipient, information});
    }
    std::vector<std::string> failureReasons; // "number: reason"
    void ShowFailureReason(const std::string& number, const std::string& reason) override
    {
        failureReasons.push_back(number + ": " + reason);
    }

    // Every progress call in order, as "open:TITLE", "title:TITLE", "text:TEXT", "range:N",
    // "pos:N" and "close".
    std::vector<std::string> progress;
    void ProgressOpen(const std::string& title) override { progress.push_back("open:" + title); }
    void ProgressSetTitle(const std::string& title) override { progress.push_back("title:" + title); }
    void ProgressSetText(const std::string& text) override { progress.push_back("text:" + text); }
    void ProgressSetRange(int upper) override { progress.push_back("range:" + std::to_string(upper)); }
    void ProgressSetPos(int pos) override { progress.push_back("pos:" + std::to_string(pos)); }
    void ProgressClose() override { progress.push_back("close"); }
};
