#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) turned into an orderly end.
// The handler does nothing but ask every socket and serial-port wait to stop and write the
// signal's number into a pipe; the event loop reads the pipe and emits `received`, outside the
// handler and outside any wait hook (the hook serves no socket notifiers).
class CSignalPipe final : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; false when the pipe cannot be made (the signals then keep their
    // default action).
    static bool Install();
    // The number of the first signal that came, or 0.
    static int Received();

    // Watches the pipe from the current thread's event loop; Install() must have succeeded.
    explicit CSignalPipe(QObject* parent = nullptr);
    ~CSignalPipe() override;

signals:
    void received(int signal);

private:
    void OnReadable();

    QSocketNotifier* m_notifier = nullptr;
};
