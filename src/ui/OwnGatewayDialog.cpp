#include "ui/OwnGatewayDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/qt/TextCodec.h"
#include "net/StopRequest.h"
#include "ui/StopButton.h"
#include "ui/Windows1250Validator.h"

namespace {

constexpr int kShownReply = 200;

QLineEdit* Field(const char* objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setValidator(new CWindows1250Validator(edit));
    return edit;
}

std::string Text(const QString& text)
{
    return text_codec::FromQStringLossy(text);
}

} // namespace

COwnGatewayDialog::COwnGatewayDialog(CBrivantelDoc& document, QWidget* parent)
    : QDialog(parent), m_document(document)
{
    setObjectName(QStringLiteral("OwnGatewayDialog"));
    setWindowTitle(QStringLiteral("Własna bramka"));

    m_enabled = new QCheckBox(QStringLiteral("Wysyłaj przez własną bramkę"), this);
    m_enabled->setObjectName(QStringLiteral("Enabled"));
    m_name = Field("Name", this);
    m_url = Field("Url", this);
    m_url->setPlaceholderText(QStringLiteral("https://api.bramka.example/sms?to={number}"));
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("Method"));
    m_method->addItems({QStringLiteral("POST"), QStringLiteral("GET")});
    m_body = Field("Body", this);
    m_body->setPlaceholderText(QStringLiteral("to={number}&message={text}&from={signature}"));
    m_contentType = new QComboBox(this);
    m_contentType->setObjectName(QStringLiteral("ContentType"));
    m_contentType->setEditable(true);
    m_contentType->addItems({QString::fromLatin1(settings_keys::kGatewayContentType.fallback),
                             QStringLiteral("application/json")});
    m_headers = new QPlainTextEdit(this);
    m_headers->setObjectName(QStringLiteral("Headers"));
    m_headers->setPlaceholderText(QStringLiteral("Authorization: Bearer ..."));
    m_headers->setTabChangesFocus(true);
    m_headers->setFixedHeight(m_headers->fontMetrics().lineSpacing() * 3 + 12);
    m_showHeaders = new QPushButton(QStringLiteral("Pokaż"), this);
    m_showHeaders->setObjectName(QStringLiteral("ShowHeaders"));
    m_showHeaders->setCheckable(true);
    m_showHeaders->setAutoDefault(false);
    connect(m_showHeaders, &QPushButton::toggled, this, &COwnGatewayDialog::ShowHeaders);
    m_success = Field("Success", this);
    m_numbers = Field("Numbers", this);
    m_numbers->setPlaceholderText(QStringLiteral("wszystkie, albo np. +48602;+48501"));
    m_caFile = Field("CaFile", this);
    m_caFile->setPlaceholderText(QStringLiteral("certyfikaty systemu"));

    auto* form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(QStringLiteral("&Nazwa:"), m_name);
    form->addRow(QStringLiteral("&Adres (URL):"), m_url);
    form->addRow(QStringLiteral("&Metoda:"), m_method);
    form->addRow(QStringLiteral("&Treść zapytania:"), m_body);
    form->addRow(QStringLiteral("&Typ treści:"), m_contentType);
    auto* headersRow = new QHBoxLayout;
    headersRow->addWidget(m_headers, 1);
    headersRow->addWidget(m_showHeaders, 0, Qt::AlignTop);
    form->addRow(QStringLiteral("Nagłów&ki:"), headersRow);
    form->addRow(QStringLiteral("Tekst &potwierdzenia:"), m_success);
    form->addRow(QStringLiteral("N&umery:"), m_numbers);
    auto* chooseCa = new QPushButton(QStringLiteral("..."), this);
    chooseCa->setObjectName(QStringLiteral("ChooseCaFile"));
    chooseCa->setAutoDefault(false);
    chooseCa->setFixedWidth(chooseCa->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);
    connect(chooseCa, &QPushButton::clicked, this, &COwnGatewayDialog::ChooseCaFile);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(chooseCa);
    form->addRow(QStringLiteral("Plik &CA:"), caRow);
    auto* hint = new QLabel(
        QStringLiteral("W adresie i treści: {number}, {number_digits}, {text}, {signature}."), this);
    hint->setWordWrap(true);
    form->addRow(hint);

    auto* test = new QGroupBox(QStringLiteral("Próba"), this);
    m_testNumber = Field("TestNumber", test);
    m_testNumber->setPlaceholderText(QStringLiteral("+48..."));
    m_testButton = new QPushButton(QStringLiteral("Wyślij próbną wiadomość"), test);
    m_testButton->setObjectName(QStringLiteral("SendTest"));
    m_testButton->setAutoDefault(false);
    // Room around the long label, whatever the style's own padding.
    m_testButton->setMinimumWidth(m_testButton->fontMetrics().horizontalAdvance(m_testButton->text()) + 32);
    m_status = new QLabel(test);
    m_status->setObjectName(QStringLiteral("TestStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    m_reply = new QPlainTextEdit(test);
    m_reply->setObjectName(QStringLiteral("TestReply"));
    m_reply->setReadOnly(true);
    m_reply->setFixedHeight(m_reply->fontMetrics().lineSpacing() * 3 + 12);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(new QLabel(QStringLiteral("Numer:"), test));
    testRow->addWidget(m_testNumber, 1);
    testRow->addWidget(m_testButton);
    auto* testLayout = new QVBoxLayout(test);
    testLayout->addLayout(testRow);
    testLayout->addWidget(m_status);
    testLayout->addWidget(m_reply);
    connect(m_testButton, &QPushButton::clicked, this, &COwnGatewayDialog::SendTest);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COwnGatewayDialog::reject);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(test);
    layout->addWidget(buttons);

    const COwnGatewaySender::Config c = m_document.GetSender().OwnGateway().ReadConfig();
    m_enabled->setChecked(c.enabled);
    m_name->setText(text_codec::ToQString(c.name));
    m_url->setText(text_codec::ToQString(c.url));
    m_method->setCurrentIndex(c.method == "GET" ? 1 : 0);
    m_body->setText(text_codec::ToQString(c.body));
    m_contentType->setEditText(text_codec::ToQString(c.contentType));
    m_hiddenHeaders = text_codec::ToQString(c.headers);
    // Nothing to hide in an empty field: it opens ready for typing.
    if (m_hiddenHeaders.isEmpty())
        m_showHeaders->setChecked(true);
    else
        ShowHeaders(false);
    m_success->setText(text_codec::ToQString(c.success));
    m_numbers->setText(text_codec::ToQString(c.numbers));
    m_caFile->setText(text_codec::ToQString(c.caFile));
    resize(600, sizeHint().height());
}

COwnGatewaySender::Config COwnGatewayDialog::FieldValues() const
{
    COwnGatewaySender::Config c;
    c.enabled = m_enabled->isChecked();
    c.name = Text(m_name->text().trimmed());
    if (c.name.empty())
        c.name = settings_keys::kGatewayName.fallback;
    c.url = Text(m_url->text().trimmed());
    c.method = Text(m_method->currentText());
    c.body = Text(m_body->text());
    c.contentType = Text(m_contentType->currentText().trimmed());
    c.headers = Text(HeadersText());
    c.success = Text(m_success->text());
    c.numbers = Text(m_numbers->text().trimmed());
    c.caFile = Text(m_caFile->text().trimmed());
    return c;
}

void COwnGatewayDialog::accept()
{
    using namespace settings_keys;
    const COwnGatewaySender::Config c = FieldValues();
    CSettingsStore& store = m_document.GetSettingsStore();
    store.Set(kGatewayEnabled, c.enabled ? "1" : "0");
    store.Set(kGatewayName, c.name);
    store.Set(kGatewayUrl, c.url);
    store.Set(kGatewayMethod, c.method);
    store.Set(kGatewayBody, c.body);
    store.Set(kGatewayContentType, c.contentType);
    store.Set(kGatewayHeaders, c.headers);
    store.Set(kGatewaySuccess, c.success);
    store.Set(kGatewayNumbers, c.numbers);
    store.Set(kGatewayCaFile, c.caFile);
    QDialog::accept();
}

void COwnGatewayDialog::SendTest()
{
    const std::string number = Text(m_testNumber->text().trimmed());
    if (number.empty()) {
        m_status->setText(QStringLiteral("Wpisz numer, na który ma przyjść wiadomość próbna."));
        m_reply->clear();
        return;
    }
    m_testButton->setEnabled(false);
    m_status->setText(QStringLiteral("Wysyłanie..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_testing = true;
    COwnGatewaySender::Outcome outcome;
    {
        // "Anuluj" stays pressable while the gateway is waited for, and stops the wait.
        const CStopButton stop(m_cancel);
        outcome = m_document.GetSender().OwnGateway().Deliver(FieldValues(), number, own_gateway::kTestText);
    }
    m_testing = false;
    QApplication::restoreOverrideCursor();
    m_testButton->setEnabled(true);
    m_cancel->setEnabled(true);
    const bool stopped = net_stop::RequestedByUser();
    net_stop::ClearUserRequest();
    if (stopped || m_rejectAfterTest) {
        m_rejectAfterTest = false;
        QDialog::reject();
        return;
    }
    QString status = QString::fromUtf8(outcome.statusLine);
    if (!outcome.delivered)
        status += (status.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Nie wysłano: ") +
                  text_codec::ToQString(outcome.reason);
    else
        status += QStringLiteral("\nBramka przyjęła wiadomość.");
    m_status->setText(status);
    m_reply->setPlainText(QString::fromUtf8(outcome.body).left(kShownReply));
}

void COwnGatewayDialog::reject()
{
    if (m_testing) {
        m_rejectAfterTest = true; // the test send is still on the stack: close when it returns
        return;
    }
    QDialog::reject();
}

QString COwnGatewayDialog::HeadersText() const
{
    return m_showHeaders->isChecked() ? m_headers->toPlainText() : m_hiddenHeaders;
}

void COwnGatewayDialog::ShowHeaders(bool shown)
{
    if (!shown && m_headersShown)
        m_hiddenHeaders = m_headers->toPlainText();
    m_headersShown = shown;
    if (shown) {
        m_headers->setReadOnly(false);
        m_headers->setPlainText(m_hiddenHeaders);
        m_showHeaders->setText(QStringLiteral("Ukryj"));
    } else {
        m_headers->setPlainText(text_codec::ToQString(own_gateway::HideHeaderValues(Text(m_hiddenHeaders))));
        m_headers->setReadOnly(true);
        m_showHeaders->setText(QStringLiteral("Pokaż"));
    }
}

void COwnGatewayDialog::ChooseCaFile()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Plik CA"), m_caFile->text(),
                                                      QStringLiteral("Certyfikaty (*.pem *.crt *.cer);;*"));
    if (!path.isEmpty())
        m_caFile->setText(path);
}
