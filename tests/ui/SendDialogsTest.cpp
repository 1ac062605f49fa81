#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "ComposeTestSupport.h"
#include "UiTestSupport.h"
#include "store/DefinedMessages.h"
#include "store/Windows1250.h"
#include "ui/DefinedMessagesDialog.h"
#include "ui/EditDefinedMessageDialog.h"
#include "ui/ProgressDlg.h"
#include "ui/SendFailedDlg.h"
#include "ui/Win1250Edit.h"

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

using Strings = std::vector<std::string>;

TEST(EditDefinedMessageDialogTest, TitleCounterAndOkFollowTheText)
{
    CEditDefinedMessageDialog add(std::string{});
    EXPECT_EQ(add.windowTitle(), QStringLiteral("Dodaj wiadomość"));
    EXPECT_EQ(add.GetCounterText(), QStringLiteral("0-160"));
    EXPECT_FALSE(add.GetOkButton().isEnabled());
    TypeText(&add.GetEdit(), QStringLiteral("Oddzwonię"));
    EXPECT_EQ(add.GetCounterText(), QStringLiteral("9-160"));
    EXPECT_EQ(add.GetProgress(), 9);
    EXPECT_TRUE(add.GetOkButton().isEnabled());
    // Enter starts a new line (two characters) instead of closing the dialog.
    QTest::keyClick(&add.GetEdit(), Qt::Key_Return);
    EXPECT_EQ(add.GetCounterText(), QStringLiteral("11-160"));
    EXPECT_FALSE(add.isHidden() && add.result() == QDialog::Accepted);
    add.GetOkButton().click();
    EXPECT_EQ(add.result(), QDialog::Accepted);
    EXPECT_EQ(add.GetText(), Polish("Oddzwonię\r\n"));

    CEditDefinedMessageDialog change(Polish("Jestem w pra"));
    EXPECT_EQ(change.windowTitle(), QStringLiteral("Zmień wiadomość"));
    EXPECT_EQ(change.GetCounterText(), QStringLiteral("12-160"));
    change.GetEdit().clear();
    EXPECT_FALSE(change.GetOkButton().isEnabled());
}

TEST(EditDefinedMessageDialogTest, HoldsAtMost160Characters)
{
    CEditDefinedMessageDialog dialog(std::string(159, 'a'));
    dialog.GetEdit().moveCursor(QTextCursor::End);
    TypeText(&dialog.GetEdit(), QStringLiteral("bc"));
    EXPECT_EQ(dialog.GetCounterText(), QStringLiteral("160-160"));
    EXPECT_EQ(dialog.GetProgress(), 160);
    EXPECT_EQ(dialog.GetEdit().toPlainText().right(2), QStringLiteral("ab"));
    dialog.GetEdit().setFocus();
    TypeText(&dialog.GetEdit(), QStringLiteral("ы"));
    EXPECT_EQ(dialog.GetEdit().GetStoredLength(), 160);
}

class DefinedMessagesDialogTest : public ::testing::Test
{
protected:
    // Fills the next text dialog and ends it with OK.
    static void WriteInNextTextDialog(const QString& text)
    {
        OnNextModal([text](QWidget* modal) {
            auto* dialog = qobject_cast<CEditDefinedMessageDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->GetEdit().clear();
            TypeText(&dialog->GetEdit(), text);
            dialog->GetOkButton().click();
        });
    }

    CDefinedMessages m_texts;
    std::string m_result;
};

TEST_F(DefinedMessagesDialogTest, AnEmptyListLeavesOnlyAddAndClose)
{
    CDefinedMessagesDialog dialog(m_texts, m_result);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Wiadomości"));
    EXPECT_EQ(dialog.GetList().count(), 0);
    EXPECT_FALSE(dialog.GetInsertButton().isEnabled());
    EXPECT_FALSE(dialog.GetChangeButton().isEnabled());
    EXPECT_FALSE(dialog.GetDeleteButton().isEnabled());
    EXPECT_TRUE(dialog.GetAddButton().isEnabled());
    EXPECT_TRUE(dialog.GetInsertButton().isDefault());
    dialog.GetCloseButton().click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(m_texts.GetTexts().empty());
}

TEST_F(DefinedMessagesDialogTest, OpeningAndClosingKeepsTextsAndOrder)
{
    // A text longer than the dialog allows, from an older file, is kept as it is.
    m_texts.GetTexts() = {"B", "A", std::string(200, 'x'), "Linia\r\ndruga"};
    const Strings before = m_texts.GetTexts();
    for (int i = 0; i < 3; ++i) {
        CDefinedMessagesDialog dialog(m_texts, m_result);
        EXPECT_EQ(dialog.GetList().count(), 4);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    }
    EXPECT_EQ(m_texts.GetTexts(), before);
}

TEST_F(DefinedMessagesDialogTest, AddChangeDeleteAreKeptWhenClosed)
{
    m_texts.GetTexts() = {"Pierwsza", "Druga", "Trzecia"};
    CDefinedMessagesDialog dialog(m_texts, m_result);
    dialog.show();
    WriteInNextTextDialog(QStringLiteral("Czwarta ż"));
    dialog.GetAddButton().click();
    ASSERT_EQ(dialog.GetList().count(), 4);
    EXPECT_EQ(dialog.GetList().item(3)->text(), QStringLiteral("Czwarta ż"));
    // Nothing is written until the dialog closes.
    EXPECT_EQ(m_texts.GetTexts().size(), 3u);

    QTest::mouseClick(dialog.GetList().viewport(), Qt::LeftButton, {},
                      dialog.GetList().visualItemRect(dialog.GetList().item(1)).center());
    EXPECT_TRUE(dialog.GetChangeButton().isEnabled());
    WriteInNextTextDialog(QStringLiteral("Druga poprawiona"));
    dialog.GetChangeButton().click();
    EXPECT_EQ(dialog.GetList().item(1)->text(), QStringLiteral("Druga poprawiona"));

    dialog.GetList().setCurrentRow(0);
    dialog.GetDeleteButton().click();
    EXPECT_FALSE(dialog.GetDeleteButton().isEnabled());
    dialog.GetCloseButton().click();
    EXPECT_EQ(m_texts.GetTexts(), (Strings{"Druga poprawiona", "Trzecia", Polish("Czwarta ż")}));
    EXPECT_TRUE(m_result.empty());
}

TEST_F(DefinedMessagesDialogTest, InsertHandsBackTheSelectedText)
{
    m_texts.GetTexts() = {"Jestem w drodze", "Oddzwonię"};
    CDefinedMessagesDialog dialog(m_texts, m_result);
    dialog.GetList().setCurrentRow(1);
    dialog.GetDeleteButton().click();
    dialog.GetList().setCurrentRow(0);
    dialog.GetInsertButton().click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_result, "Jestem w drodze");
    EXPECT_EQ(m_texts.GetTexts(), (Strings{"Jestem w drodze"}));
}

TEST(ProgressDlgTest, TitleTextRangeAndStep)
{
    CProgressDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Wysyłanie wiadomości"));
    dialog.SetRange(3);
    dialog.SetStep(1);
    dialog.SetText(QStringLiteral("Wysyłanie wiadomości 1 z 3."));
    dialog.StepIt();
    dialog.StepIt();
    EXPECT_EQ(dialog.GetPos(), 2);
    dialog.StepIt();
    dialog.StepIt();
    EXPECT_EQ(dialog.GetPos(), 3);
    EXPECT_EQ(dialog.GetText(), QStringLiteral("Wysyłanie wiadomości 1 z 3."));
}

TEST(SendFailedDlgTest, QtUserInterfaceShowsTheWrittenSentence)
{
    CQtUserInterface ui;
    QString recipient, text, information, title;
    QStringList labels;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CSendFailedDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        recipient = dialog->GetRecipient();
        text = dialog->GetText();
        information = dialog->GetInformation();
        for (QLabel* label : dialog->findChildren<QLabel*>())
            labels << label->text();
        dialog->accept();
    });
    ui.ShowSendFailed(Polish("Wiersz pierwszy\r\nWiersz drugi"), Polish("Łucja"), std::string());
    EXPECT_EQ(title, QStringLiteral("Wysyłanie"));
    EXPECT_EQ(recipient, QStringLiteral("Łucja"));
    EXPECT_EQ(text, QStringLiteral("Wiersz pierwszy\nWiersz drugi"));
    EXPECT_TRUE(information.isEmpty());
    EXPECT_TRUE(labels.contains(QStringLiteral("Wiadomość ")));
    EXPECT_TRUE(labels.contains(QStringLiteral("nie została wysłana.")));
}

TEST(WaitHookTest, RepaintsButLeavesTimersAndInputWaiting)
{
    CQtUserInterface ui;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ticks = 0;
    for (int i = 0; i < 20; ++i)
        ui.WaitHook();
    EXPECT_EQ(ticks, 0);
    QTest::qWait(20);
    EXPECT_GT(ticks, 0);
}

TEST(DialogScreenshots, ReadyMadeTextsProgressAndFailure)
{
    CDefinedMessages texts;
    texts.GetTexts() = {
        Polish("Jestem w drodze, będę za 10 minut."), Polish("Oddzwonię później."),
        Polish("Spotkanie przeniesione na czwartek, godz. 17:30, sala nr 4 na drugim piętrze. "
               "Prosimy o potwierdzenie obecności.")};
    std::string result;
    CDefinedMessagesDialog list(texts, result);
    list.show();
    list.GetList().setCurrentRow(1);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(list, QStringLiteral("defined-messages-dialog")));

    CEditDefinedMessageDialog add(std::string{});
    add.show();
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(add, QStringLiteral("defined-message-add")));
    CEditDefinedMessageDialog change(texts.GetTexts()[0]);
    change.show();
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(change, QStringLiteral("defined-message-change")));

    CProgressDlg progress;
    progress.SetRange(3);
    progress.SetPos(1);
    progress.SetText(QStringLiteral("Wysyłanie wiadomości 2 z 3."));
    progress.show();
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(progress, QStringLiteral("progress-dialog")));

    CSendFailedDlg failed(QStringLiteral("Spotkanie przeniesione na czwartek, godz. 17:30."),
                          QStringLiteral("Łucja"),
                          QStringLiteral("Wiadomość została umieszczona w folderze \"Wiadomości wysyłane\" i "
                                         "zostanie wysłana poźniej."));
    failed.show();
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(failed, QStringLiteral("send-failed")));
}

} // namespace
