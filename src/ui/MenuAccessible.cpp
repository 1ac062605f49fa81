#include "ui/MenuAccessible.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWindow>

#include "ui/FrameAccess.h"

namespace {

class CMenuItemAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    CMenuItemAccessible(QMenu* menu, QAction* action) : m_menu(menu), m_action(action) {}

    QAction* Action() const { return m_action; }

    bool isValid() const override { return m_menu && m_action; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_menu ? m_menu->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_menu.data());
    }
    int childCount() const override { return m_action && m_action->menu() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 && childCount() == 1 ? QAccessible::queryAccessibleInterface(m_action->menu())
                                               : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && childCount() == 1 && child->object() == m_action->menu() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_action)
            return {};
        switch (t) {
        case QAccessible::Name:
            return frame_access::SpokenName(m_action->text());
        case QAccessible::Description:
            return m_action->statusTip();
        case QAccessible::Accelerator: {
            const QString hint = frame_access::KeyHint(m_action->text());
            return hint.isEmpty() ? m_action->shortcut().toString(QKeySequence::NativeText) : hint;
        }
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid() || !m_menu->isVisible())
            return {};
        const QRect r = m_menu->actionGeometry(m_action);
        return {m_menu->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override
    {
        return m_action && m_action->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.invisible = !m_menu->isVisible() || !m_action->isVisible();
        s.focused = m_menu->activeAction() == m_action;
        s.disabled = m_action->isSeparator() || !m_action->isEnabled();
        s.checkable = m_action->isCheckable();
        s.checked = m_action->isChecked();
        s.hasPopup = m_action->menu() != nullptr;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override
    {
        if (!m_action || m_action->isSeparator())
            return {};
        return {m_action->menu() ? showMenuAction() : pressAction()};
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& action) override
    {
        if (!isValid() || !m_action->isEnabled())
            return;
        if (action == showMenuAction() && m_action->menu())
            m_menu->setActiveAction(m_action);
        else if (action == pressAction())
            m_action->activate(QAction::Trigger);
    }

private:
    QPointer<QMenu> m_menu;
    QPointer<QAction> m_action;
};

QAccessibleInterface* MakeMenuInterface(const QString& className, QObject* object)
{
    if (className != QLatin1String("QMenu"))
        return nullptr;
    auto* menu = qobject_cast<QMenu*>(object);
    return menu ? new CMenuAccessible(menu) : nullptr;
}

} // namespace

CMenuAccessible::CMenuAccessible(QMenu* menu) : QAccessibleWidget(menu, QAccessible::PopupMenu) {}

CMenuAccessible::~CMenuAccessible()
{
    for (const auto& [action, id] : m_items)
        QAccessible::deleteAccessibleInterface(id);
}

void CMenuAccessible::Install()
{
    static const bool installed = [] {
        QAccessible::installFactory(MakeMenuInterface);
        return true;
    }();
    (void)installed;
}

QMenu* CMenuAccessible::Menu() const
{
    return static_cast<QMenu*>(widget());
}

QString CMenuAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && Menu() && widget()->accessibleName().isEmpty())
        return frame_access::SpokenName(Menu()->title());
    return QAccessibleWidget::text(t);
}

int CMenuAccessible::childCount() const
{
    return Menu() ? static_cast<int>(Menu()->actions().size()) : 0;
}

QAccessibleInterface* CMenuAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    QAction* action = Menu()->actions().at(index);
    const auto it = m_items.find(action);
    if (it != m_items.end()) {
        if (QAccessibleInterface* item = QAccessible::accessibleInterface(it->second);
            item && item->isValid())
            return item;
        QAccessible::deleteAccessibleInterface(it->second);
        m_items.erase(it);
    }
    auto* item = new CMenuItemAccessible(Menu(), action);
    m_items.emplace(action, QAccessible::registerAccessibleInterface(item));
    return item;
}

int CMenuAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* item = dynamic_cast<const CMenuItemAccessible*>(child);
    return item && Menu() ? static_cast<int>(Menu()->actions().indexOf(item->Action())) : -1;
}

QAccessibleInterface* CMenuAccessible::childAt(int x, int y) const
{
    if (!Menu())
        return nullptr;
    QAction* action = Menu()->actionAt(Menu()->mapFromGlobal(QPoint(x, y)));
    return action ? child(static_cast<int>(Menu()->actions().indexOf(action))) : nullptr;
}

QAccessibleInterface* CMenuAccessible::focusChild() const
{
    if (!Menu() || !Menu()->activeAction())
        return nullptr;
    return child(static_cast<int>(Menu()->actions().indexOf(Menu()->activeAction())));
}
