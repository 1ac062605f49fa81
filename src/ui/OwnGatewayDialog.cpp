#include "ui/OwnGatewayDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
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
    form->addRow(QStringLiteral("Nagłów&ki:"), m_headers);
    form->addRow(QStringLiteral("Tekst &potwierdzenia:"), m_success);
    form->addRow(QStringLiteral("N&umery:"), m_numbers);
    form->addRow(QStringLiteral("Plik &CA:"), m_caFile);
    auto* hint = new QLabel(
        QStringLiteral("W adresie i treści: {number}, {number_digits}, {text}, {signature}."), this);
    hint->setWordWrap(true);
    form->addRow(hint);

    auto* test = new QGroupBox(QStringLiteral("Próba"), this);
    m_testNumber = Field("TestNumber", test);
    m_testNumber->setPlaceholderText(QStringLiteral("+48..."));
    m_testButton = new QPushButton(QStringLiteral("Wyślij próbną wiadomość"), test);
    m_testButton->setObjectName(QStringLiteral("SendTest"));
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
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

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
    m_headers->setPlainText(text_codec::ToQString(c.headers));
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
    c.headers = Text(m_headers->toPlainText());
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
    const auto outcome =
        m_document.GetSender().OwnGateway().Deliver(FieldValues(), number, own_gateway::kTestText);
    QApplication::restoreOverrideCursor();
    m_testButton->setEnabled(true);
    QString status = QString::fromUtf8(outcome.statusLine);
    if (!outcome.delivered)
        status += (status.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Nie wysłano: ") +
                  text_codec::ToQString(outcome.reason);
    else
        status += QStringLiteral("\nBramka przyjęła wiadomość.");
    m_status->setText(status);
    m_reply->setPlainText(QString::fromUtf8(outcome.body).left(kShownReply));
}
