#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "support/RecordingUserInterface.h"
#include "ui/AddressBookView.h"
#include "ui/AddressDialog.h"
#include "ui/AddressPage.h"
#include "ui/Commands.h"
#include "ui/FindAddressDialog.h"
#include "ui/FolderView.h"
#include "ui/controls/AddressListCtrl.h"

using views_test::Checked;
using views_test::Enabled;
using views_test::InFrame;
using views_test::Polish;

namespace {

class AddressBookViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CAddressBook& book = m_doc.GetAddressBook();
        views_test::AddEntry(book, "Zofia", "Żak", "Zofia Żak", "602", "1234567");
        views_test::AddEntry(book, "Łukasz", "Nowak", "Łukasz Nowak", "501", "7654321");
        views_test::AddEntry(book, "Anna", "Lis", "Anna Lis", "603", "1111111");
        views_test::AddEntry(book, "Krzysztof", "Brzęczyszczykiewicz",
                             "Krzysztof Grzegorz Brzęczyszczykiewicz z Chrząszczyżewoszyc", "601", "2222222");
    }

    static QString Name(const CAddressBookView& view, int row)
    {
        return view.GetPage().GetModel().index(row, 0).data().toString();
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
};

TEST_F(AddressBookViewTest, ListsEntriesSortedByDisplayName)
{
    CAddressBookView view(m_doc, 1005);
    view.OnInitialUpdate();
    ASSERT_EQ(view.GetPage().GetList().GetRowCount(), 4);
    EXPECT_EQ(Name(view, 0), "Anna Lis");
    EXPECT_TRUE(Name(view, 1).startsWith("Krzysztof"));
    EXPECT_EQ(Name(view, 2), QString::fromUtf8("Łukasz Nowak"));
    EXPECT_EQ(Name(view, 3), QString::fromUtf8("Zofia Żak"));
    EXPECT_EQ(view.GetPage().GetModel().index(3, 1).data().toString(), "+486021234567");
    EXPECT_EQ(view.GetSheet().tabText(0), "Podstawowa");

    EXPECT_TRUE(Enabled(view, CommandId::NewAddress));
    EXPECT_TRUE(Enabled(view, CommandId::Find));
    EXPECT_FALSE(Enabled(view, CommandId::Properties));
    EXPECT_FALSE(Enabled(view, CommandId::Delete));
    EXPECT_FALSE(Enabled(view, CommandId::Compose));
    view.GetPage().GetList().SelectRow(0);
    view.GetPage().GetList().SelectRow(2, true);
    EXPECT_FALSE(Enabled(view, CommandId::Properties));
    EXPECT_TRUE(Enabled(view, CommandId::Delete));
    EXPECT_TRUE(Enabled(view, CommandId::Compose));

    // Typed letters do not move the selection.
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.GetPage().GetList().SelectRow(0);
    QTest::keyClicks(&view.GetPage().GetList().GetTable(), QStringLiteral("z"));
    EXPECT_EQ(view.GetPage().GetList().GetFirstSelected(), 0);
}

TEST_F(AddressBookViewTest, ComposeStartsAMessageToTheSelectedPeople)
{
    m_doc.GetSendMessageViewData().text = "stary tekst";
    InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
    CAddressBookView& view = shown.view;
    QSignalSpy requests(&view, &CBrivantelView::viewRequested);
    view.GetPage().GetList().SelectRow(0);
    view.GetPage().GetList().SelectRow(3, true);
    shown.Run(CommandId::Compose);
    EXPECT_EQ(m_doc.GetSendMessageViewData().recipients, Polish("Anna Lis;Zofia Żak"));
    EXPECT_TRUE(m_doc.GetSendMessageViewData().text.empty());
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].value<CommandId>(), CommandId::ViewSend);
}

TEST_F(AddressBookViewTest, DeleteAsksFirst)
{
    InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
    CAddressBookView& view = shown.view;
    view.GetPage().GetList().SelectRow(0);
    view.GetPage().GetList().SelectRow(2, true);

    QString asked;
    OnNextModal([&asked](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        asked = box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::No)->click();
    });
    shown.Run(CommandId::Delete);
    EXPECT_EQ(asked, QString::fromUtf8("Książka adresowa|Czy na pewno chcesz usunąć zaznaczone pozycje?"));
    EXPECT_EQ(m_doc.GetAddressBook().GetEntries().size(), 4u);

    OnNextModal([](QWidget* modal) { static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
    shown.Run(CommandId::Delete);
    ASSERT_EQ(m_doc.GetAddressBook().GetEntries().size(), 2u);
    EXPECT_EQ(view.GetPage().GetList().GetRowCount(), 2);
    EXPECT_TRUE(Name(view, 0).startsWith("Krzysztof"));
    EXPECT_EQ(Name(view, 1), QString::fromUtf8("Zofia Żak"));
}

TEST_F(AddressBookViewTest, FindDeletesFromTheBookAndTheListBehindIt)
{
    InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
    CAddressBookView& view = shown.view;
    int rowsWhileOpen = -1;
    OnNextModal([&](QWidget* modal) {
        auto* find = qobject_cast<CFindAddressDialog*>(modal);
        ASSERT_NE(find, nullptr);
        find->GetNameEdit().setText(QStringLiteral("nowak"));
        find->GetSearchButton().click();
        ASSERT_EQ(find->GetResults().GetRowCount(), 1);
        find->GetResults().SelectRow(0);
        OnNextModal([](QWidget* box) { static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); });
        find->GetDeleteButton().click();
        rowsWhileOpen = view.GetPage().GetList().GetRowCount();
        find->reject();
    });
    shown.Run(CommandId::Find);
    EXPECT_EQ(rowsWhileOpen, 3);
    EXPECT_EQ(m_doc.GetAddressBook().GetEntries().size(), 3u);
    EXPECT_EQ(view.GetPage().GetList().GetRowCount(), 3);
    EXPECT_EQ(Name(view, 2), QString::fromUtf8("Zofia Żak"));
}

TEST_F(AddressBookViewTest, NewEntryIsAddedAndListed)
{
    InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
    OnNextModal([](QWidget* modal) {
        auto* dialog = static_cast<QDialog*>(modal);
        auto* page = dialog->findChild<CAddressPersonal*>();
        ASSERT_NE(page, nullptr);
        QTest::keyClicks(&page->FirstName(), QStringLiteral("Bartosz"));
        page->CountryPrefix().setEditText(QStringLiteral("+48"));
        page->OperatorCode().setEditText(QStringLiteral("605"));
        page->SubscriberNumber().setText(QStringLiteral("3333333"));
        dialog->accept();
    });
    shown.Run(CommandId::NewAddress);
    ASSERT_EQ(m_doc.GetAddressBook().GetEntries().size(), 5u);
    EXPECT_EQ(m_doc.GetAddressBook().GetEntries()[4]->GetFullNumber(), "+486053333333");
    EXPECT_EQ(Name(shown.view, 1), "Bartosz");
}

TEST_F(AddressBookViewTest, ModeAndWidthsSurviveASaveAndReload)
{
    {
        InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
        CAddressBookView& view = shown.view;
        EXPECT_TRUE(Checked(view, CommandId::Details));
        shown.Run(CommandId::LargeIcons);
        EXPECT_TRUE(Checked(view, CommandId::LargeIcons));
        EXPECT_FALSE(Checked(view, CommandId::Details));
        EXPECT_EQ(m_doc.GetAddressBookViewData().viewMode, CAddressBookViewData::LargeIcons);
        view.GetPage().GetList().SetColumnWidth(0, 180);
        view.GetPage().GetList().SetColumnWidth(1, 111);
    }
    const std::vector<std::uint8_t> bytes = m_doc.Store();
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc reloaded(ui, settings);
    ASSERT_TRUE(reloaded.Load(bytes));
    CAddressBookView view(reloaded, 1005);
    EXPECT_EQ(view.GetPage().GetList().GetMode(), CReportListCtrl::LargeIcons);
    EXPECT_TRUE(Checked(view, CommandId::LargeIcons));
    EXPECT_EQ(view.GetPage().GetList().GetColumnWidth(0), 180);
    EXPECT_EQ(view.GetPage().GetList().GetColumnWidth(1), 111);
}

TEST_F(AddressBookViewTest, ShotsInEveryMode)
{
    InFrame<CAddressBookView> shown(m_doc, CommandId::ViewAddressBook);
    CAddressBookView& view = shown.view;
    shown.frame.resize(640, 400);
    shown.frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.frame));
    view.GetPage().GetList().SelectRow(1);
    const std::pair<CommandId, const char*> modes[] = {{CommandId::Details, "address-book-details"},
                                                       {CommandId::LargeIcons, "address-book-large-icons"},
                                                       {CommandId::SmallIcons, "address-book-small-icons"},
                                                       {CommandId::List, "address-book-list"}};
    for (const auto& [command, name] : modes) {
        shown.Run(command);
        QCoreApplication::processEvents();
        EXPECT_TRUE(SaveScreenshot(view, QString::fromLatin1(name)));
    }
}

} // namespace
