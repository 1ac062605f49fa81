#pragma once

#include <optional>
#include <string>

// Everything the document shows or asks goes through this interface: the desktop program answers
// with real dialogs, the command-line tool prints, tests record. Texts are Windows-1250.
class CUserInterface
{
public:
    enum class Icon { Information, Exclamation, Error, Question };

    virtual ~CUserInterface() = default;

    virtual void ShowMessage(const std::string& text, Icon icon) = 0;
    virtual bool AskYesNo(const std::string& text) = 0;
    // The path the user picked in a save dialog, or an empty text when the dialog was cancelled.
    virtual std::string ChooseSaveFile(const std::string& suggestedPath) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Called while a socket or the serial port waits; repaints and does nothing else.
    virtual void WaitHook() = 0;
    // The modal "Wysyłanie" dialog of a message that did not go out: its text, its recipient and
    // a line of information below them (may be empty).
    virtual void ShowSendFailed(const std::string& text, const std::string& recipient,
                                const std::string& information) = 0;
    // Why the send to one number failed, in a few words, for each failed number: the desktop
    // program shows the latest in its status bar, the command-line tool prints each.
    virtual void ShowFailureReason(const std::string& /*number*/, const std::string& /*reason*/) {}
    // Which way a message went out ("SMS przez ModemManager (Huawei E3372)"): the desktop
    // program's status bar; the command-line tool prints it.
    virtual void ShowSendRoute(const std::string& /*text*/) {}
    // A secret the user types without it being shown (the SIM's PIN); nothing when cancelled.
    virtual std::optional<std::string> AskPassword(const std::string& /*text*/) { return std::nullopt; }

    // The progress dialog of a long operation: a title, one line of text and a bar from 0 to the
    // range's upper end. One opened while another is open (a mail check during a send's failure
    // dialog) goes over it and the calls reach the newest; closing it brings the outer one back.
    // Closing when none is open does nothing.
    virtual void ProgressOpen(const std::string& title) = 0;
    virtual void ProgressSetTitle(const std::string& title) = 0;
    virtual void ProgressSetText(const std::string& text) = 0;
    virtual void ProgressSetRange(int upper) = 0;
    virtual void ProgressSetPos(int pos) = 0;
    virtual void ProgressClose() = 0;
    // A button of the newest progress dialog that the operation cannot honour and so keeps
    // disabled (the mail check's "Przerwij"); an interface without buttons ignores it.
    virtual void ProgressAddDisabledButton(const std::string& /*text*/) {}
    // A button of the newest progress dialog that stops the operation (a send's "Przerwij"): it
    // raises the user's stop request (net/StopRequest.h), which ends the wait in progress.
    virtual void ProgressAddStopButton(const std::string& /*text*/) {}
};
