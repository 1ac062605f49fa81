#include "ui/controls/FolderListAccessible.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "ui/controls/ControlsAccessible.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

// One folder button (item -1) or one item. It is no object of its own: it lives in the
// accessibility cache, owned there by the list's interface.
class CFolderEntryAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    CFolderEntryAccessible(CFolderListCtrl* list, int folder, int item)
        : m_list(list), m_folder(folder), m_item(item)
    {
    }

    int Folder() const { return m_folder; }
    int Item() const { return m_item; }

    bool isValid() const override
    {
        return m_list && m_folder < m_list->GetFolderCount() && m_item < m_list->GetItemCount(m_folder);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }

    QAccessibleInterface* parent() const override
    {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_list.data());
        if (m_item < 0 || !list)
            return list;
        return static_cast<CFolderListAccessible*>(list)->Entry(m_folder, -1);
    }
    int childCount() const override { return m_item < 0 && m_list ? m_list->GetItemCount(m_folder) : 0; }
    QAccessibleInterface* child(int index) const override
    {
        if (m_item >= 0 || index < 0 || index >= childCount())
            return nullptr;
        auto* list =
            static_cast<CFolderListAccessible*>(QAccessible::queryAccessibleInterface(m_list.data()));
        return list ? list->Entry(m_folder, index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* entry = dynamic_cast<const CFolderEntryAccessible*>(child);
        return entry && m_item < 0 && entry->m_folder == m_folder ? entry->m_item : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* item = child(i);
            if (item && item->rect().contains(x, y))
                return item;
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_list || t != QAccessible::Name)
            return {};
        return m_item < 0 ? m_list->GetFolderName(m_folder) : m_list->GetItemText(m_folder, m_item);
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!m_list)
            return {};
        QRect r;
        if (m_item < 0)
            r = m_list->FolderRect(m_folder);
        else if (m_folder == m_list->GetCurrentFolder())
            r = m_list->ItemIconRect(m_item)
                    .united(m_list->ItemLabelRect(m_item))
                    .intersected(m_list->ItemsArea());
        if (r.isEmpty())
            return {};
        return {m_list->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_list)
            return s;
        s.focusable = true;
        s.selectable = true;
        const bool here = m_list->GetKeyFolder() == m_folder && m_list->GetKeyItem() == m_item;
        s.focused = here && m_list->hasFocus();
        if (m_item < 0) {
            s.expandable = true;
            s.expanded = m_folder == m_list->GetCurrentFolder();
            s.collapsed = !s.expanded;
            s.selected = s.expanded;
        } else {
            s.selected = m_list->GetSelectedFolder() == m_folder && m_list->GetSelectedItem() == m_item;
        }
        s.invisible = !m_list->isVisible() || rect().isEmpty();
        s.offscreen = s.invisible;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString& action) const override
    {
        return action == pressAction() ? QStringList{QStringLiteral("Enter")} : QStringList{};
    }
    void doAction(const QString& action) override
    {
        if (!m_list || action != pressAction())
            return;
        if (m_item >= 0)
            m_list->PressItem(m_folder, m_item);
        else if (m_folder != m_list->GetCurrentFolder())
            m_list->SetCurrentFolder(m_folder);
    }

private:
    QPointer<CFolderListCtrl> m_list;
    int m_folder;
    int m_item;
};

} // namespace

CFolderListAccessible::CFolderListAccessible(CFolderListCtrl* list)
    : QAccessibleWidget(list, QAccessible::Tree)
{
}

CFolderListAccessible::~CFolderListAccessible()
{
    for (const auto& [key, id] : m_entries)
        QAccessible::deleteAccessibleInterface(id);
}

CFolderListCtrl* CFolderListAccessible::List() const
{
    return static_cast<CFolderListCtrl*>(widget());
}

QAccessibleInterface* CFolderListAccessible::Entry(int folder, int item) const
{
    CFolderListCtrl* list = List();
    if (!list || folder < 0 || folder >= list->GetFolderCount() || item < -1 ||
        item >= list->GetItemCount(folder))
        return nullptr;
    const auto key = std::make_pair(folder, item);
    const auto it = m_entries.find(key);
    if (it != m_entries.end())
        return QAccessible::accessibleInterface(it->second);
    auto* entry = new CFolderEntryAccessible(list, folder, item);
    m_entries.emplace(key, QAccessible::registerAccessibleInterface(entry));
    return entry;
}

int CFolderListAccessible::childCount() const
{
    return List() ? List()->GetFolderCount() : 0;
}

QAccessibleInterface* CFolderListAccessible::child(int index) const
{
    return Entry(index, -1);
}

int CFolderListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* entry = dynamic_cast<const CFolderEntryAccessible*>(child);
    return entry && entry->Item() < 0 ? entry->Folder() : -1;
}

QAccessibleInterface* CFolderListAccessible::childAt(int x, int y) const
{
    for (int f = 0; f < childCount(); ++f) {
        QAccessibleInterface* folder = child(f);
        if (!folder)
            continue;
        if (folder->rect().contains(x, y))
            return folder;
        if (QAccessibleInterface* item = folder->childAt(x, y))
            return item;
    }
    return nullptr;
}

QAccessibleInterface* CFolderListAccessible::focusChild() const
{
    CFolderListCtrl* list = List();
    if (!list || !list->hasFocus())
        return nullptr;
    return Entry(list->GetKeyFolder(), list->GetKeyItem());
}

namespace folder_list_access {

void Announce(CFolderListCtrl* list, QAccessible::Event type, int folder, int item)
{
    auto* iface = dynamic_cast<CFolderListAccessible*>(QAccessible::queryAccessibleInterface(list));
    QAccessibleInterface* entry = iface ? iface->Entry(folder, item) : nullptr;
    if (!entry)
        return;
    if (type == QAccessible::StateChanged) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(entry, changed);
        controls_access::Announce(event);
        return;
    }
    QAccessibleEvent event(entry, type);
    controls_access::Announce(event);
}

} // namespace folder_list_access
