#pragma once

#include <functional>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

// Runs `act` on the next modal window that opens (a message box or dialog started by the code
// under test) once the event loop has it on screen.
inline void OnNextModal(std::function<void(QWidget*)> act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(10, *poll);
            return;
        }
        act(modal);
    };
    QTimer::singleShot(0, *poll);
}

// Saves what the widget shows as <name>.png in the build's screenshot folder, to be looked at; on a
// scaled screen (QT_SCALE_FACTOR) the name ends in "-x" and the scale, and the picture holds the
// screen's own pixels.
inline bool SaveScreenshot(QWidget& widget, const QString& name)
{
    const QDir dir(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR));
    dir.mkpath(QStringLiteral("."));
    const qreal scale = widget.devicePixelRatioF();
    const QString suffix = scale > 1.0 ? QStringLiteral("-x%1").arg(scale) : QString();
    return widget.grab().save(dir.filePath(name + suffix + QStringLiteral(".png")));
}
