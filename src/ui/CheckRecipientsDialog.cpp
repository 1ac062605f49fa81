#include "ui/CheckRecipientsDialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "store/AddressBook.h"
#include "ui/AddressDialog.h"
#include "ui/controls/AddressListCtrl.h"

// One row per unknown recipient: the name as typed until an entry is made for it, then the
// entry's display name and number.
class CUnknownRecipientsModel final : public CReportModel
{
public:
    struct Row
    {
        std::string name;
        CAddress* entry = nullptr;
    };

    explicit CUnknownRecipientsModel(QObject* parent)
        : CReportModel({QStringLiteral("Nazwa"), QStringLiteral("Telefon")}, AddressIcon(), parent)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }

    void Append(std::string name)
    {
        const int row = rowCount();
        beginInsertRows({}, row, row);
        m_rows.push_back({std::move(name), nullptr});
        endInsertRows();
    }

    void Remove(int row)
    {
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
    }

    void SetEntry(int row, CAddress* entry)
    {
        Row& target = m_rows[static_cast<std::size_t>(row)];
        target.entry = entry;
        target.name = entry->GetDisplayName();
        emit dataChanged(index(row, 0), index(row, 1));
    }

    const Row& At(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

protected:
    QString Text(int row, int column) const override
    {
        const Row& r = At(row);
        if (column == 0)
            return text_codec::ToQString(r.name);
        return r.entry ? text_codec::ToQString(r.entry->GetFullNumber()) : QStringLiteral("<Nieznany>");
    }

private:
    std::vector<Row> m_rows;
};

CCheckRecipientsDialog::CCheckRecipientsDialog(std::vector<std::string>& names, CAddressBook& book,
                                               QWidget* parent)
    : QDialog(parent), m_names(names), m_book(book), m_model(new CUnknownRecipientsModel(this)),
      m_list(new CReportListCtrl(this)), m_close(new QPushButton(QStringLiteral("Zamknij"), this)),
      m_remove(new QPushButton(QStringLiteral("Usuń"), this)),
      m_create(new QPushButton(QStringLiteral("Utwórz"), this)),
      m_properties(new QPushButton(QStringLiteral("Właściwości"), this))
{
    setWindowTitle(QStringLiteral("Sprawdzanie odbiorców"));
    for (const std::string& name : names)
        m_model->Append(name);
    m_list->SetModel(m_model);
    m_list->SetSingleSelection(true);
    m_list->SetColumnWidth(0, 140);
    m_list->SetColumnWidth(1, 100);
    m_list->FitUntouchedColumns({0}, 140);
    m_list->setMinimumSize(260, 200);

    auto* side = new QVBoxLayout;
    side->addWidget(m_close);
    side->addSpacing(12);
    side->addWidget(m_create);
    side->addWidget(m_properties);
    side->addWidget(m_remove);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(side);

    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_remove, &QPushButton::clicked, this, &CCheckRecipientsDialog::OnRemove);
    connect(m_create, &QPushButton::clicked, this, &CCheckRecipientsDialog::OnCreate);
    connect(m_properties, &QPushButton::clicked, this, &CCheckRecipientsDialog::OnProperties);
    connect(m_list, &CReportListCtrl::selectionChanged, this, &CCheckRecipientsDialog::UpdateButtons);
    UpdateButtons();
    resize(420, 260);
}

CCheckRecipientsDialog::~CCheckRecipientsDialog() = default;

void CCheckRecipientsDialog::UpdateButtons()
{
    const int row = m_list->GetFirstSelected();
    m_create->setEnabled(row >= 0);
    m_remove->setEnabled(row >= 0);
    m_properties->setEnabled(row >= 0 && m_model->At(row).entry != nullptr);
}

std::vector<std::string>::iterator CCheckRecipientsDialog::SelectedName(int& row)
{
    row = m_list->GetFirstSelected();
    if (row < 0)
        return m_names.end();
    return std::find(m_names.begin(), m_names.end(), m_model->At(row).name);
}

void CCheckRecipientsDialog::OnRemove()
{
    int row = -1;
    const auto name = SelectedName(row);
    if (name == m_names.end())
        return;
    m_names.erase(name);
    m_model->Remove(row);
    m_list->ClearSelection();
    UpdateButtons();
}

void CCheckRecipientsDialog::OnCreate()
{
    int row = -1;
    const auto name = SelectedName(row);
    if (name == m_names.end())
        return;
    auto entry = std::make_unique<CAddress>();
    entry->SetDisplayName(*name);
    if (ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    CAddress* added = entry.get();
    if (!m_book.AddAddress(entry))
        return;
    *name = added->GetDisplayName();
    m_model->SetEntry(row, added);
    UpdateButtons();
}

void CCheckRecipientsDialog::OnProperties()
{
    int row = -1;
    const auto name = SelectedName(row);
    if (name == m_names.end() || !m_model->At(row).entry)
        return;
    CAddress* entry = m_model->At(row).entry;
    if (ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    *name = entry->GetDisplayName();
    m_model->SetEntry(row, entry);
}
