#include "app/qt/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kDone = "ok\n";
constexpr int kAnswerWaitMs = 5000;

} // namespace

CSingleInstance::CSingleInstance(const QString& directory, const QString& name)
    : m_lockPath(QDir(directory).absoluteFilePath(name + QStringLiteral(".lock"))),
      m_serverPath(QDir(directory).absoluteFilePath(name + QStringLiteral(".socket"))), m_lock(m_lockPath)
{
    // A live instance can run for days: only a lock whose process is gone counts as stale.
    m_lock.setStaleLockTime(0);
}

CSingleInstance::~CSingleInstance()
{
    if (m_server)
        m_server->close();
}

QString CSingleInstance::DefaultDirectory()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

CSingleInstance::Claim CSingleInstance::TryClaim()
{
    QDir().mkpath(QFileInfo(m_lockPath).absolutePath());
    if (m_lock.tryLock(0))
        return Claim::First;
    if (m_lock.error() != QLockFile::LockFailedError)
        return Claim::NoLock;
    return AskOtherToRaise() ? Claim::OtherRaised : Claim::OtherSilent;
}

bool CSingleInstance::AskOtherToRaise()
{
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(kAnswerWaitMs))
        return false;
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(kAnswerWaitMs))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n')) {
        if (!socket.waitForReadyRead(kAnswerWaitMs))
            return false;
        answer += socket.readAll();
    }
    return answer == kDone;
}

bool CSingleInstance::Listen()
{
    if (m_server)
        return true;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left here belongs to a dead instance.
    QLocalServer::removeServer(m_serverPath);
    if (!server->listen(m_serverPath))
        return false;
    connect(server.get(), &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    m_server = std::move(server);
    return true;
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            if (line == kRaise)
                emit raiseRequested();
            socket->write(kDone);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}
