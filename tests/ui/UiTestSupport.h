#pragma once

#include <functional>

#include <QApplication>
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
