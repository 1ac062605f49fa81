#pragma once

#include <memory>

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
    void ProgressOpen(const std::string& title) override;
    void ProgressSetTitle(const std::string& title) override;
    void ProgressSetText(const std::string& text) override;
    void ProgressSetRange(int upper) override;
    void ProgressSetPos(int pos) override;
    void ProgressClose() override;

    CProgressDlg* GetProgress() const { return m_progress.get(); }

private:
    QPointer<QWidget> m_owner;
    std::unique_ptr<CProgressDlg> m_progress;
    int m_waitCursors = 0;
    bool m_inWaitHook = false;
};
