#include "ui/AddressDialog.h"

#include <optional>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "store/Address.h"

namespace {

QComboBox* MakeEditableCombo(const QStringList& choices, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(choices);
    return combo;
}

// Sets a combo's typed text without choosing one of its list items.
void SetComboText(QComboBox& combo, const QString& text)
{
    combo.setCurrentIndex(-1);
    combo.setEditText(text);
}

QGroupBox* MakeGroup(const QString& title, const QString& hint, QLayout* fields)
{
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    auto* label = new QLabel(hint);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addLayout(fields);
    return group;
}

} // namespace

void CDisplayNameCombo::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

CAddressPersonal::CAddressPersonal(CAddress& entry, QWidget* parent)
    : QWidget(parent), m_entry(entry), m_firstName(new QLineEdit(this)), m_surname(new QLineEdit(this)),
      m_displayName(new CDisplayNameCombo(this)), m_prefix(MakeEditableCombo({QStringLiteral("+48")}, this)),
      m_operator(MakeEditableCombo({"501", "502", "503", "504", "505", "601", "602", "603", "604", "605",
                                    "606", "607", "608", "609", "610"},
                                   this)),
      m_number(new QLineEdit(this))
{
    m_displayName->setEditable(true);
    m_displayName->setInsertPolicy(QComboBox::NoInsert);

    auto* names = new QFormLayout;
    names->addRow(QStringLiteral("&Imię:"), m_firstName);
    names->addRow(QStringLiteral("&Nazwisko:"), m_surname);
    names->addRow(QStringLiteral("&Wyświetl:"), m_displayName);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(m_prefix);
    numberRow->addWidget(m_operator);
    numberRow->addWidget(m_number, 1);
    m_prefix->setMinimumContentsLength(4);
    m_operator->setMinimumContentsLength(4);
    auto* numberForm = new QFormLayout;
    numberForm->addRow(QStringLiteral("Numer telefonu:"), numberRow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeGroup(QStringLiteral("Nazwa"), QStringLiteral("Umiesc dane osobiste."), names));
    layout->addWidget(MakeGroup(QStringLiteral("Numer telefonu"),
                                QStringLiteral("Wprowadz dane o numerze telefonu."), numberForm));
    layout->addStretch(1);

    // The page starts from the entry's own fields.
    m_firstName->setText(text_codec::ToQString(entry.GetFirstName()));
    m_surname->setText(text_codec::ToQString(entry.GetSurname()));
    SetComboText(*m_displayName, text_codec::ToQString(entry.GetDisplayName()));
    SetComboText(*m_prefix, text_codec::ToQString(entry.GetCountryPrefix()));
    SetComboText(*m_operator, text_codec::ToQString(entry.GetOperatorCode()));
    m_number->setText(text_codec::ToQString(entry.GetSubscriberNumber()));

    connect(m_firstName, &QLineEdit::textEdited, this, &CAddressPersonal::OnNameEdited);
    connect(m_surname, &QLineEdit::textEdited, this, &CAddressPersonal::OnNameEdited);
    connect(m_displayName, &CDisplayNameCombo::aboutToShowPopup, this, [this] {
        FillDisplayList();
        Validate();
    });
    for (QComboBox* combo : {static_cast<QComboBox*>(m_displayName), m_prefix, m_operator}) {
        connect(combo, &QComboBox::editTextChanged, this, &CAddressPersonal::Validate);
        connect(combo, &QComboBox::activated, this, &CAddressPersonal::Validate);
    }
    connect(m_number, &QLineEdit::textChanged, this, &CAddressPersonal::Validate);
    // Names set from outside the keyboard are checked too, without touching the display name.
    connect(m_firstName, &QLineEdit::textChanged, this, &CAddressPersonal::Validate);
    connect(m_surname, &QLineEdit::textChanged, this, &CAddressPersonal::Validate);
}

void CAddressPersonal::Open(QPushButton* ok)
{
    m_ok = ok;
    FillDisplayList();
    Validate();
}

void CAddressPersonal::FillDisplayList()
{
    const QString typed = m_displayName->currentText();
    const QSignalBlocker quiet(m_displayName);
    m_displayName->clear();
    // The space stays even when one of the names is empty: this is the list's one choice.
    m_displayName->addItem(m_firstName->text() + QLatin1Char(' ') + m_surname->text());
    SetComboText(*m_displayName, typed);
}

void CAddressPersonal::OnNameEdited()
{
    const QString first = m_firstName->text();
    const QString surname = m_surname->text();
    QString name = first;
    if (!surname.isEmpty()) {
        if (!first.isEmpty())
            name += QLatin1Char(' ');
        name += surname;
    }
    SetComboText(*m_displayName, name);
    Validate();
}

bool CAddressPersonal::IsComplete() const
{
    // A character the data file cannot hold keeps OK disabled instead of being changed silently.
    const auto first = text_codec::FromQString(m_firstName->text());
    const auto surname = text_codec::FromQString(m_surname->text());
    const auto display = text_codec::FromQString(m_displayName->currentText());
    const auto prefix = text_codec::FromQString(m_prefix->currentText());
    const auto code = text_codec::FromQString(m_operator->currentText());
    const auto number = text_codec::FromQString(m_number->text());
    if (!first || !surname || !display || !prefix || !code || !number)
        return false;
    CAddress probe;
    probe.SetFirstName(*first);
    probe.SetSurname(*surname);
    probe.SetDisplayName(*display);
    probe.SetCountryPrefix(*prefix);
    probe.SetOperatorCode(*code);
    probe.SetSubscriberNumber(*number);
    return address_rules::Check(probe) == address_rules::Problem::None;
}

void CAddressPersonal::Validate()
{
    if (m_ok)
        m_ok->setEnabled(IsComplete());
}

void CAddressPersonal::Apply()
{
    m_entry.SetFirstName(text_codec::FromQStringLossy(m_firstName->text()));
    m_entry.SetSurname(text_codec::FromQStringLossy(m_surname->text()));
    m_entry.SetDisplayName(text_codec::FromQStringLossy(m_displayName->currentText()));
    m_entry.SetCountryPrefix(text_codec::FromQStringLossy(m_prefix->currentText()));
    m_entry.SetOperatorCode(text_codec::FromQStringLossy(m_operator->currentText()));
    m_entry.SetSubscriberNumber(text_codec::FromQStringLossy(m_number->text()));
}

CAddressDialog::CAddressDialog(CAddress& entry, QWidget* owner)
    : QDialog(owner), m_page(new CAddressPersonal(entry))
{
    setWindowTitle(QStringLiteral("Właściwości"));
    auto* tabs = new QTabWidget;
    tabs->addTab(m_page, QStringLiteral("Osobiste"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(400, 330);
    // Until the page has checked the entry, OK stays off.
    m_page->Open(m_ok);
}

void CAddressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        m_page->Open(m_ok);
    }
}

void CAddressDialog::accept()
{
    // The Enter key reaches accept() even while OK is greyed.
    if (!m_ok->isEnabled())
        return;
    m_page->Apply();
    QDialog::accept();
}

int ShowAddressProperties(CAddress& entry, QWidget* owner)
{
    CAddressDialog dialog(entry, owner);
    return dialog.exec();
}
