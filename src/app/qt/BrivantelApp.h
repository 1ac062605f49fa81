#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

#include "app/Document.h"

class CSignalPipe;
class CSettingsStore;
class CSingleInstance;
class CUserInterface;
class QCoreApplication;
class QWidget;

// What the application object needs of its main window; the desktop program's frame provides it.
class CMainWindowHost
{
public:
    virtual ~CMainWindowHost() = default;
    virtual QWidget* Window() = 0;
    // Shows the window again, also from the notification area or minimised, and brings it forward.
    virtual void Restore() = 0;
    // The frame's start-up work once the document exists (the daily online update and the banners).
    virtual void StartOnlineWork() {}
    // The end of the run: the window hands everything it holds to the document (the shown view
    // goes, its state written back) without asking anything. The window itself stays until the
    // data file has been saved.
    virtual void HandBackState() {}
};

// The application object: one instance per user, the two profile strings "Settings"/"Sign" and
// "Settings"/"Port" for the whole run, the data file and its document, and the order of start-up
// and shut-down.
//
// The data file is saved as the run goes: every change the document announces starts a short
// timer, and when it runs out the records that changed are encoded here and the file is put
// together and written on a worker thread.
class CBrivantelApp final : public QObject, private CDocumentListener
{
    Q_OBJECT
public:
    // How long changes are gathered before they are written.
    static constexpr int kSaveDelayMs = 1000;

    CBrivantelApp(CUserInterface& ui, CSettingsStore& settings);
    ~CBrivantelApp() override;

    struct Options
    {
        QString dataDirectory;     // empty: the default data directory
        QString instanceDirectory; // empty: the per-user runtime directory
        QString programName;       // empty: the executable's name
        // SIGTERM, SIGHUP, SIGINT and the end of the desktop session end the run in order.
        bool endOnSignals = false;
    };
    using FrameFactory = std::function<std::unique_ptr<CMainWindowHost>(CBrivantelApp&, CBrivantelDoc&)>;

    enum class Start
    {
        Running,       // the main window is shown; run the event loop, then call Shutdown
        OtherInstance, // another instance runs; it has been asked to come forward
        Failed         // the data file could not be opened; the user was told why
    };
    Start InitInstance(const Options& options, const FrameFactory& createFrame);

    // Ends the run in order: the main window goes (its views hand back their state), the document
    // saves the data file and releases its lock, then ExitInstance writes the profile strings.
    void Shutdown();
    // The orderly end outside the close sequence (a signal, the session's end): no questions, the
    // data file saved, its lock released, the profile strings written; then the process ends with
    // the status, also from inside a dialog.
    [[noreturn]] void EndNow(int status);

    static CBrivantelApp* Instance();

    const std::string& GetSignature() const { return m_signature; }
    // The signature is program-wide: the document's senders use the same text.
    void SetSignature(std::string signature);
    const std::string& GetPort() const { return m_port; }
    void SetPort(std::string port);
    // Set once the main window has been shown.
    CBrivantelDoc* GetDocument() const { return m_shownDocument; }
    CSettingsStore& GetSettingsStore() { return m_settings; }
    CUserInterface& GetUserInterface() { return m_ui; }

    // Help menu and notification-area menu: the program's home page. A failure says nothing.
    void OnHomePage();

    // Qt's own Polish texts for the standard buttons ("Tak", "Nie", "Anuluj"); false when the
    // translation is not installed.
    static bool LoadQtTranslation(QCoreApplication& app);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ExitInstance();
    void OnRaiseRequested();
    void OnDocumentChanged(DocChange change) override;
    void ScheduleSave();
    void OnSaveTimer();
    void OnCollectTimer();
    void ReportSaveFailure();

    CUserInterface& m_ui;
    CSettingsStore& m_settings;
    std::string m_signature;
    std::string m_port;
    std::unique_ptr<CSingleInstance> m_instance;
    // The system's modem service for the phone route; outlives the document that uses it.
    std::unique_ptr<CModemService> m_modemService;
    std::unique_ptr<CBrivantelDoc> m_document;
    std::unique_ptr<CMainWindowHost> m_frame;
    CBrivantelDoc* m_shownDocument = nullptr;
    bool m_raisePending = false;
    QTimer m_saveTimer;
    QTimer m_collectTimer;
    CSignalPipe* m_signals = nullptr;
    bool m_saveFailureShown = false;
};
