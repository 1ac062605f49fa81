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

// Saves what the widget shows as <name>.png in the build's screenshot folder, to be looked at.
inline bool SaveScreenshot(QWidget& widget, const QString& name)
{
    const QDir dir(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR));
    dir.mkpath(QStringLiteral("."));
    return widget.grab().save(dir.filePath(name + QStringLiteral(".png")));
}
