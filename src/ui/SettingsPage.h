#pragma once

#include <QWidget>

// A page of the settings sheet. The sheet calls these as the user moves between pages and when
// the view goes; a page keeps no settings of its own, only what its controls show.
class CSettingsPage : public QWidget
{
public:
    using QWidget::QWidget;

    // The page becomes the visible one: its controls show the current settings.
    virtual void OnSetActive() = 0;
    // Another page is chosen: the controls are written back. False keeps this page visible.
    virtual bool OnKillActive() = 0;
    // The sheet goes while this page is visible: the controls are written back.
    virtual void OnDestroyPage() { OnKillActive(); }
    // The run ends while this page is visible: what can be taken is written back, nothing is
    // asked or shown.
    virtual void WriteBackQuietly() { OnKillActive(); }
};
