#pragma once

#include <QTabWidget>

// A tabbed sheet that lives inside a view and always fills it: the address book and the settings
// views embed sheets made from it.
class CResizePropSheet : public QTabWidget
{
    Q_OBJECT
public:
    explicit CResizePropSheet(QWidget* parent);

    // Stretches the sheet (and with it its tabs and visible page) to the parent's client area.
    // Without a parent it says so and keeps its size.
    void FitToParent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_fitted = false;
};
