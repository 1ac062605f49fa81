#pragma once

#include <memory>

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// One running program per user. The first start holds a lock file and, once its window is up,
// listens on a local socket beside it; a later start finds the lock held, asks the first one over
// the socket to bring its window forward and ends. The lock records the holder's process, so a
// lock left by a killed instance is taken over instead of blocking every later start.
class CSingleInstance final : public QObject
{
    Q_OBJECT
public:
    // directory: where the lock file and the socket live (the per-user runtime directory);
    // name: the program's name, which keys both.
    CSingleInstance(const QString& directory, const QString& name);
    ~CSingleInstance() override;

    enum class Claim
    {
        First,       // this process is the one instance
        OtherRaised, // another instance runs and has brought its window forward
        OtherSilent, // another instance holds the lock but did not answer (still starting)
        NoLock       // the lock file cannot be made at all; the caller runs unguarded
    };
    Claim TryClaim();

    // Starts answering later starts; the mark that this instance's window can be raised.
    bool Listen();

    // The per-user runtime directory ($XDG_RUNTIME_DIR on Linux).
    static QString DefaultDirectory();

signals:
    void raiseRequested();

private:
    bool AskOtherToRaise();
    void OnNewConnection();

    QString m_lockPath;
    QString m_serverPath;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
