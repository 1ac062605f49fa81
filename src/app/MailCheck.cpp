// The document's mail check: log in, read the message count and announce a change by SMS.

#include <cstdio>
#include <memory>

#include "app/Document.h"
#include "app/UserInterface.h"
#include "mailwatch/Pop3Client.h"
#include "net/StopRequest.h"
#include "store/Windows1250.h"

namespace {

constexpr int kSteps = 4;

std::string NoticeText(int count)
{
    // The program's own template, not the record's text field, which only the page shows.
    char text[128];
    std::snprintf(text, sizeof text, CMailCheckerData::kNoticeTemplate, count);
    return text;
}

} // namespace

int CBrivantelDoc::CheckMail(bool onRequest)
{
    m_lastMailCheck = {};
    if (!m_mailChecker.enabled && !onRequest)
        return 0;
    const std::string server = m_mailChecker.server;
    const std::string user = m_mailChecker.user;
    const std::string password = m_mailChecker.password;

    m_ui.SetWaitCursor(true);
    m_ui.ProgressOpen(windows1250::FromUtf8Lossy("Sprawdzanie poczty"));
    m_ui.ProgressSetText("Informacja");
    m_ui.ProgressSetRange(kSteps);
    m_ui.ProgressAddDisabledButton("Przerwij");
    m_checking = true;

    CPop3Options options = m_mailOptions;
    options.waitHook = [this] { m_ui.WaitHook(); };
    auto client = std::make_unique<CPop3Client>(options);
    const int result = RunMailCheck(*client, server, user, password);

    m_ui.ProgressSetPos(kSteps);
    client->Quit(); // also after a failed login, over whatever connection there is
    m_ui.ProgressClose();
    m_checking = false;
    client.reset();
    m_ui.SetWaitCursor(false);
    return result;
}

int CBrivantelDoc::RunMailCheck(CPop3Client& client, const std::string& server, const std::string& user,
                                const std::string& password)
{
    const auto interrupted = [&] {
        if (!client.WasStopped())
            return false;
        m_lastMailCheck.outcome = CMailCheckResult::Outcome::Interrupted;
        return true;
    };
    if (const COutcome login = client.Login(server, user, password); !login) {
        if (interrupted())
            return 0;
        m_lastMailCheck.outcome = CMailCheckResult::Outcome::LoginFailed;
        m_lastMailCheck.error = client.GetErrorText();
        m_lastMailCheck.reason = login.reason;
        if (net_stop::Requested())
            return 0; // the program is ending: no questions, no messages
        m_ui.ShowMessage(windows1250::FromUtf8Lossy("Błąd podczas sprawdania poczty.\n") +
                             m_lastMailCheck.error,
                         CUserInterface::Icon::Exclamation);
        return 0;
    }
    m_ui.ProgressSetPos(1);
    if (const COutcome stat = client.Stat(); !stat) {
        if (interrupted())
            return 0;
        m_lastMailCheck.outcome = CMailCheckResult::Outcome::StatFailed;
        m_lastMailCheck.error = client.GetErrorText();
        m_lastMailCheck.reason = stat.reason;
        return 0;
    }
    if (interrupted())
        return 0;
    m_ui.ProgressSetPos(2);
    const int count = client.GetMessageCount();
    m_lastMailCheck.outcome = CMailCheckResult::Outcome::Checked;
    m_lastMailCheck.count = count;
    if (count == m_mailChecker.lastCount)
        return count;
    m_mailChecker.lastCount = count;
    NotifyChanged(DocChange::MailChecker);
    if (count == 0 || !m_mailChecker.notify)
        return count;
    m_ui.ProgressSetPos(3);
    SendMailNotice(count);
    return count;
}

void CBrivantelDoc::SendMailNotice(int count)
{
    const std::string number = m_mailChecker.NoticeNumber();
    const std::string text = NoticeText(count);
    // The notice waits in the outbox, on disk, before it leaves, like every message sent.
    auto queued = std::make_unique<CMessage>(number, text);
    CMessage* notice = queued.get();
    if (!m_outbox.AddMessage(queued))
        notice = nullptr;
    NotifyChanged(DocChange::Outbox);
    WriteAhead();
    const SendOutcome outcome = net_stop::Requested() ? SendOutcome{} : m_sender.Send(number, text, -1);
    const bool sent = outcome.done;
    if (!sent)
        NoteFailure(notice, number, outcome.reason);
    if (sent) {
        if (notice)
            m_outbox.RemoveMessage(notice); // destroyed here
        auto message = std::make_unique<CMessage>(number, text);
        m_sent.AddMessage(message);
        NotifyChanged(DocChange::Sent);
        Announce(DocChange::Outbox);
    }
    m_lastMailCheck.notice = sent ? CMailCheckResult::Notice::Sent : CMailCheckResult::Notice::Queued;
}
