#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>

#include <cstdint>
#include <vector>

#include "ui/ConversationIndex.h"

class CBrivantelDoc;
class CMessageDb;

// The right of "Rozmowy": one person's messages in time order. A row's text and delivery state
// are read when the row is shown, so a thread of thousands opens at once.
class CThreadModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        KindRole = Qt::UserRole + 1, // int: ConversationItem::Kind
        TimeRole,                    // QString
        StateRole,                   // QString: "Wysłano", "Doręczono 12:03", "Nie doręczono", "czeka"
        SizeRole                     // QSize: (characters, lines) of the text, for the row's height
    };

    CThreadModel(CBrivantelDoc& document, CConversationIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Shows the thread of a row of the index (-1: none).
    void SetThread(int conversation, CMessageDb* db, std::int64_t now);
    int Conversation() const { return m_conversation; }
    const ConversationItem* ItemAt(int row) const;
    // What a delegate measured for a row at a width, kept while the width stays.
    int MeasuredHeight(int row, int width) const;
    void SetMeasuredHeight(int row, int width, int height) const;

    // "Doręczono 12:03" and its kin for a delivery state; "czeka" for a message still queued.
    static QString StateText(ConversationItem::Kind kind, const DeliveryState& delivery);

private:
    struct Shown
    {
        bool loaded = false;
        QString text;
        QString state;
        int width = 0;
        int height = 0;
    };
    const Shown& Load(int row) const;

    CBrivantelDoc& m_document;
    CConversationIndex& m_index;
    CMessageDb* m_db = nullptr;
    int m_conversation = -1;
    const std::vector<ConversationItem>* m_items = nullptr;
    mutable std::vector<Shown> m_shown;
};

// Paints a message as a bubble: sent ones on the right, received ones on the left, the time and
// state under the text. Heights come from the text's length until a row is painted, then from its
// laid-out text, so that only the rows on screen are ever laid out.
class CBubbleDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int TextWidth(const QStyleOptionViewItem& option) const;
    mutable bool m_relayoutAsked = false;
};
