#pragma once

#include <map>

#include <QAccessibleWidget>

class QAction;
class QMenu;

// What assistive tools see of a popup menu: Qt names its items after the whole text of their
// actions, key hint and tab included ("Usuń<tab>Del"); ours carry the name alone, the hint as the
// item's shortcut and the status-bar prompt as its description.
class CMenuAccessible final : public QAccessibleWidget
{
public:
    explicit CMenuAccessible(QMenu* menu);
    ~CMenuAccessible() override;

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // Installs the factory that gives every QMenu of the program this interface; once.
    static void Install();

private:
    QMenu* Menu() const;

    mutable std::map<QAction*, QAccessible::Id> m_items;
};
