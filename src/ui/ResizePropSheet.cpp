#include "ui/ResizePropSheet.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTabBar>

CResizePropSheet::CResizePropSheet(QWidget* parent) : QTabWidget(parent)
{
    if (parent)
        parent->installEventFilter(this);
    // A tab change first takes the focus, so the page that goes can finish its edits.
    connect(tabBar(), &QTabBar::tabBarClicked, this, [this] { setFocus(Qt::TabFocusReason); });
}

void CResizePropSheet::FitToParent()
{
    QWidget* parent = parentWidget();
    if (!parent) {
        QMessageBox::warning(nullptr, QCoreApplication::applicationName(),
                             QStringLiteral("Cannot resize property sheet. Sheet has no parent"));
        return;
    }
    resize(parent->contentsRect().size());
}

bool CResizePropSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        FitToParent();
    return QTabWidget::eventFilter(watched, event);
}

void CResizePropSheet::showEvent(QShowEvent* event)
{
    QTabWidget::showEvent(event);
    if (!m_fitted) {
        m_fitted = true;
        FitToParent();
    }
}

void CResizePropSheet::keyPressEvent(QKeyEvent* event)
{
    // A tab change by keyboard (Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageUp, Ctrl+PageDown) takes the
    // focus first as a click on a tab does, so the page that goes finishes its edits while it is
    // still the current one.
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int key = event->key();
    if (ctrl &&
        (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_PageUp || key == Qt::Key_PageDown))
        setFocus(Qt::TabFocusReason);
    QTabWidget::keyPressEvent(event);
}
