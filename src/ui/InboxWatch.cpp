#include "ui/InboxWatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include <ctime>
#include <utility>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "phone/MessageReceiver.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/controls/FolderCaptionBar.h"

namespace {

constexpr int kStatusMs = 15000;
constexpr int kAfterSendMs = 250; // how often the end of a send is looked for
constexpr int kNoticeWords = 40;  // characters of the first message in the announcement

// Keeps the window drawn while the phone answers; clicks, keys, timers and sockets wait, so
// nothing can start a send or a second reading meanwhile.
void RepaintOnly()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

} // namespace

CInboxWatch::CInboxWatch(CBrivantelFrame& frame, CBrivantelDoc& document, CSettingsStore& settings)
    : QObject(&frame), m_frame(frame), m_document(document), m_settings(settings)
{
    m_balloon = [this](const QString& title, const QString& text) {
        QSystemTrayIcon* tray = m_frame.GetTrayIcon();
        if (!tray || !tray->isVisible() || !QSystemTrayIcon::supportsMessages())
            return false;
        tray->showMessage(title, text, QSystemTrayIcon::Information);
        return true;
    };
    const int seconds = static_cast<int>(m_settings.Get(settings_keys::kReceiveInterval));
    if (seconds > 0) {
        m_timer.setInterval(seconds * 1000);
        connect(&m_timer, &QTimer::timeout, this, &CInboxWatch::OnTimer);
        m_timer.start();
    }
    // The folder bar names this folder with its count, whichever way the folder is reached.
    m_frame.GetFolderBar().SetNames(
        [unread = m_shownUnread](int kind) { return kind == 1008 ? Caption(*unread) : KindName(kind); });
    m_afterSend.setInterval(kAfterSendMs);
    connect(&m_afterSend, &QTimer::timeout, this, &CInboxWatch::OnAfterSend);
    m_document.AddListener(*this);
    // The count shows once the window is up; the database is not read before then.
    QTimer::singleShot(0, this, &CInboxWatch::UpdateCount);
}

CInboxWatch::~CInboxWatch()
{
    m_document.RemoveListener(*this);
}

void CInboxWatch::OnDocumentChanged(DocChange change)
{
    if ((change == DocChange::Outbox || change == DocChange::Sent) && !m_afterSend.isActive())
        m_afterSend.start();
}

void CInboxWatch::OnAfterSend()
{
    if (m_frame.IsBusy() || m_polling)
        return; // the send still holds the port: look again at the next tick
    m_afterSend.stop();
    const bool news = std::exchange(m_newsPending, false);
    // Receiving switched off ("Settings/ReceiveInterval" 0) stays off, notices or not.
    if ((CPhoneSender::TakeMessageWaiting() || news) && m_timer.isActive())
        Poll(false);
}

std::int64_t CInboxWatch::Now() const
{
    return m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr));
}

QString CInboxWatch::Caption(int unread)
{
    return unread > 0 ? QStringLiteral("Odebrane (%1)").arg(unread) : QStringLiteral("Odebrane");
}

QString CInboxWatch::Notice(const QString& sender, const QString& text, int more)
{
    QString words = text.simplified();
    if (words.size() > kNoticeWords) {
        words.truncate(kNoticeWords);
        const qsizetype space = words.lastIndexOf(QLatin1Char(' '));
        if (space > kNoticeWords / 2)
            words.truncate(space);
        words += QStringLiteral("...");
    }
    QString notice = sender + QStringLiteral(": ") + words;
    if (more > 0)
        notice += QStringLiteral(" (i %1 więcej)").arg(more);
    return notice;
}

bool CInboxWatch::OpenDatabase()
{
    if (m_db.IsOpen())
        return true;
    const std::string& path = m_document.GetPath();
    if (path.empty())
        return false;
    const QString folder = QFileInfo(QString::fromLocal8Bit(path.c_str())).absolutePath();
    const auto opened = m_db.Open(folder.toLocal8Bit().toStdString(), std::chrono::milliseconds(500));
    if (!opened.message.empty())
        Status(QString::fromUtf8(opened.message.c_str()));
    return opened.ok;
}

std::string CInboxWatch::Device() const
{
    if (!m_testDevice.empty())
        return m_testDevice;
    return CPhoneSender::DeviceFor(m_document.GetPhonePortName());
}

void CInboxWatch::Status(const QString& text)
{
    m_frame.statusBar()->showMessage(text, kStatusMs);
}

void CInboxWatch::UpdateCount()
{
    if (OpenDatabase())
        m_unread = m_db.UnreadCount(Now());
    *m_shownUnread = m_unread;
    m_frame.GetFolderListBar().SetCommandText(CommandId::ViewReceived, Caption(m_unread));
    m_frame.GetFolderBar().SetView(m_frame.GetCurrentKind());
}

void CInboxWatch::OnTimer()
{
    // Quietly later when the port or the window is taken: the next tick tries again.
    if (!m_frame.IsBusy() && !m_polling)
        Poll(false);
}

bool CInboxWatch::ChooseReceiver(bool onDemand)
{
    const std::string backend =
        m_testDevice.empty() ? m_settings.Get(settings_keys::kPhoneBackend) : "serial";
    const std::string device = Device();
    // Kept while the phone is watched (the modem service's receiver hears its news between
    // readings); chosen again when the settings name another phone or a reading failed.
    if (m_receiver && backend == m_receiverBackend && device == m_receiverDevice)
        return true;
    m_receiver.reset();
    ReceiverChoice choice =
        phone_receiver::Choose(backend, device, m_document.ModemService(), m_db, RepaintOnly);
    if (!choice.receiver) {
        if (onDemand)
            Status(choice.noPort
                       ? QStringLiteral("Nie wybrano portu telefonu (Ustawienia, Wysyłanie wiadomości).")
                       : QString::fromUtf8(choice.problem.c_str()));
        return false;
    }
    m_receiver = std::move(choice.receiver);
    m_receiverBackend = backend;
    m_receiverDevice = device;
    // A message the service announces is read at once, or once the window is free.
    m_receiver->SetNewsObserver([this] {
        m_newsPending = true;
        if (!m_afterSend.isActive())
            m_afterSend.start();
    });
    return true;
}

void CInboxWatch::Poll(bool onDemand)
{
    if (m_polling)
        return;
    if (m_frame.IsBusy()) {
        if (onDemand)
            Status(QStringLiteral("Telefon jest teraz zajęty. Spróbuj ponownie za chwilę."));
        return;
    }
    if (!OpenDatabase()) {
        if (onDemand && !m_db.IsOpen())
            Status(QStringLiteral("Nie można otworzyć bazy odebranych wiadomości Brivantel.db."));
        return;
    }
    m_polling = true;
    if (!ChooseReceiver(onDemand)) {
        m_polling = false;
        return;
    }
    if (onDemand)
        Status(QStringLiteral("Odczytywanie wiadomości z telefonu..."));
    // The reports a send asked for arrive with the messages: take them in the same reading.
    m_receiver->SetStatusReports(m_settings.Get(settings_keys::kDeliveryReports) != 0);
    const ReceiveReport report = m_receiver->Receive(Now());
    m_polling = false;
    if (!report.ok)
        m_receiver.reset(); // a modem plugged in again is a new one: choose afresh next time

    if (!report.ok) {
        const QString problem = QString::fromUtf8(report.problem.c_str());
        // A phone left unplugged would say the same every minute: once is enough, unless asked.
        if (onDemand || problem != m_lastProblem)
            Status(problem);
        m_lastProblem = problem;
    } else {
        m_lastProblem.clear();
        if (onDemand && report.shown.empty())
            Status(QStringLiteral("Brak nowych wiadomości."));
    }
    if (report.storageFull)
        Status(QStringLiteral(
                   "Pamięć wiadomości telefonu (%1) jest pełna: sieć nie dostarczy nowych, dopóki się "
                   "nie zwolni.")
                   .arg(QString::fromUtf8(report.storage.c_str())));
    if (!report.shown.empty()) {
        Announce(report);
        emit messagesArrived();
    }
    if (report.reportsMatched > 0)
        emit deliveryReportsArrived();
    UpdateCount();
}

void CInboxWatch::Announce(const ReceiveReport& report)
{
    const StoredMessage first = m_db.Find(report.shown.front());
    QString sender = QString::fromUtf8(first.senderRaw.c_str());
    for (const auto& entry : m_document.GetAddressBook().GetEntries()) {
        if (CMessageDb::NormaliseNumber(entry->GetFullNumber()) == first.sender) {
            sender = QString::fromUtf8(windows1250::ToUtf8(entry->GetDisplayName()).c_str());
            break;
        }
    }
    const QString text =
        first.readable ? QString::fromUtf8(first.text.c_str()) : QStringLiteral("Nieczytelna wiadomość");
    m_lastNotice = Notice(sender, text, static_cast<int>(report.shown.size()) - 1);
    const QString title = report.shown.size() == 1
                              ? QStringLiteral("Nowa wiadomość")
                              : QStringLiteral("Nowe wiadomości: %1").arg(report.shown.size());
    if (!m_balloon(title, m_lastNotice))
        Status(title + QStringLiteral(" - ") + m_lastNotice);
}
