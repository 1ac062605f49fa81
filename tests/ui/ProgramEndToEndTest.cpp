#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "ComposeTestSupport.h"
#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "app/qt/QtSettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/SendMessageView.h"
#include "ui/Win1250Edit.h"

namespace {

bool IsChild()
{
    return !qEnvironmentVariableIsEmpty("BRIVANTEL_XVFB_CHILD");
}

void AnswerNextQuestion(QMessageBox::StandardButton answer, QStringList& asked,
                        std::function<void()> then = {})
{
    OnNextModal([answer, &asked, then](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        asked << box->text();
        if (then)
            then();
        box->button(answer)->click();
    });
}

// The program's own pieces put together as its main() does, on a real X display: a message typed
// and sent with Alt+S, one put aside with "Wyślij później", then the window closed answering the
// outbox question and the quit question; the data file written at the end holds both as sent.
TEST(ProgramUnderXvfb, SendsThroughTheWindowAndKeepsItInTheDataFile)
{
    if (!IsChild()) {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        ASSERT_FALSE(xvfb.isEmpty()) << "xvfb-run is missing: install the Debian package xvfb";
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BRIVANTEL_XVFB_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(xvfb, {QStringLiteral("-a"), QCoreApplication::applicationFilePath(),
                           QStringLiteral("--gtest_filter=ProgramUnderXvfb.*")});
        ASSERT_TRUE(child.waitForFinished(240000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
        return;
    }
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    CGatewaySimulator sim;
    ASSERT_TRUE(sim.Start());
    QTemporaryDir data;
    QTemporaryDir run;
    CQtSettingsStore settings;
    for (const char* name : {"Era", "Idea", "Plus"})
        settings.SetString("Hosts", name, sim.HostValue());
    settings.SetString("Settings", "Sign", "Ola");

    CQtUserInterface ui;
    CBrivantelFrame* frame = nullptr;
    {
        CBrivantelApp app(ui, settings);
        CBrivantelApp::Options options;
        options.dataDirectory = data.path();
        options.instanceDirectory = run.path();
        options.programName = QStringLiteral("brivantel-e2e");
        const auto started =
            app.InitInstance(options, [&ui, &settings, &frame](CBrivantelApp& self, CBrivantelDoc& doc) {
                auto made = std::make_unique<CBrivantelFrame>(doc, settings, &self);
                ui.SetOwner(made.get());
                frame = made.get();
                return made;
            });
        ASSERT_EQ(started, CBrivantelApp::Start::Running);
        CBrivantelDoc& doc = *app.GetDocument();
        auto entry = std::make_unique<CAddress>();
        entry->SetDisplayName("Ewa");
        entry->SetCountryPrefix("+48");
        entry->SetOperatorCode("602");
        entry->SetSubscriberNumber("555666");
        ASSERT_TRUE(doc.GetAddressBook().AddAddress(entry));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));

        auto* view = dynamic_cast<CSendMessageView*>(frame->GetActiveView());
        ASSERT_NE(view, nullptr);
        TypeText(&view->GetRecipientsEdit(), QStringLiteral("Ewa"));
        TypeText(&view->GetTextEdit(), QStringLiteral("Będę o ósmej"));
        QTest::keyClick(&view->GetTextEdit(), Qt::Key_S, Qt::AltModifier);
        ASSERT_EQ(sim.MessageCount(), 1u);
        EXPECT_EQ(sim.Messages()[0].sender, "Ola");

        view->GetTextEdit().clear();
        TypeText(&view->GetTextEdit(), QStringLiteral("Na później"));
        TriggerEnabled(frame->Action(CommandId::SendLater));
        ASSERT_EQ(doc.GetOutbox().GetCount(), 1u);

        QStringList asked;
        AnswerNextQuestion(QMessageBox::Yes, asked,
                           [&asked] { AnswerNextQuestion(QMessageBox::Yes, asked); });
        frame->close();
        ASSERT_EQ(asked.size(), 2);
        EXPECT_TRUE(asked[0].startsWith(QStringLiteral("W folderze \"Wysyłane wiadomości\"")));
        EXPECT_EQ(asked[1], QStringLiteral("Czy na pewno chcesz zakończyć pracę z programem?"));
        EXPECT_EQ(sim.MessageCount(), 2u);
        ui.SetOwner(nullptr);
        app.Shutdown();
    }

    RecordingUserInterface quiet;
    CMemorySettingsStore memory;
    CBrivantelDoc saved(quiet, memory);
    ASSERT_TRUE(saved.Open(data.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                           CBrivantelDoc::Access::ReadOnly));
    ASSERT_EQ(saved.GetSent().GetCount(), 2u);
    EXPECT_EQ(saved.GetSent().GetMessages()[0]->GetRecipients(), "Ewa");
    EXPECT_EQ(saved.GetSent().GetMessages()[0]->GetText(), windows1250::FromUtf8Lossy("Będę o ósmej"));
    EXPECT_EQ(saved.GetSent().GetMessages()[1]->GetText(), windows1250::FromUtf8Lossy("Na później"));
    EXPECT_EQ(saved.GetOutbox().GetCount(), 0u);
    // "Wyślij później" emptied the view, and the view handed that to the document.
    EXPECT_EQ(saved.GetSendMessageViewData().text, "");
    EXPECT_EQ(saved.GetSendMessageViewData().recipients, "");
}

} // namespace
