// brivantel: the desktop program.

#include <QApplication>
#include <QCommandLineParser>

#include "app/qt/BrivantelApp.h"
#include "app/qt/QtSettingsStore.h"
#include "ui/BrivantelFrame.h"
#include "ui/Icons.h"
#include "ui/QtUserInterface.h"

namespace {

// Exit status of a second start: 0 when the running instance came forward, 1 when it did not
// answer; 1 also when the data file could not be opened.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

} // namespace

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvella Systems"));
    QCoreApplication::setApplicationName(QStringLiteral("Brivantel"));
    // No application display name: Qt would append it to every window title that does not end
    // with it, and the program's titles end in a blank ("Wyślij wiadomość - Brivantel ").
    QGuiApplication::setDesktopFileName(QStringLiteral("brivantel"));
    // The window may hide in the notification area; only the close sequence ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(icons::AppIcon());
    CBrivantelApp::LoadQtTranslation(qapp);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Brivantel: krótkie wiadomości tekstowe (SMS)."));
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"), QStringLiteral("Katalog z plikiem Brivantel.vs."), QStringLiteral("DIR"));
    parser.addOption(dataDir);
    parser.addHelpOption();
    parser.process(qapp);

    CQtSettingsStore settings;
    CQtUserInterface ui;
    CBrivantelApp app(ui, settings);
    CBrivantelApp::Options options;
    options.dataDirectory = parser.value(dataDir);
    options.endOnSignals = true;
    const auto started = app.InitInstance(options, [&ui, &settings](CBrivantelApp& self, CBrivantelDoc& doc) {
        auto frame = std::make_unique<CBrivantelFrame>(doc, settings, &self);
        ui.SetOwner(frame.get());
        QObject::connect(frame.get(), &CBrivantelFrame::closeAccepted, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        return frame;
    });
    switch (started) {
    case CBrivantelApp::Start::OtherInstance:
        return kExitOk;
    case CBrivantelApp::Start::Failed:
        return kExitFailed;
    case CBrivantelApp::Start::Running:
        break;
    }
    const int result = QApplication::exec();
    // The save at the end is made while the window still exists, so what it says has an owner.
    app.Shutdown();
    ui.SetOwner(nullptr);
    settings.Sync();
    return result;
}
