#include "ui/FrameWndEx.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/SettingsStore.h"

namespace {

const std::string kSection = "Settings";
const std::string kValue = "WindowPos";

} // namespace

CFrameWndEx::CFrameWndEx(CSettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings)
{
}

CWindowPlacement CFrameWndEx::CurrentPlacement() const
{
    CWindowPlacement p;
    const QRect normal =
        (isMaximized() || isMinimized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    if (isMaximized()) {
        p.flags |= CWindowPlacement::kRestoreToMaximized;
        p.showCommand = CWindowPlacement::kShowMaximized;
    } else if (isMinimized()) {
        p.showCommand = CWindowPlacement::kShowMinimized;
    }
    return p;
}

void CFrameWndEx::SavePlacement()
{
    m_settings.SetString(kSection, kValue, CurrentPlacement().Format());
}

bool CFrameWndEx::RestorePlacement()
{
    const auto placement = CWindowPlacement::Parse(m_settings.GetString(kSection, kValue));
    if (!placement)
        return false;
    QRect rect(placement->left, placement->top, placement->right - placement->left,
               placement->bottom - placement->top);
    rect.setSize(rect.size().expandedTo(minimumSize()));
    // The stored show command is replaced by the one the program starts with (normal), so only
    // the normal rectangle counts. A rectangle on a screen that is gone would leave the window
    // out of reach: it is brought back onto the primary screen.
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(rect);
    if (!visible) {
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            rect.moveTopLeft(primary->availableGeometry().topLeft());
    }
    setGeometry(rect);
    return true;
}
