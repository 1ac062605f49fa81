#include "app/qt/BrivantelApp.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QSessionManager>
#include <QStatusBar>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/UserInterface.h"
#include "app/qt/DataLocation.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/SignalPipe.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/WebAddress.h"
#include "net/StopRequest.h"
#include "store/Windows1250.h"

namespace {

CBrivantelApp* g_app = nullptr;

// How often a running background write is looked at.
constexpr int kCollectMs = 100;

QString ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

CBrivantelApp::CBrivantelApp(CUserInterface& ui, CSettingsStore& settings) : m_ui(ui), m_settings(settings)
{
    g_app = this;
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &CBrivantelApp::OnSaveTimer);
    m_collectTimer.setInterval(kCollectMs);
    connect(&m_collectTimer, &QTimer::timeout, this, &CBrivantelApp::OnCollectTimer);
}

CBrivantelApp::~CBrivantelApp()
{
    Shutdown();
    if (g_app == this)
        g_app = nullptr;
}

CBrivantelApp* CBrivantelApp::Instance()
{
    return g_app;
}

bool CBrivantelApp::LoadQtTranslation(QCoreApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    auto translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

CBrivantelApp::Start CBrivantelApp::InitInstance(const Options& options, const FrameFactory& createFrame)
{
    // 1-2. One instance per user; a second start brings the first one forward and never touches
    // the data file.
    const QString name = options.programName.isEmpty() ? ProgramName() : options.programName;
    const QString instanceDir =
        options.instanceDirectory.isEmpty() ? CSingleInstance::DefaultDirectory() : options.instanceDirectory;
    m_instance = std::make_unique<CSingleInstance>(instanceDir, name);
    switch (m_instance->TryClaim()) {
    case CSingleInstance::Claim::First:
    case CSingleInstance::Claim::NoLock: // the data file's own lock still guards the data
        break;
    case CSingleInstance::Claim::OtherRaised:
    case CSingleInstance::Claim::OtherSilent:
        m_instance.reset();
        return Start::OtherInstance;
    }
    connect(m_instance.get(), &CSingleInstance::raiseRequested, this, &CBrivantelApp::OnRaiseRequested);

    // 3. Sockets need no start-up here. 4. The profile strings.
    m_signature = m_settings.Get(settings_keys::kSignature);
    m_port = m_settings.Get(settings_keys::kPhonePort);

    // 6-8. The data file, created empty when missing; the document holds its writer's lock for the
    // whole run, so the command-line tool cannot overwrite what the program keeps in memory.
    const QString dir =
        options.dataDirectory.isEmpty() ? data_location::DefaultDirectory() : options.dataDirectory;
    const QString path = data_location::DataFilePath(dir);
    if (path.isEmpty()) {
        m_ui.ShowMessage(
            windows1250::FromUtf8Lossy("Nie można utworzyć katalogu danych „" + dir.toStdString() + "”."),
            CUserInterface::Icon::Error);
        return Start::Failed;
    }
    auto document = std::make_unique<CBrivantelDoc>(m_ui, m_settings);
    if (!document->Open(path.toStdString(), CBrivantelDoc::Access::ReadWrite))
        return Start::Failed;
    document->SetSignature(m_signature);
    document->SetPhonePortName(m_port);
    m_document = std::move(document);
    m_document->AddListener(*this);
    if (options.endOnSignals) {
        if (CSignalPipe::Install()) {
            m_signals = new CSignalPipe(this);
            connect(m_signals, &CSignalPipe::received, this, [this](int signal) { EndNow(128 + signal); });
        }
        if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            // The session ends (logout, shutdown): nothing may wait for an answer now.
            connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { EndNow(0); });
        }
    }

    // 9. The main window, then the document pointer, then the frame's online work.
    m_frame = createFrame(*this, *m_document);
    m_frame->Window()->show();
    m_shownDocument = m_document.get();
    m_frame->StartOnlineWork();
    // Any click or key may have changed something no one announced: the next save compares the
    // document with what is on disk and writes only a difference.
    QCoreApplication::instance()->installEventFilter(this);

    // 10. From here on a later start can find this window.
    m_instance->Listen();
    if (m_raisePending)
        OnRaiseRequested();
    return Start::Running;
}

void CBrivantelApp::SetSignature(std::string signature)
{
    m_signature = std::move(signature);
    if (m_document)
        m_document->SetSignature(m_signature);
}

void CBrivantelApp::SetPort(std::string port)
{
    m_port = std::move(port);
    if (m_document)
        m_document->SetPhonePortName(m_port);
}

void CBrivantelApp::OnRaiseRequested()
{
    if (!m_frame) {
        m_raisePending = true;
        return;
    }
    m_raisePending = false;
    m_frame->Restore();
}

void CBrivantelApp::Shutdown()
{
    if (!m_document && !m_frame)
        return;
    m_saveTimer.stop();
    m_collectTimer.stop();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // The file is written while the window still exists: whatever the save has to say is said
    // over it, and nothing appears once it is gone.
    if (m_frame)
        m_frame->HandBackState();
    m_shownDocument = nullptr;
    if (m_document)
        m_document->SaveDataFile();
    m_frame.reset();
    if (m_document) {
        m_document->RemoveListener(*this);
        m_document.reset();
    }
    ExitInstance();
    m_instance.reset();
}

void CBrivantelApp::EndNow(int status)
{
    // Any wait still running (a send, a mail check) ends at its next slice.
    net_stop::Request();
    m_saveTimer.stop();
    m_collectTimer.stop();
    if (m_frame)
        m_frame->HandBackState();
    m_shownDocument = nullptr;
    bool saved = true;
    if (m_document) {
        saved = m_document->SaveDataFile(false);
        m_document.reset(); // releases the lock
    }
    ExitInstance();
    if (auto* store = dynamic_cast<CQtSettingsStore*>(&m_settings))
        store->Sync();
    m_instance.reset();
    std::fflush(nullptr);
    // The windows are left to the system: unwinding a dialog that is open now would run the code
    // waiting behind it against a document that is gone. A save that failed is not an orderly end.
    ::_exit(saved ? status : 1);
}

void CBrivantelApp::OnDocumentChanged(DocChange /*change*/)
{
    ScheduleSave();
}

bool CBrivantelApp::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease)
        ScheduleSave();
    return QObject::eventFilter(watched, event);
}

void CBrivantelApp::ScheduleSave()
{
    // The first change of a burst starts the timer and later ones do not move it, so nothing
    // waits longer than the delay however busy the user is.
    if (m_document && !m_saveTimer.isActive())
        m_saveTimer.start();
}

void CBrivantelApp::OnSaveTimer()
{
    if (!m_document)
        return;
    // Timers do not run inside a wait hook; a send or a mail check can still be open behind a
    // dialog of its own. The save then waits for its end.
    if (m_document->IsBusy()) {
        m_saveTimer.start();
        return;
    }
    if (m_document->SaveInBackground())
        m_collectTimer.start();
    else
        ReportSaveFailure();
}

void CBrivantelApp::OnCollectTimer()
{
    if (!m_document || m_document->CollectBackgroundSave()) {
        m_collectTimer.stop();
        if (m_document)
            ReportSaveFailure();
    }
}

void CBrivantelApp::ReportSaveFailure()
{
    const std::string failure = m_document->TakeQuietSaveError();
    if (failure.empty())
        return;
    // The status bar says it at every failed try; the dialog once a run. The next change tries again.
    if (auto* main = m_frame ? qobject_cast<QMainWindow*>(m_frame->Window()) : nullptr)
        main->statusBar()->showMessage(
            QStringLiteral("Nie udało się zapisać pliku danych; zmiany są tylko w pamięci."));
    if (m_saveFailureShown)
        return;
    m_saveFailureShown = true;
    m_ui.ShowMessage(failure, CUserInterface::Icon::Exclamation);
}

void CBrivantelApp::ExitInstance()
{
    m_settings.Set(settings_keys::kSignature, m_signature);
    m_settings.Set(settings_keys::kPhonePort, m_port);
}

void CBrivantelApp::OnHomePage()
{
    web_address::OpenQuietly(web_address::HomePage(m_settings));
}
