#include "ui/controls/FolderListCtrl.h"

#include <QKeyEvent>
#include <QPainter>

#include "ui/controls/FocusFrame.h"
#include "ui/controls/FolderListAccessible.h"

// The folder list from the keyboard and for assistive tools: a cursor that walks the folder
// buttons and the open folder's items, the item of the shown view, and what they announce.

QString CFolderListCtrl::GetItemText(int folder, int item) const
{
    return item >= 0 && item < GetItemCount(folder) ? m_folders[folder].items[item].text : QString();
}

void CFolderListCtrl::SetItemText(int folder, int item, const QString& text)
{
    if (folder < 0 || folder >= GetFolderCount() || item < 0 || item >= GetItemCount(folder))
        return;
    QString& label = m_folders[folder].items[item].text;
    if (label == text)
        return;
    label = text;
    update();
}

int CFolderListCtrl::GetItemDataOf(int folder, int item) const
{
    return item >= 0 && item < GetItemCount(folder) ? m_folders[folder].items[item].userData : 0;
}

void CFolderListCtrl::SetSelectedItem(int folder, int item)
{
    if (item < 0 || item >= GetItemCount(folder))
        folder = item = -1;
    if (folder == m_selectedFolder && item == m_selectedItem)
        return;
    m_selectedFolder = folder;
    m_selectedItem = item;
    if (item >= 0)
        folder_list_access::Announce(this, QAccessible::Selection, folder, item);
}

void CFolderListCtrl::PressItem(int folder, int item)
{
    if (item < 0 || item >= GetItemCount(folder))
        return;
    if (folder != m_current)
        SetCurrentFolder(folder);
    emit notify(kItemClicked, item);
}

QRect CFolderListCtrl::KeyCursorRect() const
{
    if (m_keyFolder < 0 || m_keyFolder >= GetFolderCount())
        return {};
    if (m_keyItem < 0)
        return FolderRect(m_keyFolder).adjusted(2, 2, -2, -2);
    return ItemIconRect(m_keyItem).united(ItemLabelRect(m_keyItem)).adjusted(-3, -3, 3, 3);
}

void CFolderListCtrl::PaintKeyCursor(QPainter& p) const
{
    const QRect r = KeyCursorRect();
    if (r.isEmpty())
        return;
    // Our own frame: styles draw none for a control they do not know.
    p.save();
    p.setClipRect(m_keyItem < 0 ? contentsRect() : ItemsArea());
    focus_frame::Paint(p, r);
    p.restore();
}

void CFolderListCtrl::ScrollIntoView(int item)
{
    if (item < 0)
        return;
    if (item < m_firstItem)
        m_firstItem = item;
    while (m_firstItem < item && LastFullyVisibleItem() < item)
        ++m_firstItem;
}

void CFolderListCtrl::MoveKeyCursor(int folder, int item)
{
    if (folder < 0 || folder >= GetFolderCount())
        return;
    if (folder != m_current || item >= GetItemCount(folder))
        item = -1;
    m_keyFolder = folder;
    m_keyItem = item;
    ScrollIntoView(item);
    update();
    if (hasFocus())
        folder_list_access::Announce(this, QAccessible::Focus, folder, item);
}

void CFolderListCtrl::OnNotify(int code, int index)
{
    if (code == kFolderChanged) {
        // Opening a folder puts the keyboard on its button, the way a click put the pointer there.
        m_keyFolder = index;
        m_keyItem = -1;
        folder_list_access::Announce(this, QAccessible::Selection, index, -1);
        if (hasFocus())
            folder_list_access::Announce(this, QAccessible::Focus, index, -1);
    } else if (code == kItemClicked && index != m_keyItem) {
        MoveKeyCursor(m_current, index);
    }
}

void CFolderListCtrl::keyPressEvent(QKeyEvent* event)
{
    const int count = GetFolderCount();
    if (count == 0 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QFrame::keyPressEvent(event);
        return;
    }
    const int items = GetItemCount(m_current);
    // One column of stops: every folder button, and the open folder's items below its button.
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        if (m_keyItem < 0 && m_keyFolder == m_current && items > 0)
            MoveKeyCursor(m_current, 0);
        else if (m_keyItem >= 0 && m_keyItem + 1 < items)
            MoveKeyCursor(m_current, m_keyItem + 1);
        else if (m_keyFolder + 1 < count)
            MoveKeyCursor(m_keyFolder + 1, -1);
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        if (m_keyItem > 0)
            MoveKeyCursor(m_current, m_keyItem - 1);
        else if (m_keyItem == 0)
            MoveKeyCursor(m_current, -1);
        else if (m_keyFolder - 1 == m_current && items > 0)
            MoveKeyCursor(m_current, items - 1);
        else if (m_keyFolder > 0)
            MoveKeyCursor(m_keyFolder - 1, -1);
        break;
    case Qt::Key_Home:
        MoveKeyCursor(0, -1);
        break;
    case Qt::Key_End:
        MoveKeyCursor(count - 1, count - 1 == m_current && items > 0 ? items - 1 : -1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_keyItem >= 0)
            PressItem(m_current, m_keyItem);
        else if (m_keyFolder != m_current)
            SetCurrentFolder(m_keyFolder);
        break;
    default:
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CFolderListCtrl::focusInEvent(QFocusEvent* event)
{
    // Coming in, the keyboard starts at the shown view's item when its folder is open.
    if (m_keyFolder >= GetFolderCount())
        m_keyFolder = m_current;
    if (m_keyItem < 0 && m_keyFolder == m_current && m_selectedFolder == m_current)
        m_keyItem = m_selectedItem;
    ScrollIntoView(m_keyItem);
    QFrame::focusInEvent(event);
    update();
    folder_list_access::Announce(this, QAccessible::Focus, m_keyFolder, m_keyItem);
}

void CFolderListCtrl::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    update();
}
