#include "ui/SettingsGatewayPage.h"

#include <algorithm>

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/qt/BrivantelApp.h"
#include "app/qt/TextCodec.h"
#include "ui/OwnGatewayDialog.h"
#include "ui/SerialPortList.h"
#include "ui/Windows1250Validator.h"

CSettingsGatewayPage::CSettingsGatewayPage(CBrivantelDoc& document, QWidget* parent)
    : CSettingsPage(parent), m_document(document), m_methods(new QTreeWidget),
      m_internet(new QRadioButton(QStringLiteral("Przez bramki internetowe operatorów"))),
      m_phone(new QRadioButton(QStringLiteral("Przez telefon GSM podłączony do komputera"))),
      m_port(new QComboBox)
{
    setObjectName(QStringLiteral("SettingsGatewayPage"));
    m_methods->setObjectName(QStringLiteral("MethodList"));
    m_methods->setRootIsDecorated(false);
    m_methods->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_methods->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_methods->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_methods->setHeaderLabels(
        {QStringLiteral("Sieć"), QStringLiteral("Adres bramki"), QStringLiteral("Numery")});
    m_methods->header()->setStretchLastSection(true);
    FillMethodList();
    // The list's own widths (50 and 150 pixels) clip the names in today's fonts: a column grows to
    // its widest text.
    m_methods->resizeColumnToContents(0);
    m_methods->resizeColumnToContents(1);
    m_methods->setColumnWidth(0, std::max(50, m_methods->columnWidth(0) + 8));
    m_methods->setColumnWidth(1, std::max(150, m_methods->columnWidth(1) + 8));
    // Room for the three gateways and the own one, without a scroll bar.
    const int row = std::max(m_methods->sizeHintForRow(0), m_methods->fontMetrics().height() + 4);
    m_methods->setMinimumHeight(m_methods->header()->sizeHint().height() + 4 * row +
                                2 * m_methods->frameWidth() + 4);

    auto* methods = new QGroupBox(QStringLiteral("Metody"));
    auto* methodsLayout = new QGridLayout(methods);
    auto* caption = new QLabel(QStringLiteral("Internet"));
    methodsLayout->addWidget(caption, 0, 0, Qt::AlignTop);
    methodsLayout->addWidget(m_methods, 0, 1);
    methodsLayout->setColumnStretch(1, 1);
    // The user's own SMS gateway: a fourth row of the list while it is switched on.
    auto* ownGateway = new QPushButton(QStringLiteral("Własna bramka..."));
    ownGateway->setObjectName(QStringLiteral("OwnGatewayButton"));
    methodsLayout->addWidget(ownGateway, 1, 1, Qt::AlignLeft);
    connect(ownGateway, &QPushButton::clicked, this, [this] {
        COwnGatewayDialog dialog(m_document, this);
        if (dialog.exec() == QDialog::Accepted)
            FillMethodList();
    });

    // The route: without this choice the phone route could never be used from the program.
    auto* route = new QGroupBox(QStringLiteral("Sposób wysyłania"));
    m_routeGroup = new QButtonGroup(route);
    m_routeGroup->addButton(m_internet);
    m_routeGroup->addButton(m_phone);
    m_port->setObjectName(QStringLiteral("PortBox"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->lineEdit()->setValidator(new CWindows1250Validator(m_port));
    m_port->setMinimumContentsLength(24);
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* portLabel = new QLabel(QStringLiteral("Port telefonu:"));
    portLabel->setBuddy(m_port);
    auto* routeLayout = new QGridLayout(route);
    routeLayout->addWidget(m_internet, 0, 0, 1, 3);
    routeLayout->addWidget(m_phone, 1, 0, 1, 3);
    routeLayout->addWidget(portLabel, 2, 0);
    routeLayout->addWidget(m_port, 2, 1);
    routeLayout->setColumnStretch(2, 1);
    routeLayout->setColumnMinimumWidth(0, 20);
    BuildPhoneControls(routeLayout, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(methods, 1);
    layout->addWidget(route);
}

void CSettingsGatewayPage::FillMethodList()
{
    m_methods->clear();
    for (const CSender::Method& method : m_document.GetSender().MethodList()) {
        auto* item = new QTreeWidgetItem(m_methods);
        item->setText(0, text_codec::ToQString(method.name));
        item->setText(1, text_codec::ToQString(method.address));
        item->setText(2, text_codec::ToQString(method.prefixes));
    }
}

void CSettingsGatewayPage::FillPorts(const QString& current)
{
    m_port->clear();
    m_port->addItems(serial_port_list::Present());
    m_port->setEditText(current);
}

void CSettingsGatewayPage::OnSetActive()
{
    const std::int32_t route = m_document.GetSettings().GetRoute();
    // A route value from elsewhere that is neither leaves both unticked until the user picks one.
    m_routeGroup->setExclusive(false);
    m_internet->setChecked(route == ROUTE_INTERNET);
    m_phone->setChecked(route == ROUTE_PHONE);
    m_routeGroup->setExclusive(true);
    FillPorts(text_codec::ToQString(m_document.GetPhonePortName()));
    LoadPhoneEncoding();
}

bool CSettingsGatewayPage::OnKillActive()
{
    if (m_internet->isChecked())
        m_document.GetSettings().SetRoute(ROUTE_INTERNET);
    else if (m_phone->isChecked())
        m_document.GetSettings().SetRoute(ROUTE_PHONE);

    StorePhoneEncoding();
    std::string port = text_codec::FromQStringLossy(m_port->currentText().trimmed());
    if (port != m_document.GetPhonePortName()) {
        m_document.GetSettingsStore().Set(settings_keys::kPhonePort, port);
        // The program holds the port for the run and writes it back at the end: both stay in step.
        if (CBrivantelApp* app = CBrivantelApp::Instance(); app && app->GetDocument() == &m_document)
            app->SetPort(port);
        else
            m_document.SetPhonePortName(std::move(port));
    }
    return true;
}
