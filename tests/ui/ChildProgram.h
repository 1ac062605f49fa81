#pragma once

// This test program again, running one test as the program under test: it reports kReady on its
// output once the window has done what the test asked, then runs until it is stopped.

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"

inline const char* const kChildVariable = "BRIVANTEL_TEST_CHILD";
inline const char* const kDirVariable = "BRIVANTEL_TEST_DIR";
inline const char* const kReady = "child-ready";

inline bool IsChild(const char* role)
{
    return qEnvironmentVariable(kChildVariable) == QLatin1String(role);
}

[[noreturn]] inline void ReportReadyAndRunOn()
{
    std::cout << kReady << std::endl;
    for (;;)
        QTest::qWait(100);
}

class ChildProgram
{
public:
    using Variables = std::vector<std::pair<QString, QString>>;

    ChildProgram(const char* role, const QString& test, const QString& dir, bool checkedMemory = false,
                 const Variables& more = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // glibc's checking allocator: a free of memory that was never allocated (a dialog on the
        // stack deleted through its parent) ends the child at once instead of passing unnoticed.
        const QString debugMalloc = QStringLiteral("/lib/x86_64-linux-gnu/libc_malloc_debug.so.0");
        if (checkedMemory && QFile::exists(debugMalloc)) {
            env.insert(QStringLiteral("LD_PRELOAD"), debugMalloc);
            env.insert(QStringLiteral("GLIBC_TUNABLES"), QStringLiteral("glibc.malloc.check=3"));
        }
        env.insert(QString::fromLatin1(kChildVariable), QString::fromLatin1(role));
        env.insert(QString::fromLatin1(kDirVariable), dir);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const auto& [name, value] : more)
            env.insert(name, value);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
    }
    ~ChildProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    bool WaitReady()
    {
        while (!m_output.contains(kReady)) {
            if (!m_process.waitForReadyRead(60000))
                return false;
            m_output += m_process.readAll();
        }
        return true;
    }
    QProcess& Process() { return m_process; }
    // Once the child is ready (and settleMs later), sends it SIGTERM: it must end by itself within
    // waitMs, as a terminated program does (exit code 128 + SIGTERM).
    ::testing::AssertionResult EndsOnTerminate(int settleMs = 0, int waitMs = 20000)
    {
        if (!WaitReady())
            return ::testing::AssertionFailure() << "never ready: " << Output();
        if (settleMs > 0)
            QTest::qWait(settleMs);
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(waitMs))
            return ::testing::AssertionFailure() << "still running: " << Output();
        if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 128 + SIGTERM)
            return ::testing::AssertionFailure() << "ended with " << m_process.exitCode() << ": " << Output();
        return ::testing::AssertionSuccess();
    }
    std::string Output()
    {
        m_output += m_process.readAll();
        return m_output.toStdString();
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

// The data file a child program left in dir, opened to look at.
struct SavedFile
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
    explicit SavedFile(const QString& dir)
    {
        EXPECT_TRUE(doc.Open(QDir(dir).filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                             CBrivantelDoc::Access::ReadOnly));
    }
};

// The program's pieces put together as main() does, on the data directory the test gave.
template <class SettingsStore> struct ProgramUnderTest
{
    RecordingUserInterface ui;
    SettingsStore settings;
    QTemporaryDir run;
    std::unique_ptr<CBrivantelApp> app;
    CBrivantelFrame* frame = nullptr;
    // Runs on the opened document before the window is made.
    std::function<void(CBrivantelDoc&)> prepare;

    bool Start(const QString& dataDir, bool endOnSignals = true)
    {
        app = std::make_unique<CBrivantelApp>(ui, settings);
        CBrivantelApp::Options options;
        options.dataDirectory = dataDir;
        options.instanceDirectory = run.path();
        options.programName = QStringLiteral("brivantel-ui-test");
        options.endOnSignals = endOnSignals;
        const auto started = app->InitInstance(options, [this](CBrivantelApp& self, CBrivantelDoc& doc) {
            if (prepare)
                prepare(doc);
            auto made = std::make_unique<CBrivantelFrame>(doc, settings, &self);
            frame = made.get();
            return made;
        });
        return started == CBrivantelApp::Start::Running && QTest::qWaitForWindowExposed(frame);
    }
};
