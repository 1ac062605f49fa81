#pragma once

#include <QMainWindow>

#include "ui/WindowPlacement.h"

class CSettingsStore;

// A main window that keeps its placement in "Settings"/"WindowPos": saved at every close request,
// put back when the window is made.
class CFrameWndEx : public QMainWindow
{
    Q_OBJECT
public:
    CFrameWndEx(CSettingsStore& settings, QWidget* parent = nullptr);

    CWindowPlacement CurrentPlacement() const;
    void SavePlacement();
    // Applies a valid saved placement; false when there is none (the window stays where it is).
    // The window is fitted to the screen it lands on (see FitToScreen).
    bool RestorePlacement();

    // A window rectangle (without its frame) made usable on a screen's available area: shrunk to
    // fit it with a title bar of the given height above, then, unless its title bar and at least a
    // third of it are on the screen already, moved wholly onto it.
    static QRect FitToScreen(QRect rect, const QRect& available, int titleBar, QSize minimum);
    static constexpr int kMinimumTitleBar = 24;
    int TitleBarAllowance() const;

protected:
    CSettingsStore& Settings() { return m_settings; }

private:
    CSettingsStore& m_settings;
};
