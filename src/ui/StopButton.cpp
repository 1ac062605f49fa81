#include "ui/StopButton.h"

#include <algorithm>
#include <vector>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QWindow>

#include "net/StopRequest.h"

namespace {

std::vector<CStopButton*>& Live()
{
    static std::vector<CStopButton*> live;
    return live;
}

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
        return true;
    default:
        return false;
    }
}

// Drops input for anything but the stop button (and the window that hands it on): a click
// elsewhere during the wait could start a second send or destroy the view that is sending.
class CInputGate final : public QObject
{
public:
    explicit CInputGate(QAbstractButton* button) : m_button(button)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CInputGate() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!IsInput(event->type()) || !m_button)
            return false;
        if (watched == m_button)
            return event->type() == QEvent::Shortcut; // a click or a key on the button itself
        const QWidget* window = m_button->window();
        if (window && watched == window->windowHandle())
            return event->type() == QEvent::Shortcut;
        return true;
    }

private:
    QPointer<QAbstractButton> m_button;
};

} // namespace

CStopButton::CStopButton(QAbstractButton* button) : m_button(button)
{
    m_clicked = QObject::connect(button, &QAbstractButton::clicked, button, [button] {
        net_stop::RequestByUser();
        // Once is enough: the wait ends at its next slice.
        button->setEnabled(false);
    });
    Live().push_back(this);
}

CStopButton::~CStopButton()
{
    QObject::disconnect(m_clicked);
    auto& live = Live();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

QAbstractButton* CStopButton::Current()
{
    const auto& live = Live();
    if (live.empty())
        return nullptr;
    QAbstractButton* button = live.back()->m_button;
    return button && button->isVisible() && button->isEnabled() ? button : nullptr;
}

bool CStopButton::ServeEvents()
{
    QAbstractButton* button = Current();
    if (!button)
        return false;
    const CInputGate gate(button);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    return true;
}
