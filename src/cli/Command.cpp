#include "cli/Command.h"

#include <QDir>

#include "app/qt/DataLocation.h"
#include "app/qt/SignalPipe.h"
#include "app/qt/TextCodec.h"
#include "phone/PhoneBackend.h"
#include "phone/mm/ModemManagerService.h"

CCommandContext::CCommandContext(QCommandLineParser& parser, QStringList positional)
    : m_parser(parser), m_positional(std::move(positional))
{
}

QString CCommandContext::DataFilePath() const
{
    const QString dir = m_parser.isSet(QStringLiteral("data-dir"))
                            ? m_parser.value(QStringLiteral("data-dir"))
                            : data_location::DefaultDirectory();
    return data_location::DataFilePath(dir);
}

std::unique_ptr<CBrivantelDoc> CCommandContext::OpenDocument(CBrivantelDoc::Access access)
{
    const QString path = DataFilePath();
    if (path.isEmpty()) {
        PrintErrorUtf8("Nie można utworzyć katalogu danych.");
        return nullptr;
    }
    auto doc = std::make_unique<CBrivantelDoc>(m_ui, m_settings);
    const int wait = m_parser.isSet(QStringLiteral("wait")) ? m_parser.value(QStringLiteral("wait")).toInt()
                                                            : kDefaultLockWaitSeconds;
    doc->SetLockWait(CDataFileLock::Holder::CommandLine, std::chrono::seconds(wait));
    if (!doc->Open(QDir::toNativeSeparators(path).toStdString(), access))
        return nullptr;
    // What the desktop program's application object holds for the run.
    doc->SetSignature(m_settings.Get(settings_keys::kSignature));
    doc->SetPhonePortName(m_settings.Get(settings_keys::kPhonePort));
    doc->SetModemService(&ModemService());
    // Only the phone commands know --backend; asking the parser about it elsewhere warns.
    if (m_parser.optionNames().contains(QStringLiteral("backend")))
        doc->SetPhoneBackend(m_parser.value(QStringLiteral("backend")).toStdString());
    if (doc->WasDamaged() && access == CBrivantelDoc::Access::ReadOnly)
        PrintErrorUtf8("Uwaga: plik danych jest uszkodzony; pokazano to, co dało się odczytać.");
    return doc;
}

CModemService& CCommandContext::ModemService()
{
    if (!m_modemService)
        m_modemService = std::make_unique<CModemManagerService>();
    return *m_modemService;
}

bool CCommandContext::PhoneBackendChoice(std::string& backend)
{
    if (m_parser.optionNames().contains(QStringLiteral("pin"))) {
        PrintErrorUtf8(
            "Kodu PIN nie podaje się w wierszu poleceń (zostałby w historii powłoki): program zapyta o "
            "niego na terminalu albo weźmie go ze zmiennej BRIVANTEL_PIN.");
        return false;
    }
    backend = m_parser.optionNames().contains(QStringLiteral("backend"))
                  ? m_parser.value(QStringLiteral("backend")).toStdString()
                  : m_settings.Get(settings_keys::kPhoneBackend);
    if (!phone_backend::IsName(backend)) {
        PrintErrorUtf8("Podaj --backend auto, modemmanager albo serial.");
        return false;
    }
    return true;
}

bool CCommandContext::OptionText(const QString& name, std::string& out) const
{
    const auto text = TextFromCommandLine(m_parser.value(name));
    if (!text) {
        PrintErrorUtf8("Wartość opcji --" + name.toStdString() +
                       " zawiera znaki, których nie da się zapisać w kodowaniu Windows-1250.");
        return false;
    }
    out = *text;
    return true;
}

void EndOnSignals()
{
    CSignalPipe::Install();
}

int InterruptedStatus(bool saved)
{
    const int signal = CSignalPipe::Received();
    if (signal == 0)
        return 0;
    if (!saved) {
        PrintErrorUtf8("Przerwano (sygnał " + std::to_string(signal) + "); danych nie zapisano.");
        return kExitFailed;
    }
    PrintErrorUtf8("Przerwano (sygnał " + std::to_string(signal) + "); dane zapisano.");
    return 128 + signal;
}

std::optional<std::string> TextFromCommandLine(const QString& text)
{
    return text_codec::FromEditText(text);
}
