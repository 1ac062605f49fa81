// The phone's controls of the sending page: how messages are encoded for the phone, and a check
// that asks the phone who it is and whether it can send.

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/qt/TextCodec.h"
#include "phone/PhoneBackend.h"
#include "send/PhoneSender.h"
#include "ui/FindPhoneDialog.h"
#include "ui/SettingsGatewayPage.h"

void CSettingsGatewayPage::BuildPhoneControls(QGridLayout* layout, int row)
{
    m_encoding = new QComboBox;
    m_encoding->setObjectName(QStringLiteral("EncodingBox"));
    m_encoding->addItem(QStringLiteral("Automatycznie (polskie litery, długie wiadomości)"),
                        QStringLiteral("auto"));
    m_encoding->addItem(QStringLiteral("Zawsze tryb tekstowy (starsze telefony)"), QStringLiteral("text"));
    auto* encodingLabel = new QLabel(QStringLiteral("Kodowanie:"));
    encodingLabel->setBuddy(m_encoding);
    m_backend = new QComboBox;
    m_backend->setObjectName(QStringLiteral("BackendBox"));
    m_backend->addItem(QStringLiteral("Automatycznie"), QStringLiteral("auto"));
    m_backend->addItem(QStringLiteral("ModemManager"), QStringLiteral("modemmanager"));
    m_backend->addItem(QStringLiteral("Port szeregowy"), QStringLiteral("serial"));
    auto* backendLabel = new QLabel(QStringLiteral("Obsługa:"));
    backendLabel->setBuddy(m_backend);
    m_findPhone = new QPushButton(QStringLiteral("Znajdź telefon..."));
    m_findPhone->setObjectName(QStringLiteral("FindPhoneButton"));
    connect(m_findPhone, &QPushButton::clicked, this, [this] { FindPhone(); });

    m_checkPhone = new QPushButton(QStringLiteral("Sprawdź telefon"));
    m_checkPhone->setObjectName(QStringLiteral("CheckPhoneButton"));
    m_phoneResult = new QLabel;
    m_phoneResult->setObjectName(QStringLiteral("PhoneCheckResult"));
    m_phoneResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_phoneResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the five lines of a check from the start: the page does not jump when they come.
    m_phoneResult->setMinimumHeight(m_phoneResult->fontMetrics().lineSpacing() * 5 + 4);
    connect(m_checkPhone, &QPushButton::clicked, this, [this] { CheckPhone(); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_checkPhone);
    buttons->addWidget(m_findPhone);
    buttons->addStretch(1);
    // Off by default: some operators charge for the reports.
    m_deliveryReports = new QCheckBox(QStringLiteral("Potwierdzenie doręczenia"));
    m_deliveryReports->setObjectName(QStringLiteral("DeliveryReportsBox"));

    auto* check = new QHBoxLayout;
    check->addLayout(buttons);
    check->addWidget(m_phoneResult, 1);
    layout->addWidget(encodingLabel, row, 0);
    layout->addWidget(m_encoding, row, 1);
    layout->addWidget(backendLabel, row + 1, 0);
    layout->addWidget(m_backend, row + 1, 1, Qt::AlignLeft);
    layout->addLayout(check, row + 2, 1, 1, 2);
    layout->addWidget(m_deliveryReports, row, 2);
}

void CSettingsGatewayPage::LoadPhoneEncoding()
{
    const auto encoding =
        CPhoneSender::EncodingFor(m_document.GetSettingsStore().Get(settings_keys::kPhoneEncoding));
    m_encoding->setCurrentIndex(encoding == PhoneEncoding::Text ? 1 : 0);
    const PhoneBackend backend =
        phone_backend::FromSetting(m_document.GetSettingsStore().Get(settings_keys::kPhoneBackend));
    m_backend->setCurrentIndex(static_cast<int>(backend));
    m_deliveryReports->setChecked(m_document.GetSettingsStore().Get(settings_keys::kDeliveryReports) != 0);
}

void CSettingsGatewayPage::StorePhoneEncoding()
{
    const std::string value = m_encoding->currentData().toString().toStdString();
    // An unset value means the default; it is written only once the user has chosen otherwise.
    if (value != m_document.GetSettingsStore().Get(settings_keys::kPhoneEncoding))
        m_document.GetSettingsStore().Set(settings_keys::kPhoneEncoding, value);
    const std::string backend = m_backend->currentData().toString().toStdString();
    if (backend != m_document.GetSettingsStore().Get(settings_keys::kPhoneBackend))
        m_document.GetSettingsStore().Set(settings_keys::kPhoneBackend, backend);
    const int reports = m_deliveryReports->isChecked() ? 1 : 0;
    if (reports != m_document.GetSettingsStore().Get(settings_keys::kDeliveryReports))
        m_document.GetSettingsStore().Set(settings_keys::kDeliveryReports, reports);
}

void CSettingsGatewayPage::FindPhone()
{
    // On the heap and guarded: the program's end may take the page, and the dialog with it, while
    // the dialog's own loop still runs; a dialog on this stack would then be freed twice.
    QPointer<CFindPhoneDialog> dialog = new CFindPhoneDialog(m_document.ModemService(), this);
    dialog->Start();
    const int answer = dialog->exec();
    if (!dialog)
        return;
    const std::unique_ptr<CFindPhoneDialog> owned(dialog.data());
    if (answer != QDialog::Accepted)
        return;
    if (!owned->ChosenPort().empty())
        m_port->setCurrentText(text_codec::ToQString(owned->ChosenPort()));
    const int backend = m_backend->findData(QString::fromStdString(owned->ChosenBackend()));
    if (backend >= 0)
        m_backend->setCurrentIndex(backend);
}

void CSettingsGatewayPage::CheckPhone()
{
    // The port as it stands in the box: the user checks a port before keeping it.
    const std::string port = text_codec::FromQStringLossy(m_port->currentText().trimmed());
    if (port.empty()) {
        m_phoneResult->setText(QStringLiteral("Wybierz port telefonu."));
        return;
    }
    m_phoneResult->setText(QStringLiteral("Sprawdzanie telefonu…"));
    m_checkPhone->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_phoneResult->repaint();
    // Each question has its own short wait; while one runs only painting goes on, as during a send.
    CPhoneSender phone(port, [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    });
    const PhoneReport report = phone.Inspect();
    QApplication::restoreOverrideCursor();
    m_checkPhone->setEnabled(true);
    m_phoneResult->setText(text_codec::ToQString(report.Text()));
}
