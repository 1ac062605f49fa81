#include "ui/FindAddressDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "store/AddressBook.h"
#include "ui/AddressDialog.h"
#include "ui/AddressPage.h"
#include "ui/controls/AddressListCtrl.h"

CFindAddressDialog::CFindAddressDialog(CAddressBook& book, QWidget* parent)
    : QDialog(parent), m_book(book), m_model(new CAddressModel(book, CAddressModel::NumberForm::Parts, this)),
      m_name(new QLineEdit(this)), m_phone(new QLineEdit(this)), m_results(new CReportListCtrl(this)),
      m_search(new QPushButton(QStringLiteral("&Szukaj"), this)),
      m_close(new QPushButton(QStringLiteral("Zamknij"), this)),
      m_clear(new QPushButton(QStringLiteral("Wy&czyść"), this)),
      m_delete(new QPushButton(QStringLiteral("&Usuń"), this)),
      m_properties(new QPushButton(QStringLiteral("&Właściwości"), this))
{
    setWindowTitle(QStringLiteral("Znajdź "));
    // The results are plain text rows, without the address book's icons.
    m_model->SetIcon(QIcon());
    m_results->SetModel(m_model);
    m_results->SetSingleSelection(true);
    m_results->setMinimumSize(300, 160);

    auto* criteria = new QFormLayout;
    criteria->addRow(QStringLiteral("Nazwa:"), m_name);
    criteria->addRow(QStringLiteral("Telefon:"), m_phone);
    auto* side = new QVBoxLayout;
    side->addWidget(m_search);
    side->addWidget(m_close);
    side->addWidget(m_clear);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(criteria, 1);
    top->addLayout(side);
    auto* under = new QHBoxLayout;
    under->addStretch(1);
    under->addWidget(m_properties);
    under->addWidget(m_delete);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_results, 1);
    layout->addLayout(under);

    m_search->setDefault(true);
    m_close->setAutoDefault(false);
    connect(m_search, &QPushButton::clicked, this, &CFindAddressDialog::OnSearch);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_clear, &QPushButton::clicked, this, &CFindAddressDialog::OnClear);
    connect(m_delete, &QPushButton::clicked, this, &CFindAddressDialog::OnDelete);
    connect(m_properties, &QPushButton::clicked, this, &CFindAddressDialog::OnProperties);
    resize(440, 360);
}

void CFindAddressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_sized)
        return;
    m_sized = true;
    // Two columns sharing the list's width.
    const int half = m_results->GetTable().viewport()->width() / 2 - 1;
    m_results->SetColumnWidth(0, half);
    m_results->SetColumnWidth(1, half);
}

void CFindAddressDialog::OnSearch()
{
    const std::string name = text_codec::FromQStringLossy(m_name->text());
    const std::string phone = text_codec::FromQStringLossy(m_phone->text());
    if (name.empty() && phone.empty()) {
        QMessageBox::information(this, QStringLiteral("Znajdź Adres"),
                                 QStringLiteral("Wprowaź dane do wyszukania."), QMessageBox::Ok);
        return;
    }
    m_model->Clear();
    for (CAddress* entry = m_book.FindFirst(name, phone); entry; entry = m_book.FindNext())
        m_model->Add(entry);
}

void CFindAddressDialog::OnClear()
{
    m_name->clear();
    m_phone->clear();
    m_model->Clear();
}

void CFindAddressDialog::OnProperties()
{
    CAddress* entry = m_model->EntryAt(m_results->GetFirstSelected());
    if (entry && ShowAddressProperties(*entry, this) == QDialog::Accepted)
        OnSearch();
}

void CFindAddressDialog::OnDelete()
{
    const int row = m_results->GetFirstSelected();
    if (row < 0 || !AskDeleteAddresses(this))
        return;
    const CAddress* entry = m_model->EntryAt(row);
    const auto place = m_model->PlaceOf(entry);
    m_model->RemoveRow(row);
    m_book.DeleteAddress(entry);
    if (place)
        m_model->EntryDeleted(*place);
    // The removed row's neighbour must not become the selection: a second "Usuń" would delete an
    // entry the user never picked.
    m_results->ClearSelection();
    m_results->GetTable().setCurrentIndex(QModelIndex());
    emit entryDeleted();
}
