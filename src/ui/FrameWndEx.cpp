#include "ui/FrameWndEx.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <algorithm>

#include "app/SettingsKeys.h"

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
    m_settings.Set(settings_keys::kWindowPlacement, CurrentPlacement().Format());
}

QRect CFrameWndEx::FitToScreen(QRect rect, const QRect& available, int titleBar, QSize minimum)
{
    // Shrink to what the screen holds, title bar included, but never below the window's minimum.
    const QSize room(available.width(), std::max(1, available.height() - titleBar));
    rect.setSize(rect.size().boundedTo(room).expandedTo(minimum));

    // The title bar, which lies above the rectangle, must be on the screen with at least a third
    // of its width, so the window can be taken and moved; and at least a third of the window must
    // show. Otherwise the window comes wholly onto the screen, as near to its place as it can.
    const QRect window = rect.adjusted(0, -titleBar, 0, 0);
    const QRect titleStrip(window.left(), window.top(), window.width(), titleBar);
    const QRect titleShown = titleStrip.intersected(available);
    const bool titleReachable = titleStrip.top() >= available.top() &&
                                titleStrip.bottom() <= available.bottom() &&
                                titleShown.width() * 3 >= titleStrip.width();
    const QRect shown = window.intersected(available);
    const qint64 shownArea = qint64(shown.width()) * shown.height();
    const qint64 area = qint64(window.width()) * window.height();
    if (titleReachable && shownArea * 3 >= area)
        return rect;
    const int left = std::clamp(rect.left(), available.left(),
                                std::max(available.left(), available.right() + 1 - rect.width()));
    const int top = std::clamp(rect.top(), available.top() + titleBar,
                               std::max(available.top() + titleBar, available.bottom() + 1 - rect.height()));
    rect.moveTopLeft(QPoint(left, top));
    return rect;
}

bool CFrameWndEx::RestorePlacement()
{
    const auto placement = CWindowPlacement::Parse(m_settings.Get(settings_keys::kWindowPlacement));
    if (!placement)
        return false;
    // 64-bit sums: a damaged value may hold any numbers.
    const qint64 width = qint64(placement->right) - placement->left;
    const qint64 height = qint64(placement->bottom) - placement->top;
    const auto clampSize = [](qint64 v) { return static_cast<int>(std::clamp<qint64>(v, 0, 1 << 20)); };
    const auto clampPlace = [](int v) { return std::clamp(v, -(1 << 24), 1 << 24); };
    QRect rect(clampPlace(placement->left), clampPlace(placement->top), clampSize(width), clampSize(height));
    // The stored show command is replaced by the one the program starts with (normal), so only
    // the normal rectangle counts. It goes onto the screen that holds most of it; a rectangle on a
    // screen that is gone lands on the primary one.
    const QScreen* target = nullptr;
    qint64 best = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (!common.isEmpty() && area > best) {
            best = area;
            target = screen;
        }
    }
    if (!target) {
        target = QGuiApplication::primaryScreen();
        if (target)
            rect.moveTopLeft(target->availableGeometry().topLeft());
    }
    if (target)
        rect = FitToScreen(rect, target->availableGeometry(), TitleBarAllowance(), minimumSize());
    else
        rect.setSize(rect.size().expandedTo(minimumSize()));
    setGeometry(rect);
    return true;
}

int CFrameWndEx::TitleBarAllowance() const
{
    // The window manager's frame is not known before the window is shown; a title bar is at least
    // this tall on the desktops we run on.
    return std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), kMinimumTitleBar);
}
