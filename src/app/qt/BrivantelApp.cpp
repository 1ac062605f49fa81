#include "app/qt/BrivantelApp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/UserInterface.h"
#include "app/qt/DataLocation.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/WebAddress.h"
#include "store/Windows1250.h"

namespace {

CBrivantelApp* g_app = nullptr;

const std::string kSection = "Settings";

QString ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

} // namespace

CBrivantelApp::CBrivantelApp(CUserInterface& ui, CSettingsStore& settings) : m_ui(ui), m_settings(settings)
{
    g_app = this;
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
    m_signature = m_settings.GetString(kSection, "Sign");
    m_port = m_settings.GetString(kSection, "Port");

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

    // 9. The main window, then the document pointer, then the frame's online work.
    m_frame = createFrame(*this, *m_document);
    m_frame->Window()->show();
    m_shownDocument = m_document.get();
    m_frame->StartOnlineWork();

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
    m_frame.reset();
    m_shownDocument = nullptr;
    if (m_document) {
        m_document->SaveDataFile();
        m_document.reset();
    }
    ExitInstance();
    m_instance.reset();
}

void CBrivantelApp::ExitInstance()
{
    m_settings.SetString(kSection, "Sign", m_signature);
    m_settings.SetString(kSection, "Port", m_port);
}

void CBrivantelApp::OnHomePage()
{
    web_address::OpenQuietly(web_address::HomePage(m_settings));
}
