#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "ui/AddressDialog.h"
#include "ui/CheckRecipientsDialog.h"
#include "ui/FindAddressDialog.h"
#include "ui/SelectRecipientsDialog.h"
#include "ui/controls/AddressListCtrl.h"

using views_test::Polish;

namespace {

void Type(QWidget& field, const QString& text)
{
    QTest::keyClicks(&field, text);
}

// Replaces a combo's typed text as the user would (QTest types ASCII only; others are set).
void SetCombo(QComboBox& combo, const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (!ascii) {
        combo.setEditText(text);
        return;
    }
    combo.lineEdit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(combo.lineEdit(), Qt::Key_Backspace);
    else
        QTest::keyClicks(combo.lineEdit(), text);
}

// Fills an open entry editor with a valid number, optionally a new display name, and confirms.
void FillEditorAndConfirm(QWidget* modal, const QString& display = {})
{
    auto* dialog = qobject_cast<CAddressDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    CAddressPersonal& page = dialog->GetPage();
    SetCombo(page.CountryPrefix(), QStringLiteral("+48"));
    SetCombo(page.OperatorCode(), QStringLiteral("603"));
    page.SubscriberNumber().setText(QStringLiteral("7654321"));
    if (!display.isEmpty())
        SetCombo(page.DisplayName(), display);
    ASSERT_TRUE(dialog->GetOkButton().isEnabled());
    dialog->GetOkButton().click();
}

void Cancel(QWidget* modal)
{
    static_cast<QDialog*>(modal)->reject();
}

QString Cell(const QAbstractItemModel& model, int row, int column)
{
    return model.index(row, column).data().toString();
}

TEST(AddressEditorTest, ValidationKeepsOkDisabledUntilTheEntryIsComplete)
{
    CAddress entry;
    CAddressDialog dialog(entry);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CAddressPersonal& page = dialog.GetPage();
    QPushButton& ok = dialog.GetOkButton();
    EXPECT_FALSE(ok.isEnabled());

    Type(page.FirstName(), QStringLiteral("Jan"));
    SetCombo(page.CountryPrefix(), QStringLiteral("+48"));
    SetCombo(page.OperatorCode(), QStringLiteral("602"));
    EXPECT_FALSE(ok.isEnabled()) << "no subscriber number";
    Type(page.SubscriberNumber(), QStringLiteral("1234567"));
    EXPECT_TRUE(ok.isEnabled());

    for (const char* prefix : {"+048", "48", "+48 ", "", "+-48"}) {
        SetCombo(page.CountryPrefix(), QString::fromLatin1(prefix));
        EXPECT_FALSE(ok.isEnabled()) << prefix;
    }
    SetCombo(page.CountryPrefix(), QStringLiteral("+48"));
    for (const char* code : {"0602", "60a", "", "-602"}) {
        SetCombo(page.OperatorCode(), QString::fromLatin1(code));
        EXPECT_FALSE(ok.isEnabled()) << code;
    }
    SetCombo(page.OperatorCode(), QStringLiteral("602"));
    EXPECT_TRUE(ok.isEnabled());
    // Blanks or signs in the subscriber number could never be dialled.
    for (const char* number : {"123 456", "123-456", "+1234"}) {
        page.SubscriberNumber().setText(QString::fromLatin1(number));
        EXPECT_FALSE(ok.isEnabled()) << number;
    }

    // A name the data file's code page cannot hold is not accepted.
    page.FirstName().setText(QStringLiteral("Jan \u4e2d"));
    page.SubscriberNumber().setText(QStringLiteral("1234567"));
    EXPECT_FALSE(ok.isEnabled());
    page.FirstName().setText(QStringLiteral("Jan"));
    page.SubscriberNumber().setText(QStringLiteral("1234567"));
    EXPECT_TRUE(ok.isEnabled());
    EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("address-editor")));

    ok.click();
    EXPECT_EQ(entry.GetFirstName(), "Jan");
    EXPECT_EQ(entry.GetDisplayName(), "Jan");
    EXPECT_EQ(entry.GetFullNumber(), "+486021234567");
}

TEST(AddressEditorTest, DisplayNameFollowsTheNames)
{
    CAddress entry;
    CAddressDialog dialog(entry);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CAddressPersonal& page = dialog.GetPage();

    Type(page.FirstName(), QStringLiteral("Jan"));
    Type(page.Surname(), QStringLiteral("Kowalski"));
    EXPECT_EQ(page.DisplayName().currentText(), "Jan Kowalski");
    page.DisplayName().showPopup();
    ASSERT_EQ(page.DisplayName().count(), 1);
    EXPECT_EQ(page.DisplayName().itemText(0), "Jan Kowalski");
    page.DisplayName().hidePopup();

    // A name typed by hand lasts until a name is edited again.
    SetCombo(page.DisplayName(), QStringLiteral("Janek"));
    EXPECT_EQ(page.DisplayName().currentText(), "Janek");
    page.Surname().selectAll();
    QTest::keyClick(&page.Surname(), Qt::Key_Backspace);
    EXPECT_EQ(page.DisplayName().currentText(), "Jan");
    page.DisplayName().showPopup();
    EXPECT_EQ(page.DisplayName().itemText(0), "Jan ");
    page.DisplayName().hidePopup();

    Type(page.Surname(), QStringLiteral("Kowalski"));
    page.FirstName().selectAll();
    QTest::keyClick(&page.FirstName(), Qt::Key_Backspace);
    EXPECT_EQ(page.DisplayName().currentText(), "Kowalski");
    page.DisplayName().showPopup();
    EXPECT_EQ(page.DisplayName().itemText(0), " Kowalski");
    page.DisplayName().hidePopup();

    // Cancel leaves the entry as it was.
    dialog.reject();
    EXPECT_TRUE(entry.GetSurname().empty());
    EXPECT_TRUE(entry.GetDisplayName().empty());
}

TEST(AddressEditorTest, PropertiesOpenWithTheEntryAndReportTheAnswer)
{
    CAddressBook book;
    CAddress* entry = views_test::AddEntry(book, "Zofia", "Żółkiewska", "Zosia", "602", "1234567");
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CAddressDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Właściwości"));
        EXPECT_EQ(dialog->GetPage().Surname().text(), QString::fromUtf8("Żółkiewska"));
        EXPECT_EQ(dialog->GetPage().DisplayName().currentText(), "Zosia");
        EXPECT_TRUE(dialog->GetOkButton().isEnabled());
        SetCombo(dialog->GetPage().DisplayName(), QStringLiteral("Zofia Ż."));
        dialog->GetOkButton().click();
    });
    EXPECT_EQ(ShowAddressProperties(*entry, nullptr), QDialog::Accepted);
    EXPECT_EQ(entry->GetDisplayName(), Polish("Zofia Ż."));

    OnNextModal(Cancel);
    EXPECT_EQ(ShowAddressProperties(*entry, nullptr), QDialog::Rejected);
}

TEST(FindAddressTest, FindsShowsTheNumberInPartsAndDeletes)
{
    CAddressBook book;
    views_test::AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "1234567");
    views_test::AddEntry(book, "Anna", "Kowalska", "Anna Kowalska", "501", "7654321");
    views_test::AddEntry(book, "Ewa", "Nowak", "Ewa Nowak", "603", "1111111");
    CFindAddressDialog dialog(book);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Znajdź "));

    QString shown;
    OnNextModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->windowTitle() + "|" + box->text();
        box->accept();
    });
    dialog.GetSearchButton().click();
    EXPECT_EQ(shown, QString::fromUtf8("Znajdź Adres|Wprowaź dane do wyszukania."));

    dialog.GetNameEdit().setText(QStringLiteral("kowal"));
    dialog.GetSearchButton().click();
    const CAddressModel& results = dialog.GetModel();
    ASSERT_EQ(results.rowCount(), 2);
    EXPECT_EQ(Cell(results, 0, 0), "Anna Kowalska");
    EXPECT_EQ(Cell(results, 0, 1), "+48 501 7654321");
    EXPECT_EQ(Cell(results, 1, 0), "Jan Kowalski");
    EXPECT_EQ(Cell(results, 1, 1), "+48 602 1234567");
    dialog.GetResults().SelectRow(1);
    EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("address-find")));

    // The results are text rows without pictures.
    EXPECT_FALSE(results.data(results.index(0, 0), Qt::DecorationRole).isValid());

    OnNextModal([](QWidget* modal) { static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
    dialog.GetDeleteButton().click();
    EXPECT_EQ(results.rowCount(), 1);
    ASSERT_EQ(book.GetEntries().size(), 2u);
    EXPECT_EQ(book.GetEntries()[0]->GetDisplayName(), "Anna Kowalska");
    // Nothing is picked after a delete, so a second "Usuń" asks nothing and deletes nobody.
    EXPECT_EQ(dialog.GetResults().GetSelectedCount(), 0);
    dialog.GetDeleteButton().click();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(book.GetEntries().size(), 2u);

    dialog.GetPhoneEdit().setText(QStringLiteral("111"));
    dialog.GetClearButton().click();
    EXPECT_TRUE(dialog.GetNameEdit().text().isEmpty());
    EXPECT_TRUE(dialog.GetPhoneEdit().text().isEmpty());
    EXPECT_EQ(results.rowCount(), 0);
}

TEST(SelectRecipientsTest, ChoosesOnceEachAndReturnsTheListOnOk)
{
    CAddressBook book;
    CAddress* jan = views_test::AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "1234567");
    CAddress* ewa = views_test::AddEntry(book, "Ewa", "Nowak", "Ewa Nowak", "603", "1111111");
    CAddress* ania = views_test::AddEntry(book, "Anna", "Łęcka", "Anna Łęcka", "501", "2222222");
    std::vector<CAddress*> chosen{jan};
    {
        CSelectRecipientsDialog dialog(book, chosen);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        EXPECT_FALSE(dialog.GetAddButton().isEnabled());
        EXPECT_FALSE(dialog.GetRemoveButton().isEnabled());
        EXPECT_FALSE(dialog.GetPropertiesButton().isEnabled());
        CAddressListCtrl& addresses = dialog.GetAddressList();
        ASSERT_EQ(addresses.GetRowCount(), 3);
        EXPECT_EQ(Cell(*addresses.GetModel(), 0, 0), QString::fromUtf8("Anna Łęcka"));
        EXPECT_EQ(Cell(*addresses.GetModel(), 1, 0), "Ewa Nowak");

        addresses.SelectRow(2); // Jan, already chosen
        EXPECT_TRUE(dialog.GetPropertiesButton().isEnabled());
        EXPECT_FALSE(dialog.GetAddButton().isEnabled());
        addresses.SelectRow(1);
        ASSERT_TRUE(dialog.GetAddButton().isEnabled());
        dialog.GetAddButton().click();
        EXPECT_FALSE(dialog.GetAddButton().isEnabled());
        addresses.SelectRow(0);
        dialog.GetAddButton().click();
        addresses.SelectRow(0);
        EXPECT_FALSE(dialog.GetAddButton().isEnabled());
        EXPECT_EQ(dialog.GetRecipientsList().GetRowCount(), 3);

        dialog.GetRecipientsList().SelectRow(1);
        EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("address-select-recipients")));
        ASSERT_TRUE(dialog.GetRemoveButton().isEnabled());
        dialog.GetRemoveButton().click();
        EXPECT_FALSE(dialog.GetRemoveButton().isEnabled());
        EXPECT_EQ(dialog.GetRecipientsList().GetRowCount(), 2);
        dialog.reject();
    }
    EXPECT_EQ(chosen, std::vector<CAddress*>{jan}) << "Cancel changes nothing";

    CSelectRecipientsDialog dialog(book, chosen);
    dialog.GetAddressList().SelectRow(1);
    dialog.GetAddButton().click();
    dialog.GetAddressList().SelectRow(0);
    dialog.GetAddButton().click();
    // The Delete key takes a recipient back, like "<--".
    dialog.GetRecipientsList().SelectRow(1);
    QTest::keyClick(&dialog.GetRecipientsList().GetTable(), Qt::Key_Delete);
    EXPECT_EQ(dialog.GetRecipientsList().GetRowCount(), 2);
    dialog.accept();
    EXPECT_EQ(chosen, (std::vector<CAddress*>{ania, jan}));
    (void)ewa;
}

TEST(SelectRecipientsTest, NewEntryGoesIntoTheBookAndTheList)
{
    CAddressBook book;
    views_test::AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "1234567");
    std::vector<CAddress*> chosen;
    CSelectRecipientsDialog dialog(book, chosen);
    OnNextModal([](QWidget* modal) { FillEditorAndConfirm(modal, QStringLiteral("Bartek")); });
    dialog.GetNewButton().click();
    ASSERT_EQ(book.GetEntries().size(), 2u);
    EXPECT_EQ(Cell(*dialog.GetAddressList().GetModel(), 0, 0), "Bartek");

    OnNextModal(Cancel);
    dialog.GetNewButton().click();
    EXPECT_EQ(book.GetEntries().size(), 2u);
}

TEST(CheckRecipientsTest, RemovesCreatesAndEdits)
{
    CAddressBook book;
    std::vector<std::string> names{"Marek", "Ola", "Kasia"};
    CCheckRecipientsDialog dialog(names, book);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CReportListCtrl& list = dialog.GetList();
    ASSERT_EQ(list.GetRowCount(), 3);
    EXPECT_EQ(Cell(*list.GetModel(), 1, 0), "Ola");
    EXPECT_EQ(Cell(*list.GetModel(), 1, 1), "<Nieznany>");
    for (QPushButton* button :
         {&dialog.GetRemoveButton(), &dialog.GetCreateButton(), &dialog.GetPropertiesButton()})
        EXPECT_FALSE(button->isEnabled());

    list.SelectRow(1);
    EXPECT_TRUE(dialog.GetRemoveButton().isEnabled());
    EXPECT_TRUE(dialog.GetCreateButton().isEnabled());
    EXPECT_FALSE(dialog.GetPropertiesButton().isEnabled());
    dialog.GetRemoveButton().click();
    EXPECT_EQ(names, (std::vector<std::string>{"Marek", "Kasia"}));
    EXPECT_EQ(list.GetRowCount(), 2);
    EXPECT_FALSE(dialog.GetRemoveButton().isEnabled());

    list.SelectRow(0);
    OnNextModal([](QWidget* modal) {
        EXPECT_EQ(static_cast<CAddressDialog*>(modal)->GetPage().DisplayName().currentText(), "Marek");
        FillEditorAndConfirm(modal, QStringLiteral("Marek Wójcik"));
    });
    dialog.GetCreateButton().click();
    ASSERT_EQ(book.GetEntries().size(), 1u);
    EXPECT_EQ(names, (std::vector<std::string>{Polish("Marek Wójcik"), "Kasia"}));
    EXPECT_EQ(Cell(*list.GetModel(), 0, 0), QString::fromUtf8("Marek Wójcik"));
    EXPECT_EQ(Cell(*list.GetModel(), 0, 1), "+486037654321");
    EXPECT_TRUE(dialog.GetPropertiesButton().isEnabled());
    EXPECT_TRUE(SaveScreenshot(dialog, QStringLiteral("address-check-recipients")));

    OnNextModal([](QWidget* modal) { FillEditorAndConfirm(modal, QStringLiteral("Marek W.")); });
    dialog.GetPropertiesButton().click();
    EXPECT_EQ(names[0], "Marek W.");
    EXPECT_EQ(book.GetEntries()[0]->GetDisplayName(), "Marek W.");
    EXPECT_EQ(Cell(*list.GetModel(), 0, 0), "Marek W.");

    // A cancelled "Utwórz" makes nothing.
    list.SelectRow(1);
    OnNextModal(Cancel);
    dialog.GetCreateButton().click();
    EXPECT_EQ(book.GetEntries().size(), 1u);
    EXPECT_EQ(names[1], "Kasia");
}

} // namespace
