#include "ui/SelectRecipientsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/AddressBook.h"
#include "ui/AddressDialog.h"
#include "ui/controls/AddressListCtrl.h"

namespace {

constexpr int kColumnWidth = 100;

void SetUpList(CAddressListCtrl& list, CAddressModel& model)
{
    list.SetModel(&model);
    list.SetSingleSelection(true);
    list.SetColumnWidth(0, kColumnWidth);
    list.SetColumnWidth(1, kColumnWidth);
    list.FitUntouchedColumns({0, 1}, kColumnWidth);
    list.setMinimumSize(220, 220);
}

} // namespace

CSelectRecipientsDialog::CSelectRecipientsDialog(CAddressBook& book, std::vector<CAddress*>& chosen,
                                                 QWidget* parent)
    : QDialog(parent), m_book(book), m_chosen(chosen),
      m_addresses(new CAddressModel(book, CAddressModel::NumberForm::Full, this)),
      m_recipients(new CAddressModel(book, CAddressModel::NumberForm::Full, this)),
      m_addressList(new CAddressListCtrl(this)), m_recipientsList(new CAddressListCtrl(this)),
      m_add(new QPushButton(QStringLiteral("-->"), this)),
      m_remove(new QPushButton(QStringLiteral("<--"), this)),
      m_new(new QPushButton(QStringLiteral("Nowy..."), this)),
      m_properties(new QPushButton(QStringLiteral("Właściwości"), this))
{
    setWindowTitle(QStringLiteral("Wybierz odbiorców"));
    SetUpList(*m_addressList, *m_addresses);
    SetUpList(*m_recipientsList, *m_recipients);
    m_addresses->Fill();
    for (CAddress* entry : chosen)
        m_recipients->Add(entry);

    // The book selector has one book and no behaviour; it shows where the entries come from.
    auto* books = new QComboBox(this);
    books->addItem(QStringLiteral("Postawowa"));
    books->setCurrentIndex(0);
    books->setEnabled(false);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(m_add);
    middle->addWidget(m_remove);
    middle->addStretch(1);
    auto* under = new QHBoxLayout;
    under->addWidget(m_new);
    under->addWidget(m_properties);
    under->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    auto* bookRow = new QHBoxLayout;
    bookRow->addWidget(new QLabel(QStringLiteral("Książka adresowa:"), this));
    bookRow->addWidget(books, 1);
    grid->addLayout(bookRow, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Odbiorcy"), this), 0, 2);
    grid->addWidget(m_addressList, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_recipientsList, 1, 2);
    grid->addLayout(under, 2, 0);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    m_properties->setEnabled(false);

    connect(m_addressList, &CReportListCtrl::selectionChanged, this,
            &CSelectRecipientsDialog::UpdateAddressButtons);
    connect(m_addressList, &CReportListCtrl::clicked, this, &CSelectRecipientsDialog::UpdateAddressButtons);
    connect(m_recipientsList, &CReportListCtrl::selectionChanged, this,
            [this] { m_remove->setEnabled(m_recipientsList->GetSelectedCount() > 0); });
    connect(m_recipientsList, &CReportListCtrl::deletePressed, this, &CSelectRecipientsDialog::OnRemove);
    connect(m_add, &QPushButton::clicked, this, &CSelectRecipientsDialog::OnAdd);
    // A double-click moves a name across, as "-->" and "<--" do.
    connect(m_addressList, &CReportListCtrl::rowDoubleClicked, this, &CSelectRecipientsDialog::OnAdd);
    connect(m_recipientsList, &CReportListCtrl::rowDoubleClicked, this, &CSelectRecipientsDialog::OnRemove);
    connect(m_remove, &QPushButton::clicked, this, &CSelectRecipientsDialog::OnRemove);
    connect(m_new, &QPushButton::clicked, this, &CSelectRecipientsDialog::OnNew);
    connect(m_properties, &QPushButton::clicked, this, &CSelectRecipientsDialog::OnProperties);
    resize(560, 380);
}

CSelectRecipientsDialog::~CSelectRecipientsDialog() = default;

CAddress* CSelectRecipientsDialog::SelectedAddress() const
{
    return m_addresses->EntryAt(m_addressList->GetFirstSelected());
}

void CSelectRecipientsDialog::UpdateAddressButtons()
{
    CAddress* entry = SelectedAddress();
    m_properties->setEnabled(entry != nullptr);
    // An entry already among the recipients cannot be added a second time.
    m_add->setEnabled(entry != nullptr && m_recipients->RowOf(entry) < 0);
}

void CSelectRecipientsDialog::OnAdd()
{
    CAddress* entry = SelectedAddress();
    if (entry && m_recipients->RowOf(entry) < 0)
        m_recipients->Add(entry);
    m_add->setEnabled(false);
}

void CSelectRecipientsDialog::OnRemove()
{
    const int row = m_recipientsList->GetFirstSelected();
    if (row >= 0)
        m_recipients->RemoveRow(row);
    m_recipientsList->ClearSelection();
    m_remove->setEnabled(false);
    UpdateAddressButtons();
}

void CSelectRecipientsDialog::OnNew()
{
    auto entry = std::make_unique<CAddress>();
    if (ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    if (m_book.AddAddress(entry))
        m_addresses->Fill();
    UpdateAddressButtons();
}

void CSelectRecipientsDialog::OnProperties()
{
    CAddress* entry = SelectedAddress();
    if (!entry || ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    m_addresses->Fill();
    // The edited entry may also be a recipient, whose row shows the new name.
    m_recipients->Resort();
    UpdateAddressButtons();
}

void CSelectRecipientsDialog::accept()
{
    m_chosen = m_recipients->GetEntries();
    QDialog::accept();
}
