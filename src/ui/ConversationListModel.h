#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>

#include <map>

class CBrivantelDoc;
class CConversationIndex;
class CMessageDb;

// The left of "Rozmowy": one row per person or number, newest first, with the last message's time
// and first words; a person with unread messages is bold. The first words are read for the rows
// on screen only.
class CConversationListModel final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        TimeRole = Qt::UserRole + 1, // QString, the last message's time
        PreviewRole,                 // QString, its first words on one line
        UnreadRole,                  // bool
        KeyRole                      // QString
    };

    CConversationListModel(CBrivantelDoc& document, CConversationIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Around building the index again or adding a row to it: the list asks nothing in between.
    void BeginReset() { beginResetModel(); }
    void EndReset(CMessageDb* db);
    void RowChanged(int row);
    // "Jan Kowalski", or the number (or the sender's name) when the book has none.
    QString Title(int row) const;

    // "12:03" for today, "08/12/2026" for another day: the list has room for the name first.
    static QString ShortTime(std::int64_t time, std::int64_t now);

private:
    QString Preview(int row) const;

    CBrivantelDoc& m_document;
    CConversationIndex& m_index;
    CMessageDb* m_db = nullptr;
    mutable std::map<int, QString> m_previews;
};

// Paints a row of the list: name and time on the first line, the first words below.
class CConversationDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The text as a font can show it: a character no installed font has (a newer emoji) becomes a
// short mark instead of an empty box.
QString ShowableText(const QString& text, const QFont& font);
