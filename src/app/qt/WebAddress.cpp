#include "app/qt/WebAddress.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "app/MakerAddresses.h"
#include "app/SettingsKeys.h"

namespace web_address {

namespace {

Opener& TestOpener()
{
    static Opener opener;
    return opener;
}

bool DesktopOpen(const QUrl& url)
{
    if (TestOpener())
        return TestOpener()(url);
    return QDesktopServices::openUrl(url);
}

#ifdef Q_OS_WIN
// The registry fallback: HKEY_CLASSES_ROOT\.htm names the file class whose open command starts
// the browser. Values longer than the old 260-character buffers are used as they are.
bool StartRegisteredBrowser(const QString& address)
{
    const QSettings classes(QStringLiteral("HKEY_CLASSES_ROOT"), QSettings::NativeFormat);
    const QString htmClass = classes.value(QStringLiteral(".htm/Default")).toString();
    if (htmClass.isEmpty())
        return false;
    const QString command =
        classes.value(htmClass + QStringLiteral("/shell/open/command/Default")).toString();
    if (command.isEmpty())
        return false;
    QStringList args = QProcess::splitCommand(BrowserCommandLine(command, address));
    if (args.isEmpty())
        return false;
    const QString program = args.takeFirst();
    return QProcess::startDetached(program, args);
}
#endif

} // namespace

QString HomePage(const CSettingsStore& settings)
{
    return QString::fromStdString(maker_addresses::HomePage(settings.Get(settings_keys::kMakerHost)));
}

int Open(const QString& address)
{
    // What can be told before anything is started gets its own value: an address that names
    // nothing, a file or folder that is not there, a file that may not be read.
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    if (address.trimmed().isEmpty() || !url.isValid())
        return kFileNotFound;
    if (url.isLocalFile()) {
        const QFileInfo file(url.toLocalFile());
        if (!file.exists())
            return file.absoluteDir().exists() ? kFileNotFound : kPathNotFound;
        if (!file.isReadable())
            return kAccessDenied;
    }
    if (DesktopOpen(url))
        return 0;
#ifdef Q_OS_WIN
    if (!TestOpener() && StartRegisteredBrowser(address))
        return 0;
#else
    // The desktop opens addresses through xdg-open: without it nothing is associated with any
    // address; with it, the handler it chose did not start.
    if (!TestOpener() && !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return kAssociationIncomplete;
#endif
    return kNoAssociation;
}

bool IsWebAddress(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QString BrowserCommandLine(const QString& registeredCommand, const QString& address)
{
    QString line = registeredCommand;
    qsizetype cut = line.indexOf(QStringLiteral("\"%1\""));
    if (cut < 0)
        cut = line.indexOf(QStringLiteral("%1"));
    if (cut >= 0)
        line.truncate(cut);
    return line + QLatin1Char(' ') + address;
}

QString ErrorText(int value)
{
    switch (value) {
    case 0:
        return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
        return QStringLiteral("The specified file was not found.");
    case 3:
        return QStringLiteral("The specified path was not found.");
    case 5:
        return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
        return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
        return QStringLiteral("A sharing violation occurred. ");
    case 27:
        return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
        return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral(
            "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
            "being processed.");
    case 31:
        return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32:
        return QStringLiteral("The specified dynamic-link library was not found.");
    default:
        return QStringLiteral("Unknown Error (%1) occurred.").arg(value);
    }
}

void SetOpenerForTesting(Opener opener)
{
    TestOpener() = std::move(opener);
}

} // namespace web_address
