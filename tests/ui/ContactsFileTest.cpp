#include <gtest/gtest.h>

#include <optional>

#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "contacts/ContactsImport.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/Commands.h"
#include "ui/controls/AddressListCtrl.h"

namespace {

// What the user met on the way through one import or export, answered as the user would: the file
// dialog gets the file, the progress is looked at, the message box is read and closed.
int g_answersGeneration = 0; // moves on when a Dialogs goes: its answering stops with it

struct Dialogs
{
    QString file;
    bool sawProgress = false;
    QString message;
    QString shotPrefix; // screenshots when not empty
    ~Dialogs() { ++g_answersGeneration; }
};

void Answer(Dialogs& d, int ticksLeft = 60000)
{
    QTimer::singleShot(0, [&d, ticksLeft, generation = g_answersGeneration] {
        if (generation != g_answersGeneration)
            return; // the test that asked has ended

        QWidget* modal = QApplication::activeModalWidget();
        if (auto* fd = qobject_cast<QFileDialog*>(modal)) {
            fd->resize(640, 400);
            fd->selectFile(d.file);
            QApplication::processEvents();
            if (!d.shotPrefix.isEmpty())
                SaveScreenshot(*fd, d.shotPrefix + QStringLiteral("-file-dialog"));
            static_cast<QDialog*>(fd)->accept(); // QFileDialog hides its accept()
        } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
            if (!d.sawProgress && !d.shotPrefix.isEmpty())
                SaveScreenshot(*progress, d.shotPrefix + QStringLiteral("-progress"));
            d.sawProgress = true;
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            d.message = box->text();
            if (!d.shotPrefix.isEmpty())
                SaveScreenshot(*box, d.shotPrefix + QStringLiteral("-summary"));
            box->accept();
            return;
        }
        if (ticksLeft > 0)
            Answer(d, ticksLeft - 1);
    });
}

void WriteText(const std::string& path, const std::string& text)
{
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Records the paints of the import's progress window and the bar's value at the first one.
class PaintWatch final : public QObject
{
public:
    PaintWatch() { QApplication::instance()->installEventFilter(this); }
    ~PaintWatch() override { QApplication::instance()->removeEventFilter(this); }
    int paints = 0;
    int firstValue = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (auto* progress = qobject_cast<QProgressDialog*>(watched)) {
                if (paints++ == 0)
                    firstValue = progress->value();
            }
        }
        return false;
    }
};

class ContactsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        views_test::AddEntry(m_doc.GetAddressBook(), "Anna", "Lis", "Anna Lis", "603", "111111");
        m_shown.emplace(m_doc, CommandId::ViewAddressBook);
        m_shown->frame.resize(760, 480);
        m_shown->frame.show();
    }
    CAddressBookView& View() { return m_shown->view; }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::optional<views_test::InFrame<CAddressBookView>> m_shown;
    TempDir m_dir;
};

} // namespace

TEST_F(ContactsFileTest, PopupOffersImportAndExport)
{
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                texts << a->text();
        SaveScreenshot(*menu, QStringLiteral("contacts-popup"));
        menu->close();
    });
    emit View().GetPage().GetList().contextMenuRequested(View().mapToGlobal(QPoint(40, 40)));
    EXPECT_TRUE(texts.contains(QStringLiteral("Importuj kontakty z pliku vCard...")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Eksportuj kontakty do pliku vCard...")));
}

TEST_F(ContactsFileTest, ImportShowsTheSummaryAndTheNewEntries)
{
    const std::string path = m_dir.file("Kontakty.vcf");
    WriteText(path,
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lis;Anna;;;\r\nFN:Anna Lis\r\nTEL;TYPE=CELL:603 111 111\r\n"
              "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:\xC5\xBB"
              "ak;Zofia;;;\r\nFN:Zofia \xC5\xBB"
              "ak\r\n"
              "TEL;TYPE=CELL:+48 602 123 456\r\nTEL;TYPE=HOME:22 628 12 34\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Nowak;Jan;;;\r\nFN:Jan Nowak\r\n"
              "TEL;TYPE=cell:tel:+48-501-234-567\r\nEND:VCARD\r\n");
    Dialogs d{QString::fromStdString(path), false, {}, QStringLiteral("contacts-import")};
    Answer(d);
    m_shown->Run(CommandId::ImportContacts);
    EXPECT_EQ(d.message,
              QStringLiteral("Dodano 2 kontakty, pominięto 1 numer, 1 kontakt był już w książce."));
    EXPECT_FALSE(d.sawProgress);
    ASSERT_EQ(View().GetPage().GetList().GetRowCount(), 3);
    EXPECT_EQ(View().GetPage().GetModel().index(1, 0).data().toString(), QStringLiteral("Jan Nowak"));
    EXPECT_EQ(View().GetPage().GetModel().index(2, 1).data().toString(), QStringLiteral("+48602123456"));
    SaveScreenshot(View(), QStringLiteral("contacts-imported"));
}

TEST_F(ContactsFileTest, RefusedFileIsReportedAndChangesNothing)
{
    const std::string path = m_dir.file("cut.vcf");
    WriteText(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan Nowak\r\nTEL;TYPE=CELL:501234567\r\n");
    Dialogs d{QString::fromStdString(path), false, {}, QStringLiteral("contacts-refused")};
    Answer(d);
    m_shown->Run(CommandId::ImportContacts);
    EXPECT_EQ(d.message,
              QStringLiteral("Nie zaimportowano kontaktów: plik jest ucięty: karta nr 1 nie kończy się "
                             "wierszem END:VCARD."));
    EXPECT_EQ(m_doc.GetAddressBook().GetEntries().size(), 1u);
}

TEST_F(ContactsFileTest, LargeFileShowsProgress)
{
    std::string vcf;
    for (int i = 0; i < 12000; ++i) {
        const std::string n = std::to_string(100000 + i);
        vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kowalski;Jan;;;\r\nFN:Jan Kowalski " + n +
               "\r\nTEL;TYPE=CELL:+48 602 " + n + "\r\nEND:VCARD\r\n";
    }
    ASSERT_GT(vcf.size(), 1024u * 1024u);
    const std::string path = m_dir.file("big.vcf");
    WriteText(path, vcf);
    Dialogs d{QString::fromStdString(path), false, {}, QStringLiteral("contacts-large")};
    Answer(d);
    // No timer runs during the import (see below): the progress is seen where it is painted.
    PaintWatch watch;
    // The mail schedule's timer, as fast as it goes: none of its work may start mid-import.
    int stepsDuringImport = 0;
    m_shown->frame.SetMailStep([&stepsDuringImport] {
        if (QApplication::activeModalWidget() &&
            QApplication::activeModalWidget()->objectName() == QStringLiteral("ContactsProgress"))
            ++stepsDuringImport;
    });
    m_shown->frame.GetMailTimer().setInterval(0);
    m_shown->Run(CommandId::ImportContacts);
    EXPECT_EQ(watch.firstValue, 0) << "the progress window is drawn before the first step";
    EXPECT_GT(watch.paints, 1);
    EXPECT_EQ(stepsDuringImport, 0);
    EXPECT_EQ(d.message,
              QStringLiteral("Dodano 12000 kontaktów, pominięto 0 numerów, 0 kontaktów było już w książce."));
}

TEST_F(ContactsFileTest, ExportWritesTheChosenFile)
{
    const std::string path = m_dir.file("out.vcf");
    Dialogs d{QString::fromStdString(path), false, {}, QStringLiteral("contacts-export")};
    Answer(d);
    m_shown->Run(CommandId::ExportContacts);
    const auto bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Lis;Anna;;;\r\nFN:Anna "
              "Lis\r\nTEL;TYPE=cell:+48603111111\r\nEND:VCARD\r\n");
}
