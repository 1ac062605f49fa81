#include "ui/ReceivedView.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

#include <map>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "store/Windows1250.h"
#include "ui/Icons.h"
#include "ui/MessageListModel.h"
#include "ui/ReceivedListModel.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

std::map<std::string, QString> NamesByNumber(CBrivantelDoc& document)
{
    std::map<std::string, QString> names;
    for (const auto& entry : document.GetAddressBook().GetEntries())
        names.emplace(CMessageDb::NormaliseNumber(entry->GetFullNumber()),
                      QString::fromUtf8(windows1250::ToUtf8(entry->GetDisplayName()).c_str()));
    return names;
}

} // namespace

CReceivedView::CReceivedView(CBrivantelDoc& document, int kind, QWidget* parent)
    : CBrivantelView(document, kind, parent)
{
    setAutoFillBackground(true);
    m_list = new CReportListCtrl;
    m_list->setObjectName(QStringLiteral("ReceivedList"));
    m_list->setAccessibleName(QStringLiteral("Odebrane"));
    m_reader = new QPlainTextEdit;
    m_reader->setObjectName(QStringLiteral("ReceivedText"));
    m_reader->setAccessibleName(QStringLiteral("Treść wiadomości"));
    m_reader->setReadOnly(true);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(m_list);
    splitter->addWidget(m_reader);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    connect(m_list, &CReportListCtrl::contextMenuRequested, this, &CReceivedView::ShowCommandPopup);
    connect(m_list, &CReportListCtrl::selectionChanged, this, &CReceivedView::OnSelectionChanged);
    connect(m_list, &CReportListCtrl::deletePressed, this, [this] {
        if (m_list->GetSelectedCount() > 0)
            OnDelete();
    });
}

CReceivedView::~CReceivedView()
{
    HandBackQuietly();
}

void CReceivedView::OnInitialUpdate()
{
    if (!m_db || !m_db->IsOpen()) {
        m_db = &m_ownDb;
        OpenDatabase();
    }
    m_model = new CReceivedListModel(*m_db, NamesByNumber(GetDocument()),
                                     icons::ViewIcon(GetKind() - kFirstViewKind), this);
    m_list->SetModel(m_model);
    // The data file has no record for this folder and keeps its layout: the widths live in the
    // settings store.
    const CSettingsStore& settings = GetDocument().GetSettingsStore();
    m_list->SetColumnWidth(0, settings.Get(settings_keys::kReceivedFromWidth));
    m_list->SetColumnWidth(1, settings.Get(settings_keys::kReceivedTextWidth));
    m_list->SetColumnWidth(2, settings.Get(settings_keys::kReceivedTimeWidth));
}

void CReceivedView::HandBackQuietly()
{
    if (!m_model)
        return; // never filled: the widths are still the stored ones
    CSettingsStore& settings = GetDocument().GetSettingsStore();
    settings.Set(settings_keys::kReceivedFromWidth, m_list->GetColumnWidth(0));
    settings.Set(settings_keys::kReceivedTextWidth, m_list->GetColumnWidth(1));
    settings.Set(settings_keys::kReceivedTimeWidth, m_list->GetColumnWidth(2));
}

void CReceivedView::OpenDatabase()
{
    const std::string& path = GetDocument().GetPath();
    if (path.empty())
        return;
    const QString folder = QFileInfo(QString::fromLocal8Bit(path.c_str())).absolutePath();
    // A short wait: the view must come up even while another program holds the database.
    const auto opened = m_ownDb.Open(folder.toLocal8Bit().toStdString(), std::chrono::milliseconds(500));
    if (!opened.message.empty())
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromUtf8(opened.message.c_str())] { emit statusMessage(text); },
            Qt::QueuedConnection);
}

void CReceivedView::Reload()
{
    std::vector<std::pair<int, std::int64_t>> selected;
    for (int row : m_list->GetSelectedRows())
        selected.emplace_back(row, m_model->MessageAt(row).id);
    m_model->Reload();
    for (const auto& [oldRow, id] : selected) {
        // New messages come in at the end, so a row mostly keeps its place.
        const int row = m_model->MessageAt(oldRow).id == id ? oldRow : m_model->RowOf(id);
        if (row >= 0)
            m_list->SelectRow(row, true);
    }
    OnSelectionChanged();
    emit unreadChanged();
}

void CReceivedView::OnSelectionChanged()
{
    const std::vector<int> rows = m_list->GetSelectedRows();
    if (rows.size() != 1) {
        m_reader->clear();
        emit commandStateChanged();
        return;
    }
    const StoredMessage& message = m_model->MessageAt(rows.front());
    QString text = m_model->SenderText(message) + QLatin1Char('\n') +
                   CMessageListModel::FormatTime(static_cast<TimeStamp>(message.receivedUtc)) +
                   QLatin1String("\n\n");
    if (message.readable)
        text += QString::fromUtf8(message.text.c_str());
    else
        text += QString::fromUtf8(CReceivedListModel::kUnreadable) + QLatin1String("\n") +
                QString::fromUtf8(message.reason.c_str());
    m_reader->setPlainText(text);
    if (!message.read && message.id != 0) {
        if (m_db->SetRead(message.id, true)) {
            m_model->MarkRead(rows.front());
            emit unreadChanged();
        } else
            emit statusMessage(QStringLiteral("Nie można zapisać w Brivantel.db: %1")
                                   .arg(QString::fromUtf8(m_db->LastError().c_str())));
    }
    emit commandStateChanged();
}

std::optional<CCommandState> CReceivedView::QueryCommand(CommandId command) const
{
    if (!m_model)
        return std::nullopt;
    const int selected = m_list->GetSelectedCount();
    switch (command) {
    case CommandId::Reply: {
        if (selected != 1)
            return CCommandState{false, false};
        // A sender that is a name ("Orange") cannot be written back to.
        const StoredMessage& message = m_model->MessageAt(m_list->GetFirstSelected());
        return CCommandState{message.id != 0 && !message.senderIsName, false};
    }
    case CommandId::CopyText:
    case CommandId::Delete:
        return CCommandState{selected > 0, false};
    case CommandId::Find:
        return CCommandState{m_model->rowCount() > 0, false};
    case CommandId::ReceiveNow:
        return CCommandState{true, false};
    default:
        return std::nullopt;
    }
}

bool CReceivedView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::Reply:
        OnReply();
        return true;
    case CommandId::CopyText:
        OnCopyText();
        return true;
    case CommandId::Find:
        OnFind();
        return true;
    case CommandId::Delete:
        OnDelete();
        return true;
    case CommandId::ReceiveNow:
        emit receiveRequested();
        return true;
    default:
        return false;
    }
}

void CReceivedView::OnReply()
{
    const StoredMessage& message = m_model->MessageAt(m_list->GetFirstSelected());
    if (message.id == 0)
        return;
    // The address book's name when it knows the number (the composing view sends to names),
    // otherwise the number itself. The reply is a new text: the received one may hold letters
    // the data file cannot.
    CSendMessageViewData& compose = GetDocument().GetSendMessageViewData();
    compose.recipients = windows1250::FromUtf8Lossy(message.sender);
    for (const auto& entry : GetDocument().GetAddressBook().GetEntries()) {
        if (CMessageDb::NormaliseNumber(entry->GetFullNumber()) == message.sender) {
            compose.recipients = entry->GetDisplayName();
            break;
        }
    }
    compose.text.clear();
    GetDocument().NotifyChanged(DocChange::ViewData);
    emit viewRequested(CommandId::ViewSend);
}

void CReceivedView::OnCopyText()
{
    QStringList texts;
    for (int row : m_list->GetSelectedRows()) {
        const StoredMessage& message = m_model->MessageAt(row);
        texts << (message.readable ? QString::fromUtf8(message.text.c_str())
                                   : QString::fromUtf8(CReceivedListModel::kUnreadable));
    }
    QApplication::clipboard()->setText(texts.join(QLatin1Char('\n')));
}

void CReceivedView::OnFind()
{
    QString wanted = m_findText;
    if (wanted.isEmpty()) {
        bool ok = false;
        wanted =
            QInputDialog::getText(this, QStringLiteral("Znajdź"), QStringLiteral("Szukaj w wiadomościach:"),
                                  QLineEdit::Normal, QString(), &ok);
        if (!ok || wanted.isEmpty())
            return;
    }
    // From the row after the selected one, round to it again.
    const int rows = m_model->rowCount();
    const int start = m_list->GetFirstSelected() + 1;
    for (int step = 0; step < rows; ++step) {
        const int row = (start + step) % rows;
        const StoredMessage& message = m_model->MessageAt(row);
        if (m_model->SenderText(message).contains(wanted, Qt::CaseInsensitive) ||
            CReceivedListModel::ShownText(message).contains(wanted, Qt::CaseInsensitive)) {
            m_list->SelectRow(row);
            return;
        }
    }
    emit statusMessage(QStringLiteral("Nie znaleziono: %1").arg(wanted));
}

void CReceivedView::OnDelete()
{
    std::vector<std::int64_t> ids;
    for (int row : m_list->GetSelectedRows())
        ids.push_back(m_model->MessageAt(row).id);
    bool failed = false;
    for (std::int64_t id : ids)
        failed |= id != 0 && !m_db->Delete(id);
    m_list->ClearSelection();
    m_model->Reload();
    OnSelectionChanged();
    emit unreadChanged();
    if (failed)
        emit statusMessage(QStringLiteral("Nie można usunąć wiadomości z Brivantel.db: %1")
                               .arg(QString::fromUtf8(m_db->LastError().c_str())));
}
