#pragma once

#include <string>
#include <vector>

#include <QDir>
#include <QString>
#include <QTest>
#include <QWidget>

#include "app/UserInterface.h"
#include "ui/ProgressDlg.h"
#include "ui/QtUserInterface.h"
#include "UiTestSupport.h"

// The real dialogs of the desktop program, with the progress texts noted as the progress window
// showed them.
class WatchingUserInterface final : public CUserInterface
{
public:
    CQtUserInterface real;
    std::vector<QString> progressTexts; // read back from the window after each change
    std::vector<QString> progressTitles;
    int waitHooks = 0;

    void ShowMessage(const std::string& text, Icon icon) override { real.ShowMessage(text, icon); }
    bool AskYesNo(const std::string& text) override { return real.AskYesNo(text); }
    std::string ChooseSaveFile(const std::string& path) override { return real.ChooseSaveFile(path); }
    void SetWaitCursor(bool on) override { real.SetWaitCursor(on); }
    void WaitHook() override
    {
        ++waitHooks;
        real.WaitHook();
    }
    void ShowSendFailed(const std::string& text, const std::string& recipient,
                        const std::string& information) override
    {
        real.ShowSendFailed(text, recipient, information);
    }
    void ShowFailureReason(const std::string& number, const std::string& reason) override
    {
        real.ShowFailureReason(number, reason);
    }
    void ProgressOpen(const std::string& title) override
    {
        real.ProgressOpen(title);
        progressTitles.push_back(real.GetProgress()->windowTitle());
    }
    void ProgressSetTitle(const std::string& title) override { real.ProgressSetTitle(title); }
    void ProgressSetText(const std::string& text) override
    {
        real.ProgressSetText(text);
        progressTexts.push_back(real.GetProgress()->GetText());
    }
    void ProgressSetRange(int upper) override { real.ProgressSetRange(upper); }
    void ProgressSetPos(int pos) override { real.ProgressSetPos(pos); }
    void ProgressClose() override { real.ProgressClose(); }
    void ProgressAddDisabledButton(const std::string& text) override { real.ProgressAddDisabledButton(text); }
};

// Types text into a widget key by key; characters beyond ASCII come as keys with that text, the way
// a Polish keyboard layout delivers them.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QString& c : text.toUcs4().isEmpty() ? QStringList() : [&text] {
             QStringList chars;
             for (const char32_t u : text.toUcs4())
                 chars << QString::fromUcs4(&u, 1);
             return chars;
         }()) {
        if (c.size() == 1 && c.at(0).unicode() < 128) {
            QTest::keyClick(widget, c.at(0).toLatin1());
            continue;
        }
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, c, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, c, Qt::NoModifier);
    }
}
