#include "ui/controls/ControlsAccessible.h"

#include <QAccessibleWidget>

#include "ui/controls/BannerCtrl.h"
#include "ui/controls/BannerLabelCtrl.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListAccessible.h"
#include "ui/controls/FolderListCtrl.h"
#include "ui/controls/LinkLabel.h"

namespace {

class CCaptionAccessible final : public QAccessibleWidget
{
public:
    explicit CCaptionAccessible(CFolderCaptionBar* bar) : QAccessibleWidget(bar, QAccessible::Heading) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<CFolderCaptionBar*>(widget())->GetText();
        return QAccessibleWidget::text(t);
    }
};

// A control that opens an address: its name, description, state and the one "press".
class CLinkAccessibleBase : public QAccessibleWidget
{
public:
    explicit CLinkAccessibleBase(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Link) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        s.traversed = Visited();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return Name();
        case QAccessible::Description:
            return Description();
        case QAccessible::Value:
            return Address();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    QStringList keyBindingsForAction(const QString& action) const override
    {
        return action == pressAction() ? QStringList{PressKey()} : QStringList{};
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            Press();
        else
            QAccessibleWidget::doAction(action);
    }

protected:
    virtual QString Name() const = 0;
    virtual QString Description() const = 0;
    virtual QString Address() const = 0;
    virtual bool Visited() const { return false; }
    virtual QString PressKey() const { return QStringLiteral("Enter"); }
    virtual void Press() = 0;
};

class CLinkLabelAccessible final : public CLinkAccessibleBase
{
public:
    explicit CLinkLabelAccessible(CLinkLabel* link) : CLinkAccessibleBase(link) {}

private:
    CLinkLabel* Link() const { return static_cast<CLinkLabel*>(widget()); }
    QString Name() const override { return Link()->text(); }
    QString Description() const override { return Link()->GetAddress(); }
    QString Address() const override { return Link()->GetAddress(); }
    bool Visited() const override { return Link()->IsVisited(); }
    QString PressKey() const override { return QStringLiteral("Space"); }
    void Press() override { Link()->FollowLink(); }
};

class CBannerAccessible final : public CLinkAccessibleBase
{
public:
    explicit CBannerAccessible(CBannerCtrl* banner) : CLinkAccessibleBase(banner) {}

private:
    CBannerCtrl* Banner() const { return static_cast<CBannerCtrl*>(widget()); }
    QString Name() const override { return QStringLiteral("Reklama"); }
    QString Description() const override { return Banner()->ClickAddress(); }
    QString Address() const override { return Banner()->ClickAddress(); }
    void Press() override { Banner()->Open(); }
};

class CBannerLabelAccessible final : public CLinkAccessibleBase
{
public:
    explicit CBannerLabelAccessible(CBannerLabelCtrl* label) : CLinkAccessibleBase(label) {}

private:
    CBannerLabelCtrl* Label() const { return static_cast<CBannerLabelCtrl*>(widget()); }
    QString Name() const override { return Label()->GetAddress(); }
    QString Description() const override { return QStringLiteral("Reklama"); }
    QString Address() const override { return Label()->GetAddress(); }
    void Press() override { Label()->Open(); }
};

QAccessibleInterface* MakeInterface(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("CFolderListCtrl"))
        return new CFolderListAccessible(static_cast<CFolderListCtrl*>(widget));
    if (className == QLatin1String("CFolderCaptionBar"))
        return new CCaptionAccessible(static_cast<CFolderCaptionBar*>(widget));
    if (className == QLatin1String("CLinkLabel"))
        return new CLinkLabelAccessible(static_cast<CLinkLabel*>(widget));
    if (className == QLatin1String("CBannerCtrl"))
        return new CBannerAccessible(static_cast<CBannerCtrl*>(widget));
    if (className == QLatin1String("CBannerLabelCtrl"))
        return new CBannerLabelAccessible(static_cast<CBannerLabelCtrl*>(widget));
    return nullptr;
}

} // namespace

namespace controls_access {

namespace {

std::function<void(QAccessibleEvent&)>& Listener()
{
    static std::function<void(QAccessibleEvent&)> listener;
    return listener;
}

} // namespace

void Announce(QAccessibleEvent& event)
{
    if (Listener())
        Listener()(event);
    QAccessible::updateAccessibility(&event);
}

void SetListenerForTesting(std::function<void(QAccessibleEvent&)> listener)
{
    Listener() = std::move(listener);
}

void InstallFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(MakeInterface);
        return true;
    }();
    (void)installed;
}

} // namespace controls_access
