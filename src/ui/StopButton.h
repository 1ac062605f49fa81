#pragma once

#include <QMetaObject>
#include <QPointer>

class QAbstractButton;

// The one button a waiting operation still answers ("Przerwij" on a send's progress, "Anuluj"
// of the own gateway's test). While a CStopButton lives, a click on its button raises the user's
// stop request (net/StopRequest.h), and the wait hook lets input reach that button and nothing
// else: every other window stays as blocked as during any wait.
class CStopButton final
{
public:
    explicit CStopButton(QAbstractButton* button);
    ~CStopButton();
    CStopButton(const CStopButton&) = delete;
    CStopButton& operator=(const CStopButton&) = delete;

    // The newest live stop button that can still be pressed, or null.
    static QAbstractButton* Current();
    // One round of the wait hook when a stop button is up: repaints, and input for that button
    // only. False (and nothing done) when there is none.
    static bool ServeEvents();

private:
    QPointer<QAbstractButton> m_button;
    QMetaObject::Connection m_clicked;
};
