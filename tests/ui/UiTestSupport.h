#pragma once

#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

// Runs `act` on the next modal window that opens (a message box or dialog started by the code
// under test) once the event loop has it on screen. A window that has not opened within the
// deadline fails the test rather than leaving the helper waiting for ever.
inline void OnNextModal(std::function<void(QWidget*)> act,
                        std::chrono::milliseconds deadline = std::chrono::seconds(5))
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll, until = QDeadlineTimer(deadline)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            act(modal);
        } else if (until.hasExpired()) {
            ADD_FAILURE() << "no modal window opened in time";
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
}

// Runs a command the way the user does: through its action, which must be enabled.
inline void TriggerEnabled(QAction* action)
{
    ASSERT_NE(action, nullptr);
    ASSERT_TRUE(action->isEnabled()) << action->text().toStdString();
    action->trigger();
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
