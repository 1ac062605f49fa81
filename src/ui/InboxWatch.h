#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>

#include "app/Document.h"
#include "messagedb/MessageDb.h"

class CBrivantelDoc;
class CBrivantelFrame;
class CSettingsStore;
class CMessageReceiver;
struct ReceiveReport;

// Reads the phone's received messages into Brivantel.db for the main window, through the
// backend chosen as a send chooses it (the port itself or the system's modem service): every
// "Settings/ReceiveInterval" seconds once a phone port is chosen, and on demand. The port has one
// owner at a time, so a reading never starts while a send, a mail check or a dialog runs. A
// reading that brought something announces it once (the notification area's balloon, or the
// status bar without one); what went wrong goes to the status bar, never to a modal box.
//
// A message that arrives while a send holds the port is announced by the phone then ("+CMTI");
// the reading it asks for follows as soon as the send has let go of the port.
class CInboxWatch final : public QObject, private CDocumentListener
{
    Q_OBJECT
public:
    CInboxWatch(CBrivantelFrame& frame, CBrivantelDoc& document, CSettingsStore& settings);
    ~CInboxWatch() override;

    // One reading now. onDemand: the user asked, so a reason it cannot run is told.
    void Poll(bool onDemand);
    // Shows the unread count in the folder list and the folder bar.
    void UpdateCount();
    int GetUnreadCount() const { return m_unread; }
    // The window's connection to Brivantel.db, opened at the first need; null when it cannot be.
    CMessageDb* Database() { return OpenDatabase() ? &m_db : nullptr; }
    QTimer& GetTimer() { return m_timer; }
    // The device read; tests hand a pseudo-terminal, the program the port of the settings.
    void SetDeviceForTesting(std::string device) { m_testDevice = std::move(device); }
    void SetClockForTesting(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }
    // Shows an announcement in the notification area's balloon; false when there is none to
    // show it (the status bar says it then). Tests put a stand-in here, as the test screens have
    // no notification area.
    using Balloon = std::function<bool(const QString& title, const QString& text)>;
    void SetBalloon(Balloon balloon) { m_balloon = std::move(balloon); }
    // The last announcement of new messages (tests read it; the user sees it).
    const QString& GetLastNotice() const { return m_lastNotice; }

    // "Odebrane" and, with unread messages, their count: "Odebrane (3)".
    static QString Caption(int unread);
    // "Jan Kowalski: Będę o piątej, weź..." for the first message, and how many more came.
    static QString Notice(const QString& sender, const QString& text, int more);

signals:
    // New messages are in the database (the received view reads itself again).
    void messagesArrived();
    // Delivery reports changed the states of sent messages (the sent folder reads them again).
    void deliveryReportsArrived();

private:
    void OnTimer();
    // A send announces its folders' changes while it runs: from then on, watch for its end.
    void OnDocumentChanged(DocChange change) override;
    void OnAfterSend();
    bool OpenDatabase();
    // The receiver of the backend chosen ("Settings/PhoneBackend"): the port itself or the
    // system's modem service. False, said when asked, when there is none.
    bool ChooseReceiver(bool onDemand);
    std::string Device() const;
    void Announce(const ReceiveReport& report);
    void Status(const QString& text);
    std::int64_t Now() const;

    CBrivantelFrame& m_frame;
    CBrivantelDoc& m_document;
    CSettingsStore& m_settings;
    CMessageDb m_db;
    QTimer m_timer;
    QTimer m_afterSend;
    std::unique_ptr<CMessageReceiver> m_receiver;
    std::string m_receiverBackend;
    std::string m_receiverDevice;
    bool m_newsPending = false; // the modem service announced a message
    int m_unread = 0;
    std::shared_ptr<int> m_shownUnread = std::make_shared<int>(0); // read by the folder bar
    bool m_polling = false;
    std::string m_testDevice;
    std::function<std::int64_t()> m_clock;
    QString m_lastNotice;
    Balloon m_balloon;
    QString m_lastProblem;
};
