#include "ui/AddressPage.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSaveFile>
#include <QVBoxLayout>

#include "app/Document.h"
#include "app/qt/TextCodec.h"
#include "contacts/ContactsImport.h"
#include "ui/AddressDialog.h"
#include "ui/Commands.h"
#include "ui/FindAddressDialog.h"
#include "ui/controls/AddressListCtrl.h"

namespace {

constexpr int kMargin = 4;
const QString kBookTitle = QStringLiteral("Książka adresowa");
const QString kVCardFilter = QStringLiteral("Kontakty vCard (*.vcf *.vcard);;Wszystkie pliki (*)");
// Files smaller than this read in a blink; larger ones show their progress.
constexpr qint64 kProgressFrom = 1024 * 1024;

std::optional<int> ModeOf(CommandId command)
{
    switch (command) {
    case CommandId::LargeIcons:
        return CAddressBookViewData::LargeIcons;
    case CommandId::SmallIcons:
        return CAddressBookViewData::SmallIcons;
    case CommandId::List:
        return CAddressBookViewData::List;
    case CommandId::Details:
        return CAddressBookViewData::Details;
    default:
        return std::nullopt;
    }
}

} // namespace

bool AskDeleteAddresses(QWidget* owner)
{
    return QMessageBox::question(owner, QStringLiteral("Książka adresowa"),
                                 QStringLiteral("Czy na pewno chcesz usunąć zaznaczone pozycje?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CAddressPage::CAddressPage(CBrivantelDoc& document, QWidget* parent)
    : QWidget(parent), m_document(document), m_viewData(document.GetAddressBookViewData()),
      m_model(new CAddressModel(document.GetAddressBook(), CAddressModel::NumberForm::Full, this)),
      m_list(new CAddressListCtrl(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_list);
    m_list->SetModel(m_model);
    m_list->SetAlwaysShowSelection(true);
    m_list->SetMode(m_viewData.viewMode);
    m_list->SetColumnWidth(0, m_viewData.nameWidth);
    m_list->SetColumnWidth(1, m_viewData.phoneWidth);
    FillList();
    connect(m_list, &CReportListCtrl::selectionChanged, this, &CAddressPage::commandStateChanged);
}

CAddressPage::~CAddressPage()
{
    HandBackQuietly();
}

void CAddressPage::HandBackQuietly()
{
    m_viewData.nameWidth = m_list->GetColumnWidth(0);
    m_viewData.phoneWidth = m_list->GetColumnWidth(1);
    m_document.NotifyChanged(DocChange::ViewData);
}

void CAddressPage::FillList()
{
    m_model->Fill();
}

std::optional<CCommandState> CAddressPage::QueryCommand(CommandId command) const
{
    const int selected = m_list->GetSelectedCount();
    if (const auto mode = ModeOf(command))
        return CCommandState{true, m_list->GetMode() == *mode};
    switch (command) {
    case CommandId::NewAddress:
    case CommandId::ImportContacts:
        return CCommandState{true, false};
    case CommandId::ExportContacts:
        return CCommandState{!m_document.GetAddressBook().GetEntries().empty(), false};
    case CommandId::Properties:
        return CCommandState{selected == 1, false};
    case CommandId::Delete:
    case CommandId::Compose:
        return CCommandState{selected > 0, false};
    case CommandId::Find:
        return CCommandState{m_list->GetRowCount() > 0, false};
    default:
        return std::nullopt;
    }
}

bool CAddressPage::OnCommand(CommandId command)
{
    if (const auto mode = ModeOf(command)) {
        SetMode(*mode);
        return true;
    }
    switch (command) {
    case CommandId::NewAddress:
        OnNew();
        return true;
    case CommandId::Properties:
        OnProperties();
        return true;
    case CommandId::Delete:
        OnDelete();
        return true;
    case CommandId::Find:
        OnFind();
        return true;
    case CommandId::Compose:
        OnCompose();
        return true;
    case CommandId::ImportContacts:
        OnImportContacts();
        return true;
    case CommandId::ExportContacts:
        OnExportContacts();
        return true;
    default:
        return false;
    }
}

void CAddressPage::OnNew()
{
    auto entry = std::make_unique<CAddress>();
    if (ShowAddressProperties(*entry, this) != QDialog::Accepted)
        return;
    if (m_document.GetAddressBook().AddAddress(entry)) {
        FillList();
        m_document.NotifyChanged(DocChange::AddressBook);
    }
    window()->raise();
}

void CAddressPage::OnProperties()
{
    CAddress* entry = m_model->EntryAt(m_list->GetFirstSelected());
    if (entry && ShowAddressProperties(*entry, this) == QDialog::Accepted) {
        FillList();
        m_document.NotifyChanged(DocChange::AddressBook);
    }
}

void CAddressPage::OnDelete()
{
    if (m_list->GetSelectedCount() == 0 || !AskDeleteAddresses(this))
        return;
    const std::vector<int> rows = m_list->GetSelectedRows();
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const CAddress* entry = m_model->EntryAt(*row);
        const auto place = m_model->PlaceOf(entry);
        m_model->RemoveRow(*row);
        m_document.GetAddressBook().DeleteAddress(entry);
        if (place)
            m_model->EntryDeleted(*place);
    }
    m_document.NotifyChanged(DocChange::AddressBook);
}

void CAddressPage::OnFind()
{
    CFindAddressDialog dialog(m_document.GetAddressBook(), this);
    connect(&dialog, &CFindAddressDialog::entryDeleted, this, &CAddressPage::FillList);
    dialog.exec();
    // The dialog may have edited or deleted entries.
    FillList();
    m_document.NotifyChanged(DocChange::AddressBook);
}

void CAddressPage::OnCompose()
{
    std::string recipients;
    for (int row : m_list->GetSelectedRows())
        recipients += m_model->EntryAt(row)->GetDisplayName() + ";";
    if (!recipients.empty())
        recipients.pop_back();
    CSendMessageViewData& compose = m_document.GetSendMessageViewData();
    compose.text.clear();
    compose.recipients = recipients;
    m_document.NotifyChanged(DocChange::ViewData);
    emit viewRequested(CommandId::ViewSend);
}

void CAddressPage::SetMode(int mode)
{
    m_list->SetMode(mode);
    m_viewData.viewMode = mode;
    m_document.NotifyChanged(DocChange::ViewData);
}

// The Qt file dialog, not the desktop's: the same on every system and reachable by its name.
static QString AskContactsFile(QWidget* owner, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, mode == QFileDialog::AcceptOpen
                                  ? QStringLiteral("Importuj kontakty z pliku vCard")
                                  : QStringLiteral("Eksportuj kontakty do pliku vCard"));
    dialog.setObjectName(QStringLiteral("ContactsFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setNameFilter(kVCardFilter);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setDefaultSuffix(QStringLiteral("vcf"));
        dialog.selectFile(QStringLiteral("Kontakty.vcf"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void CAddressPage::OnImportContacts()
{
    const QString path = AskContactsFile(this, QFileDialog::AcceptOpen);
    if (path.isEmpty())
        return;
    std::string bytes, error;
    if (!contacts::ReadContactsFile(path.toStdString(), bytes, error)) {
        QMessageBox::warning(this, kBookTitle, text_codec::ToQString(error));
        return;
    }
    std::unique_ptr<QProgressDialog> progress;
    if (static_cast<qint64>(bytes.size()) >= kProgressFrom) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("Wczytywanie kontaktów..."), QString(), 0,
                                                     100, this);
        progress->setObjectName(QStringLiteral("ContactsProgress"));
        progress->setWindowTitle(kBookTitle);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setValue(0);
    }
    contacts::ImportSummary summary;
    const bool ok =
        contacts::ImportVCards(bytes, m_document.GetAddressBook(), summary, error, [&](int percent) {
            if (progress) {
                progress->setValue(percent);
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
        });
    progress.reset();
    if (!ok) {
        QMessageBox::warning(this, kBookTitle, text_codec::ToQString(error));
        return;
    }
    FillList();
    m_document.NotifyChanged(DocChange::AddressBook);
    QMessageBox::information(this, kBookTitle, text_codec::ToQString(contacts::SummaryText(summary)));
}

void CAddressPage::OnExportContacts()
{
    const QString path = AskContactsFile(this, QFileDialog::AcceptSave);
    if (path.isEmpty())
        return;
    const std::string vcf = contacts::ExportVCards(m_document.GetAddressBook());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(vcf.data(), static_cast<qint64>(vcf.size())) < 0 ||
        !file.commit()) {
        QMessageBox::warning(this, kBookTitle,
                             QStringLiteral("Nie można zapisać pliku %1: %2").arg(path, file.errorString()));
    }
}
