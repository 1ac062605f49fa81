#include "ui/MailCheckerView.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/UserInterface.h"
#include "app/qt/TextCodec.h"
#include "ui/IntegerField.h"
#include "ui/Windows1250Validator.h"

namespace {

constexpr int kPageTimerMs = 1000;

QLineEdit* TextEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setValidator(new CWindows1250Validator(edit));
    return edit;
}

QToolButton* SpinButton(Qt::ArrowType arrow)
{
    auto* button = new QToolButton;
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 12);
    return button;
}

std::string Text(const QString& text)
{
    return text_codec::FromQStringLossy(text);
}

} // namespace

CMailCheckerView::CMailCheckerView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent), m_server(TextEdit(this)), m_user(TextEdit(this)),
      m_password(TextEdit(this)), m_enabled(new QCheckBox(QStringLiteral("Sprawdzaj co"), this)),
      m_interval(new QLineEdit(this)), m_up(SpinButton(Qt::UpArrow)), m_down(SpinButton(Qt::DownArrow)),
      m_minutes(new QLabel(QStringLiteral("minut."), this)),
      m_checkNow(new QPushButton(QStringLiteral("Sprawdź teraz"), this)), m_count(new QLineEdit(this)),
      m_notify(new QCheckBox(QStringLiteral("Wyślij wiadomość na numer:"), this)),
      m_country(new QComboBox(this)), m_network(new QComboBox(this)), m_number(new QLineEdit(this)),
      m_notice(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("MailCheckerView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_password->setEchoMode(QLineEdit::Password);
    m_server->setObjectName(QStringLiteral("Server"));
    m_interval->setObjectName(QStringLiteral("Interval"));
    m_interval->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_interval));
    m_interval->setFixedWidth(60);
    m_count->setReadOnly(true);
    m_count->setFixedWidth(60);
    m_country->addItem(QStringLiteral("+48"));
    m_network->setEditable(true);
    m_network->setInsertPolicy(QComboBox::NoInsert);
    m_network->lineEdit()->setValidator(new CWindows1250Validator(m_network));
    for (const char* prefix : {"501", "502", "503", "601", "602", "603", "604", "605", "606"})
        m_network->addItem(QString::fromLatin1(prefix));
    m_network->setFixedWidth(70);
    m_number->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_number));
    m_notice->setReadOnly(true);
    m_notice->setFixedHeight(60);
    BuildLayout();

    for (QLineEdit* edit : {m_server, m_user, m_password}) {
        connect(edit, &QLineEdit::textChanged, this, [this] {
            Apply();
            UpdateEnabling();
        });
    }
    connect(m_number, &QLineEdit::textChanged, this, &CMailCheckerView::Apply);
    connect(m_interval, &QLineEdit::textChanged, this, &CMailCheckerView::Apply);
    connect(m_interval, &QLineEdit::editingFinished, this, &CMailCheckerView::OnIntervalFinished);
    connect(m_network, &QComboBox::currentTextChanged, this, &CMailCheckerView::Apply);
    connect(m_country, &QComboBox::currentIndexChanged, this, &CMailCheckerView::Apply);
    connect(m_notify, &QCheckBox::clicked, this, &CMailCheckerView::Apply);
    connect(m_enabled, &QCheckBox::clicked, this, [this] {
        Apply();
        UpdateEnabling();
    });
    connect(m_up, &QToolButton::clicked, this, [this] { StepInterval(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { StepInterval(-1); });
    connect(m_checkNow, &QPushButton::clicked, this, &CMailCheckerView::OnCheckNow);
    m_timer.setInterval(kPageTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &CMailCheckerView::ShowCount);
}

CMailCheckerView::~CMailCheckerView()
{
    HandBackQuietly();
}

void CMailCheckerView::HandBackQuietly()
{
    m_timer.stop();
    // The page goes (another view, the program's close or its end): nothing may ask now, and
    // losing the focus must not ask about the interval. An interval that is not valid keeps the
    // one in force.
    disconnect(m_interval, nullptr, this, nullptr);
    Apply();
}

void CMailCheckerView::BuildLayout()
{
    auto* account = new QGroupBox(this);
    auto* accountGrid = new QGridLayout(account);
    accountGrid->addWidget(new QLabel(QStringLiteral("Serwer (POP3):")), 0, 0);
    accountGrid->addWidget(m_server, 0, 1);
    accountGrid->addWidget(new QLabel(QStringLiteral("Użytkownik:")), 1, 0);
    accountGrid->addWidget(m_user, 1, 1);
    accountGrid->addWidget(new QLabel(QStringLiteral("Hasło:")), 2, 0);
    accountGrid->addWidget(m_password, 2, 1);
    accountGrid->setColumnStretch(1, 1);

    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(m_up);
    spin->addWidget(m_down);
    auto* every = new QHBoxLayout;
    every->addWidget(m_enabled);
    every->addWidget(m_interval);
    every->addLayout(spin);
    every->addWidget(m_minutes);
    every->addStretch(1);
    every->addWidget(m_checkNow);
    auto* count = new QHBoxLayout;
    count->addWidget(new QLabel(QStringLiteral("Liczba wiadomości w skrzynce:")));
    count->addWidget(m_count);
    count->addStretch(1);
    auto* schedule = new QGroupBox(this);
    auto* scheduleLayout = new QVBoxLayout(schedule);
    scheduleLayout->addLayout(every);
    scheduleLayout->addLayout(count);

    auto* number = new QHBoxLayout;
    number->addWidget(m_notify);
    number->addWidget(m_country);
    number->addWidget(m_network);
    number->addWidget(m_number, 1);
    auto* notice = new QGroupBox(this);
    auto* noticeLayout = new QVBoxLayout(notice);
    noticeLayout->addLayout(number);
    noticeLayout->addWidget(new QLabel(QStringLiteral("Wiadomość:")));
    noticeLayout->addWidget(m_notice);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(account);
    layout->addWidget(schedule);
    layout->addWidget(notice);
    layout->addStretch(1);
}

void CMailCheckerView::OnInitialUpdate()
{
    LoadRecord();
    m_timer.start();
    UpdateEnabling();
}

void CMailCheckerView::LoadRecord()
{
    const CMailCheckerData& record = GetDocument().GetMailCheckerData();
    m_loading = true;
    m_server->setText(text_codec::ToQString(record.server));
    m_user->setText(text_codec::ToQString(record.user));
    m_password->setText(text_codec::ToQString(record.password));
    m_enabled->setChecked(record.enabled != 0);
    m_interval->setText(QString::number(record.interval));
    m_notify->setChecked(record.notify != 0);
    m_country->setCurrentIndex(m_country->findText(text_codec::ToQString(record.countryPrefix)));
    m_network->setEditText(text_codec::ToQString(record.networkPrefix));
    m_number->setText(text_codec::ToQString(record.number));
    m_notice->setPlainText(text_codec::ToEditText(record.noticeText));
    m_loading = false;
    ShowCount();
}

void CMailCheckerView::UpdateEnabling()
{
    const bool account =
        !m_user->text().isEmpty() && !m_server->text().isEmpty() && !m_password->text().isEmpty();
    for (QWidget* control : std::initializer_list<QWidget*>{m_checkNow, m_enabled, m_minutes, m_interval,
                                                            m_number, m_country, m_network, m_notify})
        control->setEnabled(account);
}

void CMailCheckerView::Apply()
{
    if (m_loading)
        return;
    CMailCheckerData& record = GetDocument().GetMailCheckerData();
    record.server = Text(m_server->text());
    record.user = Text(m_user->text());
    record.password = Text(m_password->text());
    record.enabled = m_enabled->isChecked() ? 1 : 0;
    record.notify = m_notify->isChecked() ? 1 : 0;
    record.countryPrefix = Text(m_country->currentText());
    record.networkPrefix = Text(m_network->currentText());
    record.number = Text(m_number->text());
    if (const auto interval = integer_field::Parse(m_interval->text());
        interval && *interval >= kMinInterval && *interval <= kMaxInterval)
        record.interval = *interval;
    // Saving as you go writes it: a keystroke neither waits for the disk nor asks anything.
    GetDocument().NotifyChanged(DocChange::MailChecker);
}

void CMailCheckerView::OnIntervalFinished()
{
    const auto interval = integer_field::Parse(m_interval->text());
    if (interval && *interval >= kMinInterval && *interval <= kMaxInterval)
        return;
    // The focus went to a menu: the user has not finished with the field.
    if (QApplication::activePopupWidget())
        return;
    CUserInterface& ui = GetDocument().GetUserInterface();
    ui.ShowMessage(interval ? integer_field::OutOfRange(kMinInterval, kMaxInterval)
                            : integer_field::kNotInteger,
                   CUserInterface::Icon::Exclamation);
    // The field shows again the interval in force.
    m_loading = true;
    m_interval->setText(QString::number(GetDocument().GetMailCheckerData().interval));
    m_loading = false;
}

void CMailCheckerView::StepInterval(int delta)
{
    const auto current = integer_field::Parse(m_interval->text());
    const int base = current ? *current : GetDocument().GetMailCheckerData().interval;
    m_interval->setText(QString::number(std::clamp(base + delta, kMinInterval, kMaxInterval)));
}

void CMailCheckerView::ShowCount()
{
    const QString count = QString::number(GetDocument().GetMailCheckerData().lastCount);
    if (m_count->text() != count)
        m_count->setText(count);
}

void CMailCheckerView::OnCheckNow()
{
    CUserInterface& ui = GetDocument().GetUserInterface();
    if (GetDocument().GetMailCheckerData().enabled)
        emit mailCheckStarting();
    ui.SetWaitCursor(true);
    GetDocument().CheckMail();
    ui.SetWaitCursor(false);
    ShowCount();
    emit commandStateChanged();
}
