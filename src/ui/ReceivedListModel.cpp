#include "ui/ReceivedListModel.h"

#include <QFont>

#include <algorithm>
#include <ctime>

#include "ui/MessageListModel.h"

namespace {

constexpr std::size_t kPagesKept = 8;

const StoredMessage kNoMessage{};

QString OneLine(const std::string& utf8)
{
    QString line = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line;
}

} // namespace

CReceivedListModel::CReceivedListModel(CMessageDb& db, std::map<std::string, QString> names, QIcon icon,
                                       QObject* parent)
    : CReportModel({QStringLiteral("Od"), QStringLiteral("Treść"), QStringLiteral("Odebrano")},
                   std::move(icon), parent),
      m_db(db), m_names(std::move(names))
{
    m_count = static_cast<int>(std::min<std::int64_t>(m_db.Count({}, Now()), INT32_MAX));
}

std::int64_t CReceivedListModel::Now() const
{
    return m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr));
}

int CReceivedListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

const std::vector<StoredMessage>& CReceivedListModel::Page(int page) const
{
    auto found = m_pages.find(page);
    if (found == m_pages.end()) {
        if (m_pages.size() >= kPagesKept) {
            m_pages.erase(m_pageOrder.front());
            m_pageOrder.erase(m_pageOrder.begin());
        }
        ListOptions window;
        window.offset = static_cast<std::int64_t>(page) * kPageRows;
        window.limit = kPageRows;
        found = m_pages.emplace(page, m_db.List(window, Now())).first;
        ++m_pagesRead;
    }
    m_pageOrder.erase(std::remove(m_pageOrder.begin(), m_pageOrder.end(), page), m_pageOrder.end());
    m_pageOrder.push_back(page);
    return found->second;
}

const StoredMessage& CReceivedListModel::MessageAt(int row) const
{
    if (row < 0 || row >= m_count)
        return kNoMessage;
    const auto& page = Page(row / kPageRows);
    const std::size_t at = static_cast<std::size_t>(row % kPageRows);
    // The database may have lost rows behind the model's back (another program): an empty row.
    return at < page.size() ? page[at] : kNoMessage;
}

QString CReceivedListModel::SenderText(const StoredMessage& message) const
{
    const auto name = m_names.find(message.sender);
    return name != m_names.end() ? name->second : OneLine(message.senderRaw);
}

QString CReceivedListModel::ShownText(const StoredMessage& message)
{
    return message.readable ? OneLine(message.text) : QString::fromUtf8(kUnreadable);
}

int CReceivedListModel::RowOf(std::int64_t id) const
{
    for (int row = 0; row < m_count; ++row) {
        if (MessageAt(row).id == id)
            return row;
    }
    return -1;
}

QVariant CReceivedListModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::FontRole) {
        const StoredMessage& message = MessageAt(index.row());
        if (message.id == 0 || message.read)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::ToolTipRole) {
        const StoredMessage& message = MessageAt(index.row());
        // Why a message could not be read is worth a look; the raw form stays in the database.
        return message.readable ? QVariant() : QVariant(QString::fromUtf8(message.reason.c_str()));
    }
    return CReportModel::data(index, role);
}

QString CReceivedListModel::Text(int row, int column) const
{
    const StoredMessage& message = MessageAt(row);
    if (message.id == 0)
        return {};
    switch (column) {
    case 0:
        return SenderText(message);
    case 1:
        return ShownText(message);
    default:
        return CMessageListModel::FormatTime(static_cast<TimeStamp>(message.receivedUtc));
    }
}

void CReceivedListModel::MarkRead(int row)
{
    if (row < 0 || row >= m_count)
        return;
    auto page = m_pages.find(row / kPageRows);
    const std::size_t at = static_cast<std::size_t>(row % kPageRows);
    if (page != m_pages.end() && at < page->second.size())
        page->second[at].read = true;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void CReceivedListModel::Reload()
{
    beginResetModel();
    m_pages.clear();
    m_pageOrder.clear();
    m_pagesRead = 0;
    m_count = static_cast<int>(std::min<std::int64_t>(m_db.Count({}, Now()), INT32_MAX));
    endResetModel();
}
