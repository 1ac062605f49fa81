#include "ui/FolderView.h"

#include <QVBoxLayout>
#include <algorithm>

#include "app/Document.h"
#include "ui/Icons.h"
#include "ui/MessageListModel.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

DocChange ChangeOf(CBrivantelDoc& document, const CMessageList& folder)
{
    if (&folder == &document.GetOutbox())
        return DocChange::Outbox;
    if (&folder == &document.GetSent())
        return DocChange::Sent;
    if (&folder == &document.GetDrafts())
        return DocChange::Drafts;
    return DocChange::Deleted;
}

} // namespace

CFolderView::CFolderView(CBrivantelDoc& document, int kind, QWidget* parent, CMessageList& folder,
                         CFolderViewData& widths, std::int32_t* dateWidth)
    : CBrivantelView(document, kind, parent), m_widths(widths), m_dateWidth(dateWidth),
      m_model(
          new CMessageListModel(folder, dateWidth != nullptr, icons::ViewIcon(kind - kFirstViewKind), this)),
      m_list(new CReportListCtrl(this)), m_change(ChangeOf(document, folder))
{
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_list);
    m_list->SetModel(m_model);
    m_list->SetColumnWidth(0, widths.recipientsWidth);
    m_list->SetColumnWidth(1, widths.textWidth);
    if (dateWidth)
        m_list->SetColumnWidth(2, *dateWidth);
    // The names (or numbers) and texts of a new record's 100-pixel columns are cut after a dozen
    // letters.
    m_list->FitUntouchedColumns({0, 1}, CFolderViewData{}.recipientsWidth);
    connect(m_list, &CReportListCtrl::contextMenuRequested, this, &CFolderView::ShowCommandPopup);
    connect(m_list, &CReportListCtrl::selectionChanged, this, [this] {
        RememberSelection();
        emit commandStateChanged();
    });
    document.AddListener(*this);
    // The keys the menus show beside their commands, while the list has the focus.
    const CommandId remove = kind == kFirstViewKind + 3 ? CommandId::DeleteMessage : CommandId::Delete;
    connect(m_list, &CReportListCtrl::deletePressed, this, [this, remove] { RunCommand(remove); });
}

CFolderView::~CFolderView()
{
    GetDocument().RemoveListener(*this);
    HandBackQuietly();
}

void CFolderView::HandBackQuietly()
{
    // The widths come back the next time the folder is shown, and after a restart.
    m_widths.recipientsWidth = m_list->GetColumnWidth(0);
    m_widths.textWidth = m_list->GetColumnWidth(1);
    if (m_dateWidth)
        *m_dateWidth = m_list->GetColumnWidth(2);
    GetDocument().NotifyChanged(DocChange::ViewData);
}

void CFolderView::FolderChanged()
{
    GetDocument().NotifyChanged(m_change);
}

void CFolderView::RememberSelection()
{
    if (m_refilling)
        return;
    m_selected.clear();
    for (int row : m_list->GetSelectedRows())
        m_selected.push_back(m_model->MessageAt(row));
}

void CFolderView::OnDocumentChanged(DocChange change)
{
    if (change == m_change)
        Refill();
}

void CFolderView::Refill()
{
    BeforeRefill();
    m_refilling = true;
    m_model->Reset();
    // Found by the folder, which reads none of the messages it still holds as bytes.
    std::vector<int> rows;
    for (const CMessage* selected : m_selected) {
        if (const auto row = m_model->RowOf(selected))
            rows.push_back(*row);
    }
    std::sort(rows.begin(), rows.end());
    for (const int row : rows)
        m_list->SelectRow(row, true);
    m_refilling = false;
    RememberSelection();
    emit commandStateChanged();
}

int CFolderView::SelectedCount() const
{
    return m_list->GetSelectedCount();
}

CMessage* CFolderView::FirstSelectedMessage() const
{
    return m_model->MessageAt(m_list->GetFirstSelected());
}

void CFolderView::DiscardSelected(CRemovableMessageList& folder)
{
    const std::vector<int> rows = m_list->GetSelectedRows();
    // Top down, so the messages reach the deleted folder in the order they had here; every row
    // taken away moves the ones below it up by one.
    int removed = 0;
    for (int selected : rows) {
        const int row = selected - removed++;
        CMessage* message = m_model->MessageAt(row);
        std::unique_ptr<CMessage> taken;
        m_model->RemoveRow(row, [&] { taken = folder.RemoveMessage(message); });
        GetDocument().DiscardMessage(std::move(taken));
    }
    if (!rows.empty())
        FolderChanged();
}

void CFolderView::CopyToCompose(const CMessage& message)
{
    CSendMessageViewData& compose = GetDocument().GetSendMessageViewData();
    compose.text = message.GetText();
    compose.recipients = message.GetRecipients();
    GetDocument().NotifyChanged(DocChange::ViewData);
}

void CFolderView::ShowComposeView()
{
    emit viewRequested(CommandId::ViewSend);
}

COutgoingFolderView::COutgoingFolderView(CBrivantelDoc& document, int kind, QWidget* parent,
                                         CRemovableMessageList& folder, CFolderViewData& widths,
                                         bool sendsOne)
    : CFolderView(document, kind, parent, folder, widths, nullptr), m_folder(folder), m_sendsOne(sendsOne)
{
    BindListKey(GetList(), Qt::CTRL | Qt::Key_E, CommandId::Edit);
    // A message waiting to go out opens for editing, as "Edytuj" opens it.
    connect(&GetList(), &CReportListCtrl::rowDoubleClicked, this, [this] { RunCommand(CommandId::Edit); });
}

std::optional<CCommandState> COutgoingFolderView::QueryCommand(CommandId command) const
{
    const int selected = SelectedCount();
    switch (command) {
    case CommandId::Edit:
        return CCommandState{selected == 1, false};
    case CommandId::Send:
        return CCommandState{m_sendsOne ? selected == 1 : selected > 0, false};
    case CommandId::Delete:
        return CCommandState{selected > 0, false};
    default:
        return std::nullopt;
    }
}

bool COutgoingFolderView::OnCommand(CommandId command)
{
    switch (command) {
    case CommandId::Edit:
        OnEdit();
        return true;
    case CommandId::Send:
        OnSend();
        return true;
    case CommandId::Delete:
        DiscardSelected(m_folder);
        return true;
    default:
        return false;
    }
}
