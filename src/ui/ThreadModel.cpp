#include "ui/ThreadModel.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "app/Document.h"
#include "messagedb/MessageDb.h"
#include "store/Windows1250.h"
#include "ui/ConversationListModel.h"
#include "ui/MessageListModel.h"

namespace {

QString HourMinute(std::int64_t time)
{
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return {};
    char text[16];
    const std::size_t length = std::strftime(text, sizeof text, "%H:%M", &local);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

QString FromFiled(const std::string& text)
{
    QString shown = QString::fromUtf8(windows1250::ToUtf8(text));
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

} // namespace

CThreadModel::CThreadModel(CBrivantelDoc& document, CConversationIndex& index, QObject* parent)
    : QAbstractListModel(parent), m_document(document), m_index(index)
{
}

QString CThreadModel::StateText(ConversationItem::Kind kind, const DeliveryState& delivery)
{
    switch (kind) {
    case ConversationItem::Kind::Queued:
        return QStringLiteral("czeka");
    case ConversationItem::Kind::Received:
        return {};
    case ConversationItem::Kind::Sent:
        break;
    }
    switch (delivery.state) {
    case Delivery::Delivered:
        return QStringLiteral("Doręczono %1").arg(HourMinute(delivery.at));
    case Delivery::Failed:
        return QStringLiteral("Nie doręczono");
    case Delivery::Pending:
    case Delivery::None:
        break;
    }
    return QStringLiteral("Wysłano");
}

void CThreadModel::SetThread(int conversation, CMessageDb* db, std::int64_t now)
{
    beginResetModel();
    m_db = db;
    m_conversation = conversation;
    m_items = conversation >= 0 ? &m_index.Thread(conversation, db, now) : nullptr;
    m_shown.assign(m_items ? m_items->size() : 0, Shown{});
    endResetModel();
}

int CThreadModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_items ? 0 : static_cast<int>(m_items->size());
}

const ConversationItem* CThreadModel::ItemAt(int row) const
{
    if (!m_items || row < 0 || row >= static_cast<int>(m_items->size()))
        return nullptr;
    return &(*m_items)[static_cast<std::size_t>(row)];
}

const CThreadModel::Shown& CThreadModel::Load(int row) const
{
    Shown& shown = m_shown[static_cast<std::size_t>(row)];
    if (shown.loaded)
        return shown;
    const ConversationItem& item = *ItemAt(row);
    // A folder changed and the view has not rebuilt its index yet: nothing is read through the
    // old pointers, and the row stays unread until then.
    if (item.message && !m_index.IsCurrent(m_document))
        return shown;
    shown.loaded = true;
    if (item.message) {
        shown.text = FromFiled(item.message->GetText());
        DeliveryState delivery;
        if (item.kind == ConversationItem::Kind::Sent && m_db && m_db->IsOpen())
            delivery = m_db->DeliveryOf(item.message->GetRecipients(), item.message->GetText(),
                                        static_cast<std::int64_t>(item.message->GetTime()),
                                        m_index.List().at(static_cast<std::size_t>(m_conversation)).key);
        shown.state = StateText(item.kind, delivery);
    } else if (m_db) {
        const StoredMessage m = m_db->Find(item.id);
        shown.text = m.readable ? QString::fromUtf8(m.text) : QStringLiteral("Nieczytelna wiadomość");
        shown.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    }
    return shown;
}

QVariant CThreadModel::data(const QModelIndex& index, int role) const
{
    const ConversationItem* item = index.isValid() ? ItemAt(index.row()) : nullptr;
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Load(index.row()).text;
    case KindRole:
        return static_cast<int>(item->kind);
    case TimeRole:
        return CMessageListModel::FormatTime(static_cast<TimeStamp>(item->time)).left(16);
    case StateRole:
        return Load(index.row()).state;
    case SizeRole:
        return QSize(item->chars, item->lines);
    case Qt::AccessibleTextRole: {
        const Shown& shown = Load(index.row());
        QString who = item->kind == ConversationItem::Kind::Received ? QStringLiteral("Odebrano")
                                                                     : QStringLiteral("Wysłano");
        if (item->kind == ConversationItem::Kind::Queued)
            who = QStringLiteral("Czeka");
        QString text = who + QStringLiteral(" ") + data(index, TimeRole).toString();
        if (!shown.state.isEmpty() && item->kind == ConversationItem::Kind::Sent)
            text += QStringLiteral(", ") + shown.state;
        return text + QStringLiteral(": ") + shown.text;
    }
    default:
        return {};
    }
}

int CThreadModel::MeasuredHeight(int row, int width) const
{
    if (row < 0 || row >= static_cast<int>(m_shown.size()))
        return 0;
    const Shown& shown = m_shown[static_cast<std::size_t>(row)];
    return shown.width == width ? shown.height : 0;
}

void CThreadModel::SetMeasuredHeight(int row, int width, int height) const
{
    if (row < 0 || row >= static_cast<int>(m_shown.size()))
        return;
    Shown& shown = m_shown[static_cast<std::size_t>(row)];
    shown.width = width;
    shown.height = height;
}

// --- painting ---------------------------------------------------------------------------------

namespace {

constexpr int kOuter = 6;       // between a bubble and the list's edges and the next bubble
constexpr int kInner = 7;       // between a bubble's edge and its text
constexpr double kShare = 0.72; // of the width a bubble may take
// Word wrap leaves the ends of lines short: a text takes more lines than its characters fill.
constexpr double kWrapSlack = 1.18;

QFont MetaFont(const QFont& font)
{
    QFont small = font;
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.85);
    return small;
}

} // namespace

int CBubbleDelegate::TextWidth(const QStyleOptionViewItem& option) const
{
    const int width = option.widget
                          ? static_cast<const QAbstractItemView*>(option.widget)->viewport()->width()
                          : option.rect.width();
    return std::max(60, static_cast<int>(width * kShare) - 2 * kInner);
}

QSize CBubbleDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const CThreadModel*>(index.model());
    const int width = TextWidth(option);
    const QFontMetrics metrics(option.font);
    const int meta = QFontMetrics(MetaFont(option.font)).height();
    int textHeight = model ? model->MeasuredHeight(index.row(), width) : 0;
    if (textHeight == 0) {
        // An estimate from the length alone: the row is measured when it is first painted.
        const QSize size = index.data(CThreadModel::SizeRole).toSize();
        const double perLine = std::max(1.0, width / (metrics.averageCharWidth() * kWrapSlack));
        const int lines =
            std::max(size.height(), static_cast<int>(std::ceil(size.width() / perLine)) + size.height() - 1);
        textHeight = std::max(1, lines) * metrics.lineSpacing();
    }
    return {width, textHeight + meta + 2 * kInner + kOuter + 2};
}

void CBubbleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    const auto* model = qobject_cast<const CThreadModel*>(index.model());
    const int textWidth = TextWidth(option);
    const QString text = ShowableText(index.data(Qt::DisplayRole).toString(), option.font);
    const QFontMetrics metrics(option.font);
    const QFont metaFont = MetaFont(option.font);
    const QFontMetrics metaMetrics(metaFont);
    const QRect measured = metrics.boundingRect(QRect(0, 0, textWidth, 100000), Qt::TextWordWrap, text);
    const int textHeight = std::max(metrics.lineSpacing(), measured.height());
    if (model && model->MeasuredHeight(index.row(), textWidth) != textHeight) {
        model->SetMeasuredHeight(index.row(), textWidth, textHeight);
        // The row's height was a guess: the view lays its rows out again once painting is over.
        if (!m_relayoutAsked) {
            m_relayoutAsked = true;
            auto* self = const_cast<CBubbleDelegate*>(this);
            QTimer::singleShot(0, self, [self, index = QPersistentModelIndex(index)] {
                self->m_relayoutAsked = false;
                emit self->sizeHintChanged(index);
            });
        }
    }

    const auto kind = static_cast<ConversationItem::Kind>(index.data(CThreadModel::KindRole).toInt());
    const bool mine = kind != ConversationItem::Kind::Received;
    QString meta = index.data(CThreadModel::TimeRole).toString();
    const QString state = index.data(CThreadModel::StateRole).toString();
    if (!state.isEmpty())
        meta += QStringLiteral("  ·  ") + state;
    const int metaWidth = metaMetrics.horizontalAdvance(meta);

    const int bubbleWidth = std::min(textWidth, std::max(measured.width(), metaWidth)) + 2 * kInner;
    const int bubbleHeight = textHeight + metaMetrics.height() + 2 * kInner;
    const QRect row = option.rect;
    const int left = mine ? row.right() - kOuter - bubbleWidth : row.left() + kOuter;
    const QRect bubble(left, row.top() + kOuter / 2, bubbleWidth, bubbleHeight);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    QColor fill = mine ? QColor(0xdc, 0xef, 0xd8) : QColor(0xee, 0xf0, 0xf4);
    if (kind == ConversationItem::Kind::Queued)
        fill = QColor(0xf6, 0xef, 0xd6);
    QColor edge = selected ? option.palette.color(QPalette::Highlight) : fill.darker(118);
    painter->setPen(QPen(edge, selected ? 2.0 : 1.0));
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(bubble).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(bubble).adjusted(-2.5, -2.5, 2.5, 2.5), 9, 9);
    }
    // Dark text on the light bubbles whatever the palette, so that it always reads.
    painter->setPen(QColor(0x1a, 0x1e, 0x26));
    painter->setFont(option.font);
    const QRect textRect(bubble.left() + kInner, bubble.top() + kInner, textWidth, textHeight);
    painter->drawText(textRect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    painter->setFont(metaFont);
    painter->setPen(kind == ConversationItem::Kind::Sent && state.startsWith(QStringLiteral("Nie"))
                        ? QColor(0xb0, 0x20, 0x20)
                        : QColor(0x55, 0x5d, 0x6b));
    const QRect metaRect(bubble.left() + kInner, textRect.bottom() + 1, bubbleWidth - 2 * kInner,
                         metaMetrics.height());
    painter->drawText(metaRect, (mine ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, meta);
    painter->restore();
}
