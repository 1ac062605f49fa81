#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Message.h"
#include "support/RecordingUserInterface.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/DeletedMessagesView.h"
#include "ui/DraftsView.h"
#include "ui/FindAddressDialog.h"
#include "ui/MessageListModel.h"
#include "ui/OutboxView.h"
#include "ui/SendMessageView.h"
#include "ui/SentMessagesView.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/ReportListCtrl.h"

using views_test::Enabled;
using views_test::InFrame;
using views_test::Polish;

namespace {

class FolderViewsTest : public ::testing::Test
{
protected:
    void File(CMessageList& folder, const char* recipients, const char* text, std::uint32_t time = 0)
    {
        auto message = std::make_unique<CMessage>(Polish(recipients), Polish(text), time);
        ASSERT_TRUE(folder.AddMessage(message));
    }

    static QString Cell(const CFolderView& view, int row, int column)
    {
        return view.GetModel().index(row, column).data().toString();
    }

    // The views send through the phone route to a port that does not exist: every send fails
    // at once and nothing leaves the machine.
    void FailEverySend()
    {
        m_doc.GetSettings().SetRoute(ROUTE_PHONE);
        m_doc.SetPhonePortName("/nonexistent/brivantel-test-port");
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
};

TEST_F(FolderViewsTest, RowsInFolderOrderWithTheDateColumnAndAShot)
{
    File(m_doc.GetSent(), "Jan Kowalski", "Pierwsza", views_test::LocalTime(2000, 3, 7, 14, 5, 9));
    File(m_doc.GetSent(), "Ewa;Piotr",
         "Bardzo długa wiadomość, która nie mieści się w kolumnie i kończy się wielokropkiem zamiast "
         "zawijać się do następnego wiersza",
         views_test::LocalTime(2000, 12, 7, 8, 0, 0));
    File(m_doc.GetSent(), "Zofia Żółkiewska", "Linia\r\ndruga",
         views_test::LocalTime(2001, 1, 2, 23, 59, 58));
    CSentMessagesView view(m_doc, 1002);
    view.OnInitialUpdate();

    ASSERT_EQ(view.GetList().GetRowCount(), 3);
    EXPECT_EQ(view.GetModel().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Odbiorcy");
    EXPECT_EQ(view.GetModel().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Wiadomość");
    EXPECT_EQ(view.GetModel().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Data");
    EXPECT_EQ(Cell(view, 0, 0), "Jan Kowalski");
    EXPECT_EQ(Cell(view, 0, 2), "07/03/2000 14:05:09");
    EXPECT_EQ(Cell(view, 1, 0), "Ewa;Piotr");
    EXPECT_EQ(Cell(view, 1, 2), "07/12/2000 08:00:00");
    EXPECT_EQ(Cell(view, 2, 0), QString::fromUtf8("Zofia Żółkiewska"));
    EXPECT_EQ(Cell(view, 2, 1), "Linia druga");

    view.resize(520, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.GetList().SelectRow(1);
    EXPECT_TRUE(SaveScreenshot(view, QStringLiteral("folder-sent")));
}

// A large sent folder read from the file is shown without reading it whole: only the rows painted
// are read, and a selection survives the folder changing under it.
TEST_F(FolderViewsTest, ShowingAFolderKeptAsBytesReadsOnlyItsRows)
{
    {
        CBrivantelDoc written(m_ui, m_settings);
        for (int i = 0; i < 2000; ++i)
            File(written.GetSent(), "Jan", ("Wiadomość " + std::to_string(i)).c_str(), 1000000000u + i);
        ASSERT_TRUE(m_doc.Load(written.Store()));
    }
    ASSERT_TRUE(m_doc.GetSent().IsEncoded());
    CSentMessagesView view(m_doc, 1002);
    view.OnInitialUpdate();
    view.resize(520, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.GetList().GetRowCount(), 2000);
    EXPECT_EQ(Cell(view, 1500, 1), QString::fromUtf8("Wiadomość 1500"));
    view.GetList().SelectRow(1500);
    File(m_doc.GetSent(), "Ewa", "Nowa");
    m_doc.NotifyChanged(DocChange::Sent);
    EXPECT_EQ(view.GetList().GetRowCount(), 2001);
    EXPECT_EQ(view.GetList().GetSelectedRows(), std::vector<int>{1500});
    EXPECT_TRUE(m_doc.GetSent().IsEncoded());
}

TEST_F(FolderViewsTest, CommandsFollowTheSelection)
{
    COutboxView emptyOutbox(m_doc, 1001);
    for (CommandId command : {CommandId::Edit, CommandId::Send, CommandId::Delete})
        EXPECT_FALSE(Enabled(emptyOutbox, command)) << static_cast<int>(command);
    CDeletedMessagesView emptyDeleted(m_doc, 1003);
    EXPECT_FALSE(Enabled(emptyDeleted, CommandId::DeleteAll));
    EXPECT_FALSE(Enabled(emptyDeleted, CommandId::DeleteMessage));
    EXPECT_FALSE(emptyOutbox.QueryCommand(CommandId::DeleteAll).has_value());

    File(m_doc.GetDrafts(), "Jan", "a");
    File(m_doc.GetDrafts(), "Ewa", "b");
    File(m_doc.GetOutbox(), "Jan", "a");
    File(m_doc.GetOutbox(), "Ewa", "b");
    InFrame<CDraftsView> shown(m_doc, CommandId::ViewDrafts);
    CDraftsView& drafts = shown.view;
    COutboxView outbox(m_doc, 1001);
    EXPECT_FALSE(Enabled(drafts, CommandId::Delete));

    drafts.GetList().SelectRow(0);
    outbox.GetList().SelectRow(0);
    for (CommandId command : {CommandId::Edit, CommandId::Send, CommandId::Delete}) {
        EXPECT_TRUE(Enabled(drafts, command)) << static_cast<int>(command);
        EXPECT_TRUE(Enabled(outbox, command)) << static_cast<int>(command);
    }

    drafts.GetList().SelectRow(1, true);
    outbox.GetList().SelectRow(1, true);
    EXPECT_FALSE(Enabled(drafts, CommandId::Edit));
    EXPECT_FALSE(Enabled(drafts, CommandId::Send));
    EXPECT_TRUE(Enabled(drafts, CommandId::Delete));
    EXPECT_FALSE(Enabled(outbox, CommandId::Edit));
    EXPECT_TRUE(Enabled(outbox, CommandId::Send));
    EXPECT_TRUE(Enabled(outbox, CommandId::Delete));

    // Delete takes both, with no question asked.
    shown.Run(CommandId::Delete);
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 0u);
    EXPECT_EQ(drafts.GetList().GetRowCount(), 0);
    EXPECT_TRUE(m_ui.questions.empty());
}

TEST_F(FolderViewsTest, OutboxEditMovesTheMessageIntoTheComposingRecord)
{
    File(m_doc.GetOutbox(), "Jan", "Pierwsza");
    File(m_doc.GetOutbox(), "Ewa;Piotr", "Druga");
    InFrame<COutboxView> shown(m_doc, CommandId::ViewOutbox);
    COutboxView& view = shown.view;
    QSignalSpy requests(&view, &CBrivantelView::viewRequested);
    view.GetList().SelectRow(1);

    shown.Run(CommandId::Edit);

    EXPECT_EQ(m_doc.GetSendMessageViewData().recipients, "Ewa;Piotr");
    EXPECT_EQ(m_doc.GetSendMessageViewData().text, "Druga");
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetText(), "Pierwsza");
    EXPECT_EQ(view.GetList().GetRowCount(), 1);
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].value<CommandId>(), CommandId::ViewSend);

    // With nothing selected Edit cannot be chosen, and nothing changes.
    view.GetList().ClearSelection();
    EXPECT_FALSE(shown.Offers(CommandId::Edit));
    EXPECT_EQ(requests.count(), 1);
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 1u);
}

TEST_F(FolderViewsTest, DraftsEditKeepsTheDraftAndOpensTheComposingView)
{
    File(m_doc.GetDrafts(), "Jan;Ewa", "Szkic");
    InFrame<CDraftsView> shown(m_doc, CommandId::ViewDrafts);
    CDraftsView& view = shown.view;
    QSignalSpy requests(&view, &CBrivantelView::viewRequested);
    EXPECT_FALSE(shown.Offers(CommandId::Edit));
    view.GetList().SelectRow(0);

    shown.Run(CommandId::Edit);

    EXPECT_EQ(m_doc.GetSendMessageViewData().recipients, "Jan;Ewa");
    EXPECT_EQ(m_doc.GetSendMessageViewData().text, "Szkic");
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 1u);
    EXPECT_EQ(view.GetList().GetRowCount(), 1);
    EXPECT_EQ(requests.count(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.frame.GetCurrentKind(), 1000);
}

TEST_F(FolderViewsTest, DraftsSendResolvesDisplayNamesToNumbers)
{
    CAddressBook& book = m_doc.GetAddressBook();
    views_test::AddEntry(book, "Jan", "Kowalski", "Jan", "601", "1111111");
    views_test::AddEntry(book, "Ewa", "Nowak", "Ewa", "602", "2222222");
    EXPECT_EQ(CDraftsView::NumbersForNames("Jan;Ewa;Piotr", book), "+486011111111;+486022222222");
    EXPECT_EQ(CDraftsView::NumbersForNames("Piotr;Ewa", book), "+486022222222");
    EXPECT_EQ(CDraftsView::NumbersForNames("Ewa;Piotr", book), "+486022222222");
    // A recipient written as a number (a reply to someone the book does not know) is sent to.
    EXPECT_EQ(CDraftsView::NumbersForNames("+48600000000", book), "+48600000000");
    EXPECT_EQ(CDraftsView::NumbersForNames("Ewa;602 123 456;Piotr", book), "+486022222222;+48602123456");

    File(m_doc.GetDrafts(), "Jan;Ewa;Piotr", "Spotkanie o 18");
    FailEverySend();
    InFrame<CDraftsView> shown(m_doc, CommandId::ViewDrafts);
    shown.view.GetList().SelectRow(0);
    shown.Run(CommandId::Send);

    // Two numbers were tried; the failed sends wait in the outbox under the names.
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 2u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[0]->GetRecipients(), "Jan");
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[1]->GetRecipients(), "Ewa");
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 1u);

    // A number the book does not know is tried too and waits under itself.
    File(m_doc.GetDrafts(), "Piotr;+48600000000", "Odpowiedź");
    InFrame<CDraftsView>::Switch(shown.frame, CommandId::ViewDrafts).GetList().SelectRow(1);
    shown.Run(CommandId::Send);
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 3u);
    EXPECT_EQ(m_doc.GetOutbox().GetMessages()[2]->GetRecipients(), "+48600000000");

    // A draft with nobody the book knows and no number reports the failure and queues nothing.
    const std::size_t failures = m_ui.sendFailures.size();
    File(m_doc.GetDrafts(), "Piotr;Zenek", "Nikt");
    InFrame<CDraftsView>::Switch(shown.frame, CommandId::ViewDrafts).GetList().SelectRow(2);
    shown.Run(CommandId::Send);
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 3u);
    ASSERT_EQ(m_ui.sendFailures.size(), failures + 1);
    EXPECT_EQ(m_ui.sendFailures.back().recipient, "Piotr;Zenek");
}

TEST_F(FolderViewsTest, OutboxSendKeepsWhatFailedInTheList)
{
    File(m_doc.GetOutbox(), "Jan", "Pierwsza");
    File(m_doc.GetOutbox(), "Ewa", "Druga");
    FailEverySend();
    InFrame<COutboxView> shown(m_doc, CommandId::ViewOutbox);
    COutboxView& view = shown.view;
    view.GetList().SelectRow(0);
    view.GetList().SelectRow(1, true);

    shown.Run(CommandId::Send);

    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 2u);
    EXPECT_EQ(view.GetList().GetRowCount(), 2);
    EXPECT_EQ(m_ui.sendFailures.size(), 2u);
}

TEST_F(FolderViewsTest, DeleteFollowsTheMoveSetting)
{
    File(m_doc.GetDeletedMessages(), "Stara", "x");
    File(m_doc.GetSent(), "Jan", "a");
    File(m_doc.GetSent(), "Ewa", "b");
    File(m_doc.GetSent(), "Piotr", "c");
    m_doc.GetSettings().SetMoveDeletedMessages(true);
    InFrame<CSentMessagesView> shown(m_doc, CommandId::ViewSent);
    shown.view.GetList().SelectRow(0);
    shown.view.GetList().SelectRow(2, true);
    shown.Run(CommandId::Delete);
    ASSERT_EQ(shown.view.GetList().GetRowCount(), 1);
    ASSERT_EQ(m_doc.GetSent().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetSent().GetMessages()[0]->GetRecipients(), "Ewa");
    ASSERT_EQ(m_doc.GetDeletedMessages().GetCount(), 3u);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetMessages()[0]->GetRecipients(), "Stara");
    // At the folder's end, both of them, in the order they had in the sent folder.
    EXPECT_EQ(m_doc.GetDeletedMessages().GetMessages()[1]->GetRecipients(), "Jan");
    EXPECT_EQ(m_doc.GetDeletedMessages().GetMessages()[2]->GetRecipients(), "Piotr");

    m_doc.GetSettings().SetMoveDeletedMessages(false);
    InFrame<CSentMessagesView>::Switch(shown.frame, CommandId::ViewSent).GetList().SelectRow(0);
    shown.Run(CommandId::Delete);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetCount(), 3u);
}

TEST_F(FolderViewsTest, DeletedViewDestroysSelectedAndAll)
{
    File(m_doc.GetDeletedMessages(), "Jan", "a");
    File(m_doc.GetDeletedMessages(), "Ewa", "b");
    File(m_doc.GetDeletedMessages(), "Piotr", "c");
    InFrame<CDeletedMessagesView> shown(m_doc, CommandId::ViewDeleted);
    CDeletedMessagesView& view = shown.view;
    EXPECT_TRUE(Enabled(view, CommandId::DeleteAll));
    view.GetList().SelectRow(1);

    shown.Run(CommandId::DeleteMessage);
    ASSERT_EQ(m_doc.GetDeletedMessages().GetCount(), 2u);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetMessages()[1]->GetRecipients(), "Piotr");
    EXPECT_EQ(Cell(view, 1, 0), "Piotr");

    shown.Run(CommandId::DeleteAll);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetCount(), 0u);
    EXPECT_EQ(view.GetList().GetRowCount(), 0);
    EXPECT_FALSE(Enabled(view, CommandId::DeleteAll));
    EXPECT_TRUE(m_ui.questions.empty());
}

TEST_F(FolderViewsTest, ColumnWidthsSurviveASaveAndReload)
{
    {
        CSentMessagesView sent(m_doc, 1002);
        EXPECT_EQ(sent.GetList().GetColumnWidth(0), 100);
        sent.GetList().SetColumnWidth(0, 140);
        sent.GetList().SetColumnWidth(1, 260);
        sent.GetList().SetColumnWidth(2, 120);
        CDraftsView drafts(m_doc, 1004);
        drafts.GetList().SetColumnWidth(1, 333);
    }
    const std::vector<std::uint8_t> bytes = m_doc.Store();

    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc reloaded(ui, settings);
    ASSERT_TRUE(reloaded.Load(bytes));
    CSentMessagesView sent(reloaded, 1002);
    EXPECT_EQ(sent.GetList().GetColumnWidth(0), 140);
    EXPECT_EQ(sent.GetList().GetColumnWidth(1), 260);
    EXPECT_EQ(sent.GetList().GetColumnWidth(2), 120);
    CDraftsView drafts(reloaded, 1004);
    EXPECT_EQ(drafts.GetList().GetColumnWidth(0), 100);
    EXPECT_EQ(drafts.GetList().GetColumnWidth(1), 333);
}

// Runs `act` on the next popup menu once it is open.
void OnNextPopup(std::function<void(QMenu&)> act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            QTimer::singleShot(10, *poll);
            return;
        }
        act(*menu);
    };
    QTimer::singleShot(0, *poll);
}

TEST_F(FolderViewsTest, PopupOffersTheViewsCommandsAndRunsTheChosenOne)
{
    File(m_doc.GetDrafts(), "Jan", "a");
    File(m_doc.GetDrafts(), "Ewa", "b");
    File(m_doc.GetDrafts(), "Piotr", "c");
    InFrame<CDraftsView> shown(m_doc, CommandId::ViewDrafts);
    CDraftsView& view = shown.view;
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    view.GetList().SelectRow(0);
    view.GetList().SelectRow(2, true);

    QStringList offered;
    OnNextPopup([&offered](QMenu& menu) {
        QAction* remove = nullptr;
        for (QAction* action : menu.actions()) {
            offered << (action->isSeparator() ? QStringLiteral("-")
                                              : action->text() + (action->isEnabled() ? "" : " (off)"));
            if (action->text() == QString::fromUtf8("&Usuń\tDel"))
                remove = action;
        }
        ASSERT_NE(remove, nullptr);
        menu.setActiveAction(remove);
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    emit view.GetList().contextMenuRequested(view.mapToGlobal(QPoint(20, 30)));

    EXPECT_EQ(offered, (QStringList{"&Edytuj\tCtrl+E (off)", QString::fromUtf8("&Wyślij (off)"), "-",
                                    QString::fromUtf8("&Usuń\tDel")}));
    ASSERT_EQ(m_doc.GetDrafts().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetDrafts().GetMessages()[0]->GetRecipients(), "Ewa");
}

TEST_F(FolderViewsTest, SelectingARowEnablesDeleteAtOnce)
{
    File(m_doc.GetOutbox(), "Jan", "a");
    InFrame<COutboxView> shown(m_doc, CommandId::ViewOutbox);
    EXPECT_FALSE(shown.Offers(CommandId::Delete));
    shown.view.GetList().SelectRow(0); // no event loop in between: no timer can have run
    EXPECT_TRUE(shown.Offers(CommandId::Delete));
}

// The window's keys run their commands; Delete in a list deletes, in a text field it stays there.
TEST_F(FolderViewsTest, KeysRunTheirCommandsAndDeleteStaysWithTheFields)
{
    File(m_doc.GetDeletedMessages(), "Jan", "a");
    File(m_doc.GetDeletedMessages(), "Ewa", "b");
    views_test::AddEntry(m_doc.GetAddressBook(), "Jan", "Lis", "Jan Lis", "602", "1234567");
    InFrame<CSendMessageView> shown(m_doc, CommandId::ViewSend);
    CBrivantelFrame& frame = shown.frame;
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    CWin1250TextEdit& text = shown.view.GetTextEdit();
    shown.view.GetRecipientsEdit().setText(QStringLiteral("Ewa"));
    text.setPlainText(QStringLiteral("ab"));
    text.setFocus();
    text.moveCursor(QTextCursor::Start);
    QTest::keyClick(&text, Qt::Key_Delete);
    EXPECT_EQ(text.toPlainText(), QStringLiteral("b"));
    QTest::keyClick(&text, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(m_doc.GetDrafts().GetCount(), 1u);

    CDeletedMessagesView& deleted = InFrame<CDeletedMessagesView>::Switch(frame, CommandId::ViewDeleted);
    deleted.GetList().SelectRow(0);
    QWidget& table = deleted.GetList().GetTable();
    table.setFocus();
    QTest::keyClick(&table, Qt::Key_Delete);
    ASSERT_EQ(m_doc.GetDeletedMessages().GetCount(), 1u);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetMessages()[0]->GetRecipients(), "Ewa");
    QTest::keyClick(&table, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(m_doc.GetDeletedMessages().GetCount(), 0u);

    CAddressBookView& book = InFrame<CAddressBookView>::Switch(frame, CommandId::ViewAddressBook);
    bool found = false;
    OnNextModal([&found](QWidget* modal) {
        found = qobject_cast<CFindAddressDialog*>(modal) != nullptr;
        modal->close();
    });
    book.GetPage().GetList().GetTable().setFocus();
    QTest::keyClick(&book.GetPage().GetList().GetTable(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(found);
}

// Del, Ctrl+E and Insert where the menus name them, while a list has the focus, and the
// double-clicks that open what a row holds; both run the menu's own commands.
TEST_F(FolderViewsTest, ListKeysAndDoubleClicksRunTheMenuCommands)
{
    File(m_doc.GetOutbox(), "Jan", "pierwsza");
    File(m_doc.GetOutbox(), "Ewa", "druga");
    File(m_doc.GetDrafts(), "Ola", "szkic");
    views_test::AddEntry(m_doc.GetAddressBook(), "Jan", "Lis", "Jan Lis", "602", "1234567");
    InFrame<COutboxView> shown(m_doc, CommandId::ViewOutbox);
    CBrivantelFrame& frame = shown.frame;
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));

    QWidget* table = &shown.view.GetList().GetTable();
    shown.view.GetList().SelectRow(0);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_EQ(m_doc.GetOutbox().GetCount(), 1u);
    // Ctrl+E opens the one that is left for editing, in the composing view.
    COutboxView& outbox = InFrame<COutboxView>::Switch(frame, CommandId::ViewOutbox);
    outbox.GetList().SelectRow(0);
    outbox.GetList().GetTable().setFocus();
    QTest::keyClick(&outbox.GetList().GetTable(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.GetCurrentKind() == 1000; }, 2000))
        << "frame.GetCurrentKind()";
    EXPECT_EQ(m_doc.GetSendMessageViewData().text, "druga");

    // A double-click on a draft opens it the same way.
    CDraftsView& drafts = InFrame<CDraftsView>::Switch(frame, CommandId::ViewDrafts);
    auto* view = qobject_cast<QAbstractItemView*>(&drafts.GetList().GetTable());
    ASSERT_NE(view, nullptr);
    const QRect cell = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.GetCurrentKind() == 1000; }, 2000))
        << "frame.GetCurrentKind()";
    EXPECT_EQ(m_doc.GetSendMessageViewData().text, "szkic");

    // The address book: a double-click opens the entry, Insert a new one, Delete removes.
    CAddressBookView& book = InFrame<CAddressBookView>::Switch(frame, CommandId::ViewAddressBook);
    auto* list = qobject_cast<QAbstractItemView*>(&book.GetPage().GetList().GetTable());
    ASSERT_NE(list, nullptr);
    QStringList opened;
    OnNextModal([&opened](QWidget* modal) {
        opened << modal->windowTitle();
        modal->close();
    });
    const QRect entry = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.size() == 1; }, 2000)) << "opened.size()";
    OnNextModal([&opened](QWidget* modal) {
        opened << modal->windowTitle();
        modal->close();
    });
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Insert);
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.size() == 2; }, 2000)) << "opened.size()";
    book.GetPage().GetList().SelectRow(0);
    list->setFocus();
    OnNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return m_doc.GetAddressBook().GetEntries().size() == std::size_t{0}; }, 2000))
        << "m_doc.GetAddressBook().GetEntries().size()";
}

TEST_F(FolderViewsTest, EachKindMakesItsOwnView)
{
    EXPECT_NE(dynamic_cast<COutboxView*>(CreateView(m_doc, 1001, nullptr).get()), nullptr);
    EXPECT_NE(dynamic_cast<CSentMessagesView*>(CreateView(m_doc, 1002, nullptr).get()), nullptr);
    EXPECT_NE(dynamic_cast<CDeletedMessagesView*>(CreateView(m_doc, 1003, nullptr).get()), nullptr);
    EXPECT_NE(dynamic_cast<CDraftsView*>(CreateView(m_doc, 1004, nullptr).get()), nullptr);
    EXPECT_NE(dynamic_cast<CAddressBookView*>(CreateView(m_doc, 1005, nullptr).get()), nullptr);
}

TEST_F(FolderViewsTest, ShotsOfTheOtherFolders)
{
    File(m_doc.GetOutbox(), "Małgorzata Wiśniewska", "Czy możesz odebrać dzieci ze szkoły? Ja dziś później");
    File(m_doc.GetDrafts(), "Jan;Ewa;Piotr", "Zebranie przeniesione na czwartek, godzina 17:30, sala 12");
    File(m_doc.GetDeletedMessages(), "Łukasz", "Stara wiadomość");
    COutboxView outbox(m_doc, 1001);
    CDraftsView drafts(m_doc, 1004);
    CDeletedMessagesView deleted(m_doc, 1003);
    const std::pair<CFolderView*, const char*> shots[] = {
        {&outbox, "folder-outbox"}, {&drafts, "folder-drafts"}, {&deleted, "folder-deleted"}};
    for (const auto& [view, name] : shots) {
        view->resize(420, 160);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        view->GetList().SelectRow(0);
        view->GetList().GetTable().setFocus();
        EXPECT_TRUE(SaveScreenshot(*view, QString::fromLatin1(name)));
    }
}

} // namespace
