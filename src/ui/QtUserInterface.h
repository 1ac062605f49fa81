#pragma once

#include <memory>
#include <vector>

#include <QPointer>

#include "app/UserInterface.h"

class QWidget;
class CProgressDlg;

// The document's questions and messages as real dialogs of the desktop program.
class CQtUserInterface final : public CUserInterface
{
public:
    CQtUserInterface();
    ~CQtUserInterface() override;

    // The window the dialogs belong to (the main window once it exists).
    void SetOwner(QWidget* owner) { m_owner = owner; }

    void ShowMessage(const std::string& text, Icon icon) override;
    bool AskYesNo(const std::string& text) override;
    std::string ChooseSaveFile(const std::string& suggestedPath) override;
    void SetWaitCursor(bool on) override;
    void WaitHook() override;
    void ShowSendFailed(const std::string& text, const std::string& recipient,
                        const std::string& information) override;
    // In the main window's status bar, until the next message there.
    void ShowFailureReason(const std::string& number, const std::string& reason) override;
    // "SMS przez ModemManager (Huawei E3372)" in the status bar.
    void ShowSendRoute(const std::string& text) override;
    // A password field in a small dialog.
    std::optional<std::string> AskPassword(const std::string& text) override;
    void ProgressOpen(const std::string& title) override;
    void ProgressSetTitle(const std::string& title) override;
    void ProgressSetText(const std::string& text) override;
    void ProgressSetRange(int upper) override;
    void ProgressSetPos(int pos) override;
    void ProgressClose() override;
    void ProgressAddDisabledButton(const std::string& text) override;
    void ProgressAddStopButton(const std::string& text) override;

    // The newest open progress dialog (the one shown), or null.
    CProgressDlg* GetProgress() const { return m_progress.empty() ? nullptr : m_progress.back().get(); }

private:
    QPointer<QWidget> m_owner;
    // An operation that starts while another's dialog is up (a scheduled mail check during a send's
    // failure dialog) gets a dialog of its own over the outer one's, which comes back after it.
    std::vector<std::unique_ptr<CProgressDlg>> m_progress;
    int m_waitCursors = 0;
    bool m_inWaitHook = false;
};
