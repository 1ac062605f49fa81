#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <algorithm>

#include "ComposeTestSupport.h"
#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "send/SendTestSupport.h"
#include "store/Windows1250.h"
#include "ui/BrivantelFrame.h"
#include "ui/CheckRecipientsDialog.h"
#include "ui/Commands.h"
#include "ui/DefinedMessagesDialog.h"
#include "ui/EditDefinedMessageDialog.h"
#include "ui/MessageListModel.h"
#include "ui/OutboxView.h"
#include "ui/SelectRecipientsDialog.h"
#include "ui/SendFailedDlg.h"
#include "ui/SendMessageView.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

using Strings = std::vector<std::string>;

class ComposeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            m_settings.SetString("Hosts", name, m_sim.HostValue());
        GatewayTimeouts t;
        t.socket.connect = std::chrono::milliseconds(2000);
        t.socket.read = std::chrono::milliseconds(2000);
        t.socket.write = std::chrono::milliseconds(2000);
        t.exchange = std::chrono::milliseconds(8000);
        m_doc.GetSender().SetTimeouts(t);
        m_doc.SetSignature("Jan");
        ASSERT_TRUE(AddPerson(m_doc.GetAddressBook(), "Anna", "502", "111222"));
        ASSERT_TRUE(AddPerson(m_doc.GetAddressBook(), "Jan", "601", "333444"));
    }
    CBrivantelFrame& Frame()
    {
        if (!m_frame) {
            m_frame = std::make_unique<CBrivantelFrame>(m_doc, m_settings);
            m_frame->SetMailStep([] {});
            m_ui.real.SetOwner(m_frame.get());
        }
        return *m_frame;
    }
    CSendMessageView& View()
    {
        auto* view = dynamic_cast<CSendMessageView*>(Frame().GetActiveView());
        EXPECT_NE(view, nullptr);
        return *view;
    }
    void ShowFrame()
    {
        Frame().show();
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    }
    bool Enabled(CommandId command) { return Frame().Action(command)->isEnabled(); }
    void Type(QWidget& edit, const QString& text)
    {
        edit.setFocus();
        TypeText(&edit, text);
    }
    void Paste(QWidget& edit, const QString& text)
    {
        QApplication::clipboard()->setText(text);
        edit.setFocus();
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    }

    CGatewaySimulator m_sim;
    WatchingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CBrivantelFrame> m_frame;
};

// Picks entries in the recipient chooser and ends it with OK.
void ChooseInDialog(const std::vector<std::string>& names, CBrivantelDoc& doc)
{
    OnNextModal([names, &doc](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectRecipientsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* model = static_cast<CAddressModel*>(dialog->GetAddressList().GetModel());
        for (const auto& name : names) {
            dialog->GetAddressList().SelectRow(model->RowOf(doc.GetAddressBook().FindByDisplayName(name)));
            dialog->GetAddButton().click();
        }
        dialog->accept();
    });
}

TEST_F(ComposeTest, TypeChooseTwoAndSendWithAltS)
{
    ShowFrame();
    CSendMessageView& view = View();
    Type(view.GetTextEdit(), QStringLiteral("Dzień dobry, świecie"));
    ChooseInDialog({"Jan", "Anna"}, m_doc);
    QTest::mouseClick(&view.GetToButton(), Qt::LeftButton);
    // The chooser lists Anna above Jan; the names are written from the last one to the first.
    EXPECT_EQ(view.GetRecipientsEdit().text(), QStringLiteral("Jan;Anna"));
    ASSERT_EQ(view.GetEntries().size(), 2u);

    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    view.GetTextEdit().setFocus();
    QTest::keyClick(&view.GetTextEdit(), Qt::Key_S, Qt::AltModifier);

    EXPECT_EQ(m_ui.progressTitles, (std::vector<QString>{QStringLiteral("Wysyłanie wiadomości")}));
    EXPECT_EQ(m_ui.progressTexts, (std::vector<QString>{QStringLiteral("Wysyłanie wiadomości 1 z 2."),
                                                        QStringLiteral("Wysyłanie wiadomości 2 z 2.")}));
    EXPECT_EQ(m_ui.real.GetProgress(), nullptr);
    const auto sent = m_sim.Messages();
    ASSERT_EQ(sent.size(), 2u);
    // Jan first, as the recipients text names him first.
    EXPECT_EQ(sent[0].number.substr(sent[0].number.size() - 6), "333444");
    EXPECT_EQ(sent[1].number.substr(sent[1].number.size() - 6), "111222");
    EXPECT_EQ(sent[1].text, Polish("Dzień dobry, świecie"));
    EXPECT_EQ(Recipients(m_doc.GetSent()), (Strings{"Jan", "Anna"}));
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
    // Send keeps what was written.
    EXPECT_EQ(view.GetRecipientsEdit().text(), QStringLiteral("Jan;Anna"));
    EXPECT_EQ(view.GetTextEdit().toPlainText(), QStringLiteral("Dzień dobry, świecie"));
}

TEST_F(ComposeTest, AFailedLastNumberBringsTheFailureDialogAndWaitsInTheOutbox)
{
    // The gateway stops confirming once the first message is in.
    m_sim.SetLog([this](const CGatewaySimulator::Message&) {
        m_sim.SetBehaviour(CGatewaySimulator::Behaviour::NoConfirmation);
    });
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;Jan"));
    view.GetTextEdit().setPlainText(QStringLiteral("Spotkanie o 10"));
    QString recipient, text, information, title;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CSendFailedDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        recipient = dialog->GetRecipient();
        text = dialog->GetText();
        information = dialog->GetInformation();
        SaveScreenshot(*dialog, QStringLiteral("send-failed-dialog"));
        dialog->accept();
    });
    TriggerEnabled(Frame().Action(CommandId::Send));
    EXPECT_EQ(title, QStringLiteral("Wysyłanie"));
    EXPECT_EQ(recipient, QStringLiteral("Jan"));
    EXPECT_EQ(text, QStringLiteral("Spotkanie o 10"));
    EXPECT_EQ(information,
              QStringLiteral("Wiadomość została umieszczona w folderze \"Wiadomości wysyłane\" i "
                             "zostanie wysłana poźniej."));
    EXPECT_EQ(Recipients(m_doc.GetSent()), (Strings{"Anna"}));
    EXPECT_EQ(Recipients(m_doc.GetOutbox()), (Strings{"Jan"}));
    // The reason goes to the status bar and to the message's row in the outbox, not to the file.
    const QString reason = QStringLiteral("w odpowiedzi bramki nie ma potwierdzenia wysłania");
    EXPECT_EQ(Frame().statusBar()->currentMessage(), QStringLiteral("+48601333444: ") + reason);
    COutboxView outbox(m_doc, 1001);
    EXPECT_EQ(outbox.GetModel().index(0, 1).data(Qt::ToolTipRole).toString(), reason);
    const auto stored = m_doc.Store();
    const std::string inFile = Polish("bramki");
    EXPECT_EQ(std::search(stored.begin(), stored.end(), inFile.begin(), inFile.end()), stored.end());
}

TEST_F(ComposeTest, SendLaterQueuesOneMessageAndClears)
{
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;Jan"));
    view.GetTextEdit().setPlainText(QStringLiteral("Później"));
    TriggerEnabled(Frame().Action(CommandId::SendLater));
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetRecipients(), "Anna;Jan");
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetText(), Polish("Później"));
    EXPECT_TRUE(view.GetRecipientsEdit().text().isEmpty());
    EXPECT_TRUE(view.GetTextEdit().toPlainText().isEmpty());
    EXPECT_EQ(view.GetSignatureEdit().text(), QStringLiteral("Jan"));
    EXPECT_EQ(m_sim.MessageCount(), 0u);
}

TEST_F(ComposeTest, SaveTwiceKeepsOneDraftAndClearStartsANewOne)
{
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna"));
    view.GetTextEdit().setPlainText(QStringLiteral("Pierwsza"));
    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    const auto time = m_doc.GetDrafts().GetMessages()[0]->GetTime();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;Jan"));
    view.GetTextEdit().setPlainText(QStringLiteral("Druga"));
    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    ASSERT_EQ(m_doc.GetDrafts().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetDrafts().GetMessages()[0]->GetText(), "Druga");
    EXPECT_EQ(m_doc.GetDrafts().GetMessages()[0]->GetRecipients(), "Anna;Jan");
    EXPECT_EQ(m_doc.GetDrafts().GetMessages()[0]->GetTime(), time);

    TriggerEnabled(Frame().Action(CommandId::Clear));
    EXPECT_EQ(view.GetDraft(), nullptr);
    view.GetTextEdit().setPlainText(QStringLiteral("Trzecia"));
    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 2u);
}

TEST_F(ComposeTest, CommandsFollowTheTextAndRecipients)
{
    CSendMessageView& view = View();
    for (CommandId c : {CommandId::Send, CommandId::SendLater, CommandId::SaveDraft, CommandId::Clear,
                        CommandId::CheckRecipients})
        EXPECT_FALSE(Enabled(c)) << static_cast<int>(c);
    EXPECT_TRUE(Enabled(CommandId::InsertMessage));
    view.GetRecipientsEdit().setText(QStringLiteral("Anna"));
    EXPECT_TRUE(Enabled(CommandId::CheckRecipients));
    EXPECT_TRUE(Enabled(CommandId::SaveDraft));
    EXPECT_TRUE(Enabled(CommandId::Clear));
    EXPECT_FALSE(Enabled(CommandId::Send));
    EXPECT_FALSE(Enabled(CommandId::SendLater));
    view.GetTextEdit().setPlainText(QStringLiteral("x"));
    EXPECT_TRUE(Enabled(CommandId::Send));
    EXPECT_TRUE(Enabled(CommandId::SendLater));
    view.GetRecipientsEdit().clear();
    EXPECT_FALSE(Enabled(CommandId::CheckRecipients));
    EXPECT_FALSE(Enabled(CommandId::Send));
    EXPECT_TRUE(Enabled(CommandId::SaveDraft));
}

TEST_F(ComposeTest, CounterAndProgressFollowTheirRules)
{
    CSendMessageView& view = View();
    // Signature "Jan", no text: 3 + 0 + 1.
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("4-160"));
    EXPECT_EQ(view.GetProgress(), 0);
    Type(view.GetTextEdit(), QStringLiteral("abc"));
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("7-160"));
    EXPECT_EQ(view.GetProgress(), 3);
    // A line break is two characters, as in the data file.
    QTest::keyClick(&view.GetTextEdit(), Qt::Key_Return);
    EXPECT_EQ(view.GetProgress(), 5);
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("9-160"));
    EXPECT_EQ(view.GetTextEdit().GetStoredText(), "abc\r\n");

    // A new signature is the program's at once, but the counter waits for the text.
    view.GetSignatureEdit().setText(QStringLiteral("Janek"));
    EXPECT_EQ(m_doc.GetSignature(), "Janek");
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("9-160"));

    // After a ready-made text the counter shows the text alone, until the next change.
    m_doc.GetDefinedMessages().GetTexts() = {"Zadzwon", "Jestem w drodze"};
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CDefinedMessagesDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->GetList().setCurrentRow(1);
        dialog->GetInsertButton().click();
    });
    TriggerEnabled(Frame().Action(CommandId::InsertMessage));
    EXPECT_EQ(view.GetTextEdit().toPlainText(), QStringLiteral("Jestem w drodze"));
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("15-160"));
    EXPECT_EQ(view.GetProgress(), 15);
    EXPECT_TRUE(view.GetTextEdit().hasFocus() || !view.isVisible());
    Type(view.GetTextEdit(), QStringLiteral("!"));
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("22-160")); // 5 + 16 + 1
}

TEST_F(ComposeTest, TheTextTakes160CharactersAndRefusesThe161st)
{
    CSendMessageView& view = View();
    CWin1250TextEdit& edit = view.GetTextEdit();
    edit.setPlainText(QString(159, QChar(u'ż')));
    edit.moveCursor(QTextCursor::End);
    // A line break would need two places.
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.GetStoredLength(), 159);
    Type(edit, QStringLiteral("ą"));
    EXPECT_EQ(edit.GetStoredLength(), 160);
    EXPECT_EQ(view.GetProgress(), 160);
    Type(edit, QStringLiteral("b"));
    EXPECT_EQ(edit.GetStoredLength(), 160);
    EXPECT_EQ(edit.toPlainText().right(1), QStringLiteral("ą"));
    // The counter may pass 160: signature, separator and text.
    EXPECT_EQ(view.GetCounterText(), QStringLiteral("164-160"));
    // A paste is cut to what fits.
    edit.setPlainText(QString(157, QChar(u'a')));
    edit.moveCursor(QTextCursor::End);
    Paste(edit, QStringLiteral("12345"));
    EXPECT_EQ(edit.toPlainText().right(4), QStringLiteral("a123"));
    EXPECT_EQ(edit.GetStoredLength(), 160);
    // Typing over a selection makes room.
    edit.selectAll();
    Type(edit, QStringLiteral("x"));
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("x"));
}

TEST_F(ComposeTest, CharactersOutsideWindows1250AreRefusedWithANote)
{
    ShowFrame();
    CSendMessageView& view = View();
    CWin1250TextEdit& edit = view.GetTextEdit();
    Type(edit, QStringLiteral("Zażółć "));
    Type(edit, QStringLiteral("ж"));
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("Zażółć "));
    EXPECT_EQ(Frame().statusBar()->currentMessage(), win1250_edit::RefusedNote());
    Frame().statusBar()->clearMessage();
    Paste(edit, QStringLiteral("gęślą 😀jaźń"));
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("Zażółć gęślą jaźń"));
    EXPECT_EQ(Frame().statusBar()->currentMessage(), win1250_edit::RefusedNote());
    EXPECT_EQ(edit.GetStoredText(), Polish("Zażółć gęślą jaźń"));

    Frame().statusBar()->clearMessage();
    Type(view.GetRecipientsEdit(), QStringLiteral("Anna"));
    Paste(view.GetRecipientsEdit(), QStringLiteral(";Иван"));
    EXPECT_EQ(view.GetRecipientsEdit().text(), QStringLiteral("Anna"));
    EXPECT_EQ(Frame().statusBar()->currentMessage(), win1250_edit::RefusedNote());
    Type(view.GetSignatureEdit(), QStringLiteral("✓"));
    EXPECT_EQ(m_doc.GetSignature(), "Jan");
}

// The keys that put a line break or a blank into the text: Shift+Enter (where Qt would insert its
// own line separator, U+2028), Enter, Ctrl+Enter, Tab (moves on), the no-break space. What is typed
// is what is queued and kept as a draft, never an empty text.
TEST_F(ComposeTest, EveryKeyOfTheTextEditReachesTheOutboxAndTheDrafts)
{
    ShowFrame();
    CSendMessageView& view = View();
    CWin1250TextEdit& edit = view.GetTextEdit();
    Type(view.GetRecipientsEdit(), QStringLiteral("Anna"));
    Type(edit, QStringLiteral("a"));
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    TypeText(&edit, QStringLiteral("b"));
    QTest::keyClick(&edit, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    TypeText(&edit, QStringLiteral("c"));
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ControlModifier);
    TypeText(&edit, QString(QChar(0xA0)) + QStringLiteral("d"));
    QTest::keyClick(&edit, Qt::Key_Tab);
    const std::string typed = "a\r\nb\r\nc\r\n\xA0"
                              "d";
    EXPECT_EQ(edit.GetStoredText(), typed);
    EXPECT_EQ(view.GetProgress(), static_cast<int>(typed.size()));
    // A separator that came in some other way (an input method, a program) is a line break too.
    edit.moveCursor(QTextCursor::End);
    edit.insertPlainText(QString(QChar(QChar::LineSeparator)) + QChar(QChar::ParagraphSeparator) +
                         QStringLiteral("e"));
    const std::string kept = typed + "\r\n\r\ne";
    EXPECT_EQ(edit.GetStoredText(), kept);

    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    ASSERT_EQ(m_doc.GetDrafts().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetDrafts().GetMessages()[0]->GetText(), kept);
    TriggerEnabled(Frame().Action(CommandId::SendLater));
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetText(), kept);
}

// A character that still cannot be kept (it came past the edit's filter) stops every command with
// a reason that names it; the text stays in the edit, nothing is queued, filed or sent.
TEST_F(ComposeTest, ATextThatCannotBeKeptIsRefusedNotEmptied)
{
    ShowFrame();
    CSendMessageView& view = View();
    CWin1250TextEdit& edit = view.GetTextEdit();
    Type(view.GetRecipientsEdit(), QStringLiteral("Anna"));
    Type(edit, QStringLiteral("Hej "));
    edit.insertPlainText(QStringLiteral("ж"));
    EXPECT_EQ(edit.GetStoredText(), std::nullopt);
    for (CommandId command : {CommandId::Send, CommandId::SendLater, CommandId::SaveDraft}) {
        TriggerEnabled(Frame().Action(command));
        auto* box = QApplication::activeModalWidget()
                        ? qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
                        : nullptr;
        ASSERT_NE(box, nullptr) << static_cast<int>(command);
        EXPECT_TRUE(box->text().contains(QStringLiteral("„ж” (U+0436)"))) << box->text().toStdString();
        if (command == CommandId::Send) {
            EXPECT_TRUE(SaveScreenshot(*box, QStringLiteral("compose-unstorable-character")));
        }
        box->close();
        QTest::qWait(20);
    }
    EXPECT_EQ(edit.toPlainText(), QStringLiteral("Hej ж"));
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 0u);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(m_sim.MessageCount(), 0u);
}

// The ready-made text editor: Shift+Enter is a line break, and "OK" with a text it cannot keep
// leaves the stored text as it was.
TEST_F(ComposeTest, TheReadyMadeTextEditorKeepsLineBreaksAndNeverWipesAText)
{
    CEditDefinedMessageDialog dialog("Stary");
    dialog.show();
    CWin1250TextEdit& edit = dialog.GetEdit();
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    TypeText(&edit, QStringLiteral("nowy"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetText(), "Stary\r\nnowy");

    CEditDefinedMessageDialog refused("Stary");
    refused.show();
    refused.GetEdit().moveCursor(QTextCursor::End);
    refused.GetEdit().insertPlainText(QStringLiteral("😀"));
    refused.accept();
    EXPECT_TRUE(refused.isVisible());
    EXPECT_EQ(refused.GetText(), "Stary");
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("U+1F600"))) << box->text().toStdString();
    box->close();
}

TEST_F(ComposeTest, CheckDropsEmptyPiecesAndAsksAboutUnknownNames)
{
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;;Jan;"));
    TriggerEnabled(Frame().Action(CommandId::CheckRecipients));
    EXPECT_EQ(view.GetRecipientsEdit().text(), QStringLiteral("Anna;Jan"));

    // An unknown name is kept only when the user leaves it in the check dialog.
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;Obcy;Nikt"));
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CCheckRecipientsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->GetList().GetRowCount(), 2);
        dialog->GetList().SelectRow(1);
        dialog->GetRemoveButton().click();
        dialog->GetCloseButton().click();
    });
    TriggerEnabled(Frame().Action(CommandId::CheckRecipients));
    EXPECT_EQ(view.GetRecipientsEdit().text(), QStringLiteral("Anna;Obcy"));
    ASSERT_EQ(view.GetEntries().size(), 1u);

    // Send skips it: with it alone, the number list is empty; the send fails and queues nothing,
    // since a message without a number could never leave.
    view.GetRecipientsEdit().setText(QStringLiteral("Obcy"));
    view.GetTextEdit().setPlainText(QStringLiteral("x"));
    // First the check dialog (closed, the name stays), then the failure dialog.
    int closed = 0;
    OnNextModal([&closed](QWidget* modal) {
        ASSERT_NE(qobject_cast<CCheckRecipientsDialog*>(modal), nullptr);
        modal->close();
        ++closed;
        OnNextModal([&closed](QWidget* next) {
            EXPECT_NE(qobject_cast<CSendFailedDlg*>(next), nullptr);
            next->close();
            ++closed;
        });
    });
    TriggerEnabled(Frame().Action(CommandId::Send));
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(m_sim.MessageCount(), 0u);
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 0u);
}

TEST_F(ComposeTest, WhatIsWrittenSurvivesASwitchButTheDraftLinkDoesNot)
{
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna"));
    view.GetTextEdit().setPlainText(QStringLiteral("Wiersz 1\nWiersz 2"));
    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    Frame().SwitchView(CommandId::ViewSent);
    EXPECT_EQ(m_doc.GetSendMessageViewData().recipients, "Anna");
    EXPECT_EQ(m_doc.GetSendMessageViewData().text, "Wiersz 1\r\nWiersz 2");
    Frame().SwitchView(CommandId::ViewSend);
    CSendMessageView& again = View();
    EXPECT_EQ(again.GetRecipientsEdit().text(), QStringLiteral("Anna"));
    EXPECT_EQ(again.GetTextEdit().toPlainText(), QStringLiteral("Wiersz 1\nWiersz 2"));
    EXPECT_EQ(again.GetCounterText(), QStringLiteral("22-160"));
    ASSERT_EQ(again.GetEntries().size(), 1u);
    EXPECT_EQ(again.GetDraft(), nullptr);
    TriggerEnabled(Frame().Action(CommandId::SaveDraft));
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 2u);
}

TEST_F(ComposeTest, ScreenshotsOfTheComposingView)
{
    ShowFrame();
    Frame().resize(760, 540);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(Frame(), QStringLiteral("compose-empty")));
    CSendMessageView& view = View();
    view.GetRecipientsEdit().setText(QStringLiteral("Anna;Jan"));
    const QString text =
        QStringLiteral("Zażółć gęślą jaźń! Spotkanie przeniesione na czwartek, godz. 17:30, sala "
                       "nr 4 na drugim piętrze. Prosimy o potwierdzenie obecności do środy.");
    view.GetTextEdit().setPlainText(text.left(160).leftJustified(160, QChar(u'.')));
    ASSERT_EQ(view.GetTextEdit().GetStoredLength(), 160);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(Frame(), QStringLiteral("compose-160")));
}

} // namespace
