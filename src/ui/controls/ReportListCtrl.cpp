#include "ui/controls/ReportListCtrl.h"

#include <algorithm>
#include <utility>

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTableView>

CReportModel::CReportModel(QStringList headers, QIcon icon, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers)), m_icon(std::move(icon))
{
}

int CReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::DecorationRole:
        return index.column() == 0 && !m_icon.isNull() ? QVariant(m_icon) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headers[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CReportModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void CReportModel::Reset()
{
    beginResetModel();
    endResetModel();
}

namespace {

constexpr int kInitialColumnWidth = 100;

// Every icon or list cell has the size of the mode's grid cell: long labels are cut with an
// ellipsis instead of running into their neighbours, and the view never measures a label.
class CFixedCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void SetCellSize(QSize size) { m_size = size; }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return m_size; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // Under a large icon the label is centred, as icon views show it.
        if (option->decorationPosition == QStyleOptionViewItem::Top)
            option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
    }

private:
    QSize m_size;
};

} // namespace

CReportListCtrl::CReportListCtrl(QWidget* parent) : QWidget(parent), m_table(new QTableView(this))
{
    auto* layout = new QStackedLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);

    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setSortingEnabled(false);
    m_table->setIconSize(QSize(16, 16));
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Every row has the same height, so the table never measures rows it does not show.
    QHeaderView* rows = m_table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
    QHeaderView* columns = m_table->horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setDefaultSectionSize(kInitialColumnWidth);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    Connect(*m_table);
}

void CReportListCtrl::Connect(QAbstractItemView& view)
{
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view, &QWidget::customContextMenuRequested, this, [this, &view](const QPoint& pos) {
        emit contextMenuRequested(view.viewport()->mapToGlobal(pos));
    });
    connect(&view, &QAbstractItemView::clicked, this, [this] { emit clicked(); });
    connect(&view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit rowDoubleClicked();
    });
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
}

void CReportListCtrl::SetModel(QAbstractItemModel* model)
{
    m_model = model;
    m_table->setModel(model);
    if (m_icons) {
        m_icons->setModel(model);
        m_icons->setSelectionModel(m_table->selectionModel());
    }
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionChanged(); });
}

void CReportListCtrl::SetSingleSelection(bool single)
{
    m_single = single;
    const auto mode = single ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection;
    m_table->setSelectionMode(mode);
    if (m_icons)
        m_icons->setSelectionMode(mode);
}

void CReportListCtrl::SetAlwaysShowSelection(bool on)
{
    m_alwaysShowSelection = on;
    QPalette colours = palette();
    if (on) {
        colours.setColor(QPalette::Inactive, QPalette::Highlight,
                         colours.color(QPalette::Active, QPalette::Highlight));
        colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         colours.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(colours);
}

void CReportListCtrl::EnsureIconView()
{
    if (m_icons)
        return;
    m_icons = new QListView(this);
    m_icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_icons->setSelectionMode(m_single ? QAbstractItemView::SingleSelection
                                       : QAbstractItemView::ExtendedSelection);
    m_icons->setWrapping(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setUniformItemSizes(true);
    m_icons->setItemDelegate(new CFixedCellDelegate(m_icons));
    m_icons->setTextElideMode(Qt::ElideRight);
    m_icons->setMovement(QListView::Static);
    static_cast<QStackedLayout*>(layout())->addWidget(m_icons);
    if (m_model) {
        m_icons->setModel(m_model);
        m_icons->setSelectionModel(m_table->selectionModel());
    }
    Connect(*m_icons);
}

void CReportListCtrl::SetMode(int mode)
{
    if (mode < LargeIcons || mode > List)
        mode = Details;
    m_mode = mode;
    auto* stack = static_cast<QStackedLayout*>(layout());
    if (mode == Details) {
        stack->setCurrentWidget(m_table);
        return;
    }
    EnsureIconView();
    const int textWidth = 100;
    if (mode == LargeIcons) {
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setGridSize(QSize(textWidth, 32 + 2 * fontMetrics().lineSpacing() + 6));
        m_icons->setWordWrap(true);
    } else {
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setGridSize(QSize(16 + textWidth + 24, std::max(18, fontMetrics().height() + 4)));
        m_icons->setWordWrap(false);
        // Small icons run across the window, the plain list down its columns.
        m_icons->setFlow(mode == SmallIcons ? QListView::LeftToRight : QListView::TopToBottom);
    }
    m_icons->setWrapping(true);
    const QSize grid = m_icons->gridSize();
    static_cast<CFixedCellDelegate*>(m_icons->itemDelegate())
        ->SetCellSize(QSize(grid.width() - 4, grid.height() - 2));
    m_icons->doItemsLayout();
    stack->setCurrentWidget(m_icons);
}

void CReportListCtrl::SetColumnWidth(int column, int width)
{
    m_table->setColumnWidth(column, width);
}

int CReportListCtrl::GetColumnWidth(int column) const
{
    return m_table->columnWidth(column);
}

int CReportListCtrl::GetRowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

std::vector<int> CReportListCtrl::GetSelectedRows() const
{
    std::vector<int> rows;
    if (!m_table->selectionModel())
        return rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CReportListCtrl::GetSelectedCount() const
{
    return m_table->selectionModel() ? static_cast<int>(m_table->selectionModel()->selectedRows().size()) : 0;
}

int CReportListCtrl::GetFirstSelected() const
{
    const auto rows = GetSelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void CReportListCtrl::SelectRow(int row, bool keepOthers)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (!keepOthers || m_single)
        flags |= QItemSelectionModel::Clear;
    const QModelIndex index = m_model->index(row, 0);
    m_table->selectionModel()->setCurrentIndex(index, flags);
}

void CReportListCtrl::ClearSelection()
{
    if (m_table->selectionModel())
        m_table->selectionModel()->clearSelection();
}

QWidget& CReportListCtrl::GetActiveView() const
{
    if (m_mode != Details && m_icons)
        return *m_icons;
    return *m_table;
}

bool CReportListCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (key.key() == Qt::Key_Delete && key.modifiers() == Qt::NoModifier) {
            emit deletePressed();
            return true;
        }
        const QKeyCombination combination = key.keyCombination();
        if (std::find(m_commandKeys.begin(), m_commandKeys.end(), combination) != m_commandKeys.end()) {
            emit commandKeyPressed(combination);
            return true;
        }
        if (IgnoresKey(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CReportListCtrl::FitUntouchedColumns(std::vector<int> columns, int untouched)
{
    m_fitColumns = std::move(columns);
    m_untouchedWidth = untouched;
}

void CReportListCtrl::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_fitColumns.empty() || !m_model)
        return;
    // Once the layouts around have given the list its width: a list inside a page is shown
    // before the page has its size.
    QMetaObject::invokeMethod(this, &CReportListCtrl::FitColumns, Qt::QueuedConnection);
}

void CReportListCtrl::FitColumns()
{
    if (m_fitColumns.empty() || !m_model || !isVisible())
        return;
    // Once: later shows keep whatever the user made of the columns.
    const std::vector<int> columns = std::exchange(m_fitColumns, {});
    const int limit = width() * 2 / 5;
    QHeaderView* header = m_table->horizontalHeader();
    for (int column : columns) {
        if (column >= m_model->columnCount() || header->sectionSize(column) != m_untouchedWidth)
            continue;
        const int contents =
            std::max(static_cast<const QAbstractItemView*>(m_table)->sizeHintForColumn(column),
                     header->sectionSizeHint(column));
        header->resizeSection(column,
                              std::clamp(contents + 8, m_untouchedWidth, std::max(m_untouchedWidth, limit)));
    }
}
