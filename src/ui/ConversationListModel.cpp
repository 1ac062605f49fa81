#include "ui/ConversationListModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <ctime>
#include <unordered_map>

#include "app/Document.h"
#include "messagedb/MessageDb.h"
#include "store/Windows1250.h"
#include "ui/ConversationIndex.h"

namespace {

constexpr int kPreviewChars = 80;
constexpr std::size_t kPreviewsKept = 400;

QString OneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

QString ShowableText(const QString& text, const QFont& font)
{
    // Only characters outside the basic plane and the symbol blocks are in doubt; the answer is
    // kept per character, since asking the fonts costs more than painting.
    static std::unordered_map<char32_t, bool> known;
    static QString knownFor;
    if (knownFor != font.key()) {
        known.clear();
        knownFor = font.key();
    }
    bool doubtful = false;
    for (QChar c : text)
        doubtful |= c.isSurrogate() || c.unicode() >= 0x2600;
    if (!doubtful)
        return text;
    const QFontMetrics metrics(font);
    QString shown;
    shown.reserve(text.size());
    const auto codes = text.toUcs4();
    for (char32_t code : codes) {
        if (code < 0x2600) {
            shown += QString::fromUcs4(&code, 1);
            continue;
        }
        auto found = known.find(code);
        if (found == known.end())
            found = known.emplace(code, metrics.inFontUcs4(code)).first;
        // Joiners and variation selectors only shape their neighbours.
        if (found->second || code == 0x200D || (code >= 0xFE00 && code <= 0xFE0F))
            shown += QString::fromUcs4(&code, 1);
        else
            shown += QStringLiteral("[emoji]");
    }
    return shown;
}

CConversationListModel::CConversationListModel(CBrivantelDoc& document, CConversationIndex& index,
                                               QObject* parent)
    : QAbstractListModel(parent), m_document(document), m_index(index)
{
}

int CConversationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_index.List().size());
}

void CConversationListModel::EndReset(CMessageDb* db)
{
    m_db = db;
    m_previews.clear();
    endResetModel();
}

void CConversationListModel::RowChanged(int row)
{
    m_previews.erase(row);
    emit dataChanged(index(row), index(row));
}

QString CConversationListModel::ShortTime(std::int64_t time, std::int64_t now)
{
    if (time <= 0)
        return {};
    const std::time_t seconds = static_cast<std::time_t>(time);
    const std::time_t today = static_cast<std::time_t>(now);
    std::tm local{};
    std::tm current{};
    if (!localtime_r(&seconds, &local) || !localtime_r(&today, &current))
        return {};
    const bool sameDay = local.tm_year == current.tm_year && local.tm_yday == current.tm_yday;
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%d/%m/%Y", &local);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

QString CConversationListModel::Title(int row) const
{
    const Conversation& c = m_index.List().at(static_cast<std::size_t>(row));
    return QString::fromUtf8(c.name.empty() ? c.key : c.name);
}

QString CConversationListModel::Preview(int row) const
{
    if (const auto found = m_previews.find(row); found != m_previews.end())
        return found->second;
    const Conversation& c = m_index.List().at(static_cast<std::size_t>(row));
    QString text;
    // The newest message; of equal times the received one, as the thread shows it last.
    const bool received = c.lastReceived > 0 && (!c.lastFiled || c.lastReceived >= c.lastFiledTime);
    if (!received && c.lastFiled) {
        if (m_index.IsCurrent(m_document))
            text = QString::fromUtf8(windows1250::ToUtf8(c.lastFiled->GetText()));
    } else if (received && m_db && m_db->IsOpen()) {
        const StoredMessage m =
            m_db->Find(m_db->LastOfSender(c.key, static_cast<std::int64_t>(std::time(nullptr))));
        text = m.readable ? QString::fromUtf8(m.text) : QStringLiteral("Nieczytelna wiadomość");
    }
    text = OneLine(text.left(kPreviewChars * 2)).simplified();
    if (m_previews.size() >= kPreviewsKept)
        m_previews.clear();
    m_previews.emplace(row, text);
    return text;
}

QVariant CConversationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Conversation& c = m_index.List().at(static_cast<std::size_t>(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        return Title(index.row());
    case TimeRole:
        return ShortTime(c.last, static_cast<std::int64_t>(std::time(nullptr)));
    case PreviewRole:
        return Preview(index.row());
    case UnreadRole:
        return c.unread > 0;
    case KeyRole:
        return QString::fromUtf8(c.key);
    case Qt::ToolTipRole:
        return c.name.empty() ? QVariant() : QVariant(QString::fromUtf8(c.key));
    case Qt::AccessibleTextRole: {
        QString text = Title(index.row());
        if (c.unread > 0)
            text += QStringLiteral(", nieprzeczytane: %1").arg(c.unread);
        const QString time = data(index, TimeRole).toString();
        if (!time.isEmpty())
            text += QStringLiteral(", ") + time;
        const QString preview = Preview(index.row());
        if (!preview.isEmpty())
            text += QStringLiteral(", ") + preview;
        return text;
    }
    default:
        return {};
    }
}

// --- painting ---------------------------------------------------------------------------------

namespace {

constexpr int kMargin = 6;

QFont SmallFont(const QFont& font)
{
    QFont small = font;
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.9);
    return small;
}

} // namespace

QSize CConversationDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const
{
    QFont bold = option.font;
    bold.setBold(true);
    const int height = QFontMetrics(bold).height() + QFontMetrics(SmallFont(option.font)).height();
    return {200, height + 2 * kMargin + 2};
}

void CConversationDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    // The selection and focus as the style draws them, then the two lines.
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor dim = text;
    if (!selected)
        dim = option.palette.color(group, QPalette::PlaceholderText);

    const bool unread = index.data(CConversationListModel::UnreadRole).toBool();
    QFont nameFont = option.font;
    nameFont.setBold(unread);
    const QFont small = SmallFont(option.font);
    const QRect area = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QFontMetrics nameMetrics(nameFont);
    const QFontMetrics smallMetrics(small);

    painter->save();
    const QString time = index.data(CConversationListModel::TimeRole).toString();
    const int timeWidth = smallMetrics.horizontalAdvance(time);
    painter->setFont(small);
    painter->setPen(unread ? text : dim);
    const QRect firstLine(area.left(), area.top(), area.width(), nameMetrics.height());
    painter->drawText(firstLine, Qt::AlignRight | Qt::AlignVCenter, time);

    painter->setFont(nameFont);
    painter->setPen(text);
    const QRect nameRect = firstLine.adjusted(0, 0, -(timeWidth + kMargin), 0);
    painter->drawText(
        nameRect, Qt::AlignLeft | Qt::AlignVCenter,
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, nameRect.width()));

    QFont previewFont = small;
    previewFont.setBold(unread);
    painter->setFont(previewFont);
    painter->setPen(unread ? text : dim);
    const QRect secondLine(area.left(), firstLine.bottom() + 1, area.width(), smallMetrics.height());
    const QString preview =
        ShowableText(index.data(CConversationListModel::PreviewRole).toString(), previewFont);
    painter->drawText(secondLine, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(previewFont).elidedText(preview, Qt::ElideRight, secondLine.width()));
    painter->restore();
}
