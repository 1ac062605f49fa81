// The program as a screen reader sees it: started on a private X display and a private session bus
// with its own accessibility bus (at-spi-bus-launcher), and read from outside over AT-SPI.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <set>

namespace {

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

struct Node
{
    QString service;
    QString path;
};

struct Published
{
    QString role;
    QString name;
};

// A process in a process group of its own, so that it ends with everything it started.
class CGroupProcess
{
public:
    CGroupProcess()
    {
        m_process.setChildProcessModifier([] { setsid(); });
    }
    ~CGroupProcess() { Stop(); }
    QProcess& operator*() { return m_process; }
    QProcess* operator->() { return &m_process; }
    void Stop()
    {
        const qint64 pid = m_process.processId();
        if (pid <= 0 || m_process.state() == QProcess::NotRunning)
            return;
        ::kill(-static_cast<pid_t>(pid), SIGTERM);
        if (!m_process.waitForFinished(5000)) {
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
            m_process.waitForFinished(5000);
        }
    }

private:
    QProcess m_process;
};

class AtSpiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"dbus-daemon", "xvfb-run"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                << tool << " is missing: install the Debian packages dbus and xvfb";
        ASSERT_TRUE(QFile::exists(kLauncher)) << "install the Debian package at-spi2-core";
        ASSERT_TRUE(m_root.isValid());

        // The private session bus: its address is the first line it prints.
        m_bus->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_bus->waitForStarted());
        ASSERT_TRUE(m_bus->waitForReadyRead(10000));
        m_address = QString::fromUtf8(m_bus->readLine()).trimmed();
        ASSERT_FALSE(m_address.isEmpty());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Dir("run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Dir("config"));
        env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        m_launcher->setProcessEnvironment(env);
        m_launcher->start(kLauncher, {QStringLiteral("--launch-immediately")});
        ASSERT_TRUE(m_launcher->waitForStarted());

        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.remove(QStringLiteral("BRIVANTEL_XVFB_CHILD"));
        m_program->setProcessEnvironment(env);
        m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program->start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral(BRIVANTEL_EXE),
                                                      QStringLiteral("--data-dir"), Dir("data")});
        ASSERT_TRUE(m_program->waitForStarted());
    }
    void TearDown() override
    {
        m_program.Stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("atspi-a11y"));
        QDBusConnection::disconnectFromBus(QStringLiteral("atspi-session"));
        m_launcher.Stop();
        m_bus.Stop();
    }
    QString Dir(const char* name)
    {
        const QString path = m_root.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

    // The accessibility bus, as a screen reader finds it: through the session bus.
    bool ConnectToAccessibilityBus()
    {
        QDBusConnection session = QDBusConnection::connectToBus(m_address, QStringLiteral("atspi-session"));
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            const QDBusMessage reply = session.call(QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                m_a11y = QDBusConnection::connectToBus(reply.arguments().at(0).toString(),
                                                       QStringLiteral("atspi-a11y"));
                return m_a11y.isConnected();
            }
            QThread::msleep(200);
        }
        return false;
    }
    std::vector<Node> Children(const Node& node)
    {
        std::vector<Node> children;
        const QDBusMessage reply = m_a11y.call(QDBusMessage::createMethodCall(
            node.service, node.path, kAccessible, QStringLiteral("GetChildren")));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return children;
        const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            QString service;
            QDBusObjectPath path;
            arg.beginStructure();
            arg >> service >> path;
            arg.endStructure();
            children.push_back({service, path.path()});
        }
        arg.endArray();
        return children;
    }
    QString Name(const Node& node)
    {
        auto call = QDBusMessage::createMethodCall(node.service, node.path,
                                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("Get"));
        call << kAccessible << QStringLiteral("Name");
        const QDBusMessage reply = m_a11y.call(call);
        return reply.arguments().isEmpty()
                   ? QString()
                   : reply.arguments().at(0).value<QDBusVariant>().variant().toString();
    }
    QString Role(const Node& node)
    {
        const QDBusMessage reply = m_a11y.call(QDBusMessage::createMethodCall(
            node.service, node.path, kAccessible, QStringLiteral("GetRoleName")));
        return reply.arguments().isEmpty() ? QString() : reply.arguments().at(0).toString();
    }
    // The program's application object among the registry's children, once it has registered.
    std::optional<Node> FindProgram()
    {
        const Node root{QStringLiteral("org.a11y.atspi.Registry"),
                        QStringLiteral("/org/a11y/atspi/accessible/root")};
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            for (const Node& app : Children(root)) {
                if (Name(app) == QStringLiteral("Brivantel") && !Children(app).empty())
                    return app;
            }
            QThread::msleep(300);
        }
        return std::nullopt;
    }
    void Walk(const Node& node, std::vector<Published>& out, std::set<QString>& seen, int depth = 0)
    {
        if (depth > 30 || out.size() > 5000 || !seen.insert(node.service + node.path).second)
            return;
        out.push_back({Role(node), Name(node)});
        for (const Node& child : Children(node))
            Walk(child, out, seen, depth + 1);
    }

    const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
    QTemporaryDir m_root;
    CGroupProcess m_bus;
    CGroupProcess m_launcher;
    CGroupProcess m_program;
    QString m_address;
    QDBusConnection m_a11y{QStringLiteral("none")};
};

bool Has(const std::vector<Published>& all, const QString& role, const QString& name)
{
    return std::any_of(all.begin(), all.end(),
                       [&](const Published& p) { return p.role == role && p.name == name; });
}

TEST_F(AtSpiTest, MainWindowPublishesItsControlsByNameAndRoleWithoutTabs)
{
    ASSERT_TRUE(ConnectToAccessibilityBus());
    const std::optional<Node> program = FindProgram();
    ASSERT_TRUE(program) << "the program never registered on the accessibility bus";
    // The window may still be building its tree when the program first registers.
    std::vector<Published> all;
    const QDeadlineTimer deadline(15000);
    do {
        all.clear();
        std::set<QString> seen;
        Walk(*program, all, seen);
    } while (!Has(all, QStringLiteral("heading"), QStringLiteral("Wyślij wiadomość")) &&
             !deadline.hasExpired());
    EXPECT_GT(all.size(), 120u);

    for (const char* name : {"Wiadomości", "Książka adresowa", "Usługi", "Narzędzia", "Wyślij wiadomość",
                             "Wiadomości wysyłane", "Wiadomości wysłane", "Wiadomości usunięte",
                             "Wiadomości robocze", "Podstawowa", "Sprawdzanie poczty e-mail", "Ustawienia"})
        EXPECT_TRUE(Has(all, QStringLiteral("tree item"), QString::fromUtf8(name))) << name;
    EXPECT_TRUE(Has(all, QStringLiteral("tree"), QString()));
    EXPECT_TRUE(Has(all, QStringLiteral("heading"), QStringLiteral("Wyślij wiadomość")));
    EXPECT_TRUE(Has(all, QStringLiteral("link"), QStringLiteral("Reklama")));
    // The strip beside the banner: a link named by the address it opens.
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const Published& p) {
        return p.role == QStringLiteral("link") && p.name.startsWith(QStringLiteral("http"));
    }));
    for (const Published& p : all)
        EXPECT_FALSE(p.name.contains(QLatin1Char('\t')))
            << p.role.toStdString() << ": " << p.name.toStdString();
    if (HasFailure()) {
        for (const Published& p : all)
            fprintf(stderr, "%s: %s\n", qPrintable(p.role), qPrintable(p.name));
    }
}

} // namespace
