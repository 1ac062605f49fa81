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
    bool RestorePlacement();

protected:
    CSettingsStore& Settings() { return m_settings; }

private:
    CSettingsStore& m_settings;
};
