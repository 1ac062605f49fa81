#include "ui/FindPhoneDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "phone/PhoneBackend.h"

namespace {

enum Column
{
    kDevice,
    kName,
    kSim,
    kSignal,
    kPort,
    kColumns
};

constexpr int kPortRole = Qt::UserRole;
constexpr int kBackendRole = Qt::UserRole + 1;

QString Text(const std::string& text)
{
    return text_codec::ToQString(text);
}

QString JoinName(const std::string& maker, const std::string& model)
{
    return Text(maker + (maker.empty() || model.empty() ? "" : " ") + model);
}

} // namespace

CFindPhoneDialog::CFindPhoneDialog(CModemService* service, QWidget* parent, std::string byIdDir,
                                   std::string sysRoot)
    : QDialog(parent), m_service(service), m_byIdDir(std::move(byIdDir)), m_sysRoot(std::move(sysRoot))
{
    setObjectName(QStringLiteral("FindPhoneDialog"));
    setWindowTitle(QStringLiteral("Znajdź telefon"));
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("PhoneList"));
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setColumnCount(kColumns);
    m_list->setHeaderLabels({QStringLiteral("Przez"), QStringLiteral("Producent i model"),
                             QStringLiteral("Karta SIM"), QStringLiteral("Sygnał"), QStringLiteral("Port")});
    m_status = new QLabel(QStringLiteral("Szukanie telefonów…"));
    m_status->setObjectName(QStringLiteral("FindPhoneStatus"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    m_choose = buttons->addButton(QStringLiteral("Wybierz"), QDialogButtonBox::AcceptRole);
    m_choose->setObjectName(QStringLiteral("ChoosePhoneButton"));
    m_choose->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFindPhoneDialog::Choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_choose->setEnabled(!m_list->selectedItems().isEmpty()); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { Choose(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    m_poll = new QTimer(this);
    m_poll->setInterval(50);
    connect(m_poll, &QTimer::timeout, this, &CFindPhoneDialog::Collect);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 110, metrics.lineSpacing() * 16);
}

CFindPhoneDialog::~CFindPhoneDialog()
{
    // Each probe is bounded (a few seconds at most); the threads are waited for, never left.
    for (auto& pending : m_pending)
        pending.probe.wait();
}

void CFindPhoneDialog::Start()
{
    std::vector<ModemInfo> modems;
    if (m_service)
        modems = m_service->Modems();
    for (const ModemInfo& modem : modems) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(kDevice, QStringLiteral("ModemManager"));
        item->setText(kName, Text(modem.Name()));
        item->setText(kSim, Text(modem.SimText()));
        item->setText(kSignal, modem.signal < 0 ? QString() : QStringLiteral("%1%").arg(modem.signal));
        item->setText(kPort, QString::fromStdString(modem.primaryPort));
        item->setData(kDevice, kPortRole,
                      modem.primaryPort.empty()
                          ? QString()
                          : QStringLiteral("/dev/") + QString::fromStdString(modem.primaryPort));
        item->setData(kDevice, kBackendRole, QStringLiteral("modemmanager"));
    }
    for (const port_search::Port& port : port_search::ListPorts(m_byIdDir, m_sysRoot)) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(kDevice, QStringLiteral("Port szeregowy"));
        item->setText(kName, JoinName(port.maker, port.model));
        // The by-id name says the most in its last part; the whole path and the device on hover.
        item->setText(kPort, QString::fromStdString(port.path.substr(port.path.rfind('/') + 1)));
        item->setToolTip(kPort, QString::fromStdString(port.path + " → " + port.device));
        item->setData(kDevice, kPortRole, QString::fromStdString(port.path));
        item->setData(kDevice, kBackendRole, QStringLiteral("serial"));
        if (phone_backend::ServiceHolds(modems, port.device)) {
            // Asking would only find it busy: the modem is in the list above.
            item->setText(kSim, QStringLiteral("port ModemManager"));
            item->setDisabled(true);
            continue;
        }
        item->setText(kSim, QStringLiteral("sprawdzanie…"));
        m_pending.push_back(
            {m_list->indexOfTopLevelItem(item), std::async(std::launch::async, port_search::ProbePort,
                                                           port.device, std::chrono::milliseconds(2000))});
    }
    for (int c = 0; c < kColumns; ++c)
        m_list->resizeColumnToContents(c);
    Collect();
    if (!IsComplete())
        m_poll->start();
}

bool CFindPhoneDialog::IsComplete() const
{
    return m_pending.empty();
}

void CFindPhoneDialog::Collect()
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->probe.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++it;
            continue;
        }
        const port_search::Probe probe = it->probe.get();
        QTreeWidgetItem* item = m_list->topLevelItem(it->row);
        if (probe.answered) {
            if (item->text(kName).isEmpty())
                item->setText(kName, Text(probe.maker));
            item->setText(kSim, Text(probe.sim.empty() ? "?" : probe.sim));
        } else {
            item->setText(kSim, Text(probe.problem));
            item->setForeground(kSim, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        it = m_pending.erase(it);
    }
    if (IsComplete()) {
        m_poll->stop();
        m_list->resizeColumnToContents(kSim);
        m_status->setText(m_list->topLevelItemCount() == 0
                              ? QStringLiteral("Nie znaleziono żadnego telefonu ani modemu.")
                              : QStringLiteral("Wybierz telefon albo modem z listy."));
    }
}

void CFindPhoneDialog::Choose()
{
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    m_chosenPort = text_codec::FromQStringLossy(selected.front()->data(kDevice, kPortRole).toString());
    m_chosenBackend = selected.front()->data(kDevice, kBackendRole).toString().toStdString();
    accept();
}
