#include "ui/MessageListModel.h"

#include <ctime>

#include "app/qt/TextCodec.h"
#include "ui/DeliveryColumn.h"

namespace {

QStringList Headers(bool withDate)
{
    QStringList headers{QStringLiteral("Odbiorcy"), QStringLiteral("Wiadomość")};
    if (withDate)
        headers << QStringLiteral("Data") << QStringLiteral("Stan");
    return headers;
}

} // namespace

CMessageListModel::CMessageListModel(const CMessageList& folder, bool withDate, QIcon icon, QObject* parent)
    : CReportModel(Headers(withDate), std::move(icon), parent), m_folder(folder), m_withDate(withDate)
{
}

int CMessageListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_frozen)
        return 0;
    return static_cast<int>(m_folder.GetCount());
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::ToolTipRole)
        return CReportModel::data(index, role);
    const CMessage* message = MessageAt(index.row());
    if (!message || message->GetFailureReason().empty())
        return {};
    return text_codec::ToQString(message->GetFailureReason());
}

CMessage* CMessageListModel::MessageAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    return m_folder.At(static_cast<std::size_t>(row));
}

std::optional<int> CMessageListModel::RowOf(const CMessage* message) const
{
    if (m_frozen)
        return std::nullopt;
    const std::optional<std::size_t> index = m_folder.IndexOf(message);
    if (!index)
        return std::nullopt;
    return static_cast<int>(*index);
}

void CMessageListModel::RemoveRow(int row, const std::function<void()>& change)
{
    beginRemoveRows({}, row, row);
    change();
    endRemoveRows();
}

void CMessageListModel::Reset()
{
    beginResetModel();
    endResetModel();
}

void CMessageListModel::Freeze()
{
    beginResetModel();
    m_frozen = true;
    endResetModel();
}

void CMessageListModel::Thaw()
{
    beginResetModel();
    m_frozen = false;
    endResetModel();
}

QString CMessageListModel::FormatTime(TimeStamp time)
{
    const std::time_t seconds = time;
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return {};
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &local);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

QString CMessageListModel::OneLine(const std::string& text)
{
    QString line = text_codec::ToQString(text);
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line;
}

QString CMessageListModel::Text(int row, int column) const
{
    const CMessage& message = *m_folder.At(static_cast<std::size_t>(row));
    switch (column) {
    case 0:
        return OneLine(message.GetRecipients());
    case 1:
        return OneLine(message.GetText());
    case 2:
        return m_withDate ? FormatTime(message.GetTime()) : QString();
    default:
        return m_states ? m_states->Text(message) : QString();
    }
}
