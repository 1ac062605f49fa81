#include "ui/ResizePropSheet.h"

#include <QCoreApplication>
#include <QEvent>
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
