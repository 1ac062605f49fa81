#pragma once

#include <map>
#include <utility>

#include <QAccessibleWidget>

class CFolderListCtrl;

// What assistive tools (screen readers over AT-SPI) see of the folder list: a tree whose top
// entries are the folder buttons, each holding its items. The open folder is expanded and
// selected; the item of the shown view is selected; both answer "press".
class CFolderListAccessible final : public QAccessibleWidget
{
public:
    explicit CFolderListAccessible(CFolderListCtrl* list);
    ~CFolderListAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // A folder button (item -1) or an item; null when there is none.
    QAccessibleInterface* Entry(int folder, int item) const;

private:
    CFolderListCtrl* List() const;

    mutable std::map<std::pair<int, int>, QAccessible::Id> m_entries;
};

namespace folder_list_access {

// Tells assistive tools about an event of a folder button (item -1) or an item.
void Announce(CFolderListCtrl* list, QAccessible::Event type, int folder, int item);

} // namespace folder_list_access
