#include "ui/SettingsConnectionPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/UserInterface.h"
#include "app/qt/TextCodec.h"
#include "ui/IntegerField.h"
#include "ui/Windows1250Validator.h"

CSettingsConnectionPage::CSettingsConnectionPage(CBrivantelDoc& document, QWidget* parent)
    : CSettingsPage(parent), m_document(document),
      m_useProxy(new QCheckBox(QStringLiteral("Używaj serwera Proxy"))), m_address(new QLineEdit),
      m_port(new QLineEdit)
{
    setObjectName(QStringLiteral("SettingsConnectionPage"));
    m_address->setValidator(new CWindows1250Validator(m_address));
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_port->setMaximumWidth(90);

    auto* group = new QGroupBox(QStringLiteral("Połączenie"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Adres:"), m_address);
    form->addRow(QStringLiteral("Port:"), m_port);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_useProxy);
    groupLayout->addLayout(form);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
}

void CSettingsConnectionPage::OnSetActive()
{
    const CSettingsData& settings = m_document.GetSettings();
    m_useProxy->setChecked(settings.GetUseProxy());
    m_address->setText(text_codec::ToQString(settings.GetProxyHost()));
    m_port->setText(QString::number(settings.GetProxyPort()));
}

bool CSettingsConnectionPage::OnKillActive()
{
    CSettingsData& settings = m_document.GetSettings();
    settings.SetUseProxy(m_useProxy->isChecked());
    // The validator lets only Windows-1250 text in.
    settings.SetProxyHost(text_codec::FromQStringLossy(m_address->text()));
    const auto port = integer_field::Parse(m_port->text());
    if (!port) {
        m_document.GetUserInterface().ShowMessage(integer_field::kNotInteger,
                                                  CUserInterface::Icon::Exclamation);
        m_port->setFocus();
        m_port->selectAll();
        return false;
    }
    settings.SetProxyPort(*port);
    return true;
}

void CSettingsConnectionPage::WriteBackQuietly()
{
    CSettingsData& settings = m_document.GetSettings();
    settings.SetUseProxy(m_useProxy->isChecked());
    settings.SetProxyHost(text_codec::FromQStringLossy(m_address->text()));
    // A port that is no number keeps the stored one: the end of the run asks nothing.
    if (const auto port = integer_field::Parse(m_port->text()))
        settings.SetProxyPort(*port);
}
