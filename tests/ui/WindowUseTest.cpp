// The window as a user meets it: the texts of the boxes, the view menus, the settings file, a
// send that can be stopped, the sizes of lists and pictures.
#include <gtest/gtest.h>

#include <chrono>

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "TestHttpServer.h"
#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/TextCodec.h"
#include "net/StopRequest.h"
#include "store/Message.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/BrivantelFrame.h"
#include "ui/FolderListBar.h"
#include "ui/Icons.h"
#include "ui/OutboxView.h"
#include "ui/OwnGatewayDialog.h"
#include "ui/ProgressDlg.h"
#include "ui/QtUserInterface.h"
#include "ui/SendFailedDlg.h"
#include "ui/SettingsGatewayPage.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/FolderListCtrl.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

bool HasEditMarks(const QString& text)
{
    return text.contains(QChar(0xE00A)) || text.contains(QChar(0xE00D));
}

// --- boxes ------------------------------------------------------------------------------------

// Every multi-line text of a box reads with real line breaks, whatever the stored line ends.
TEST(BoxTextTest, MultiLineBoxesShowLineBreaks)
{
    CQtUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    auto queued = std::make_unique<CMessage>("Jan", "tekst");
    ASSERT_TRUE(doc.GetOutbox().AddMessage(queued));

    QString closeQuestion;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        closeQuestion = box->text();
        EXPECT_TRUE(SaveScreenshot(*box, QStringLiteral("close-question")));
        box->button(QMessageBox::No)->click();
    });
    doc.OfferToSendOutbox();
    EXPECT_EQ(closeQuestion, QStringLiteral("W folderze \"Wysyłane wiadomości\" znajdują się niewysłane "
                                            "wiadomości.\nCzy chesz je wysłać teraz?"));

    const struct
    {
        const char* stored;
        const char* shown;
    } messages[] = {
        {"Błąd podczas sprawdania poczty.\n-ERR brak dostępu",
         "Błąd podczas sprawdania poczty.\n-ERR brak dostępu"},
        {"Plik danych jest tylko do odczytu.\r\nProgram działa dalej.",
         "Plik danych jest tylko do odczytu.\nProgram działa dalej."},
        {"Aplikacja zostanie zakończona. \n Po ściagnięciu",
         "Aplikacja zostanie zakończona. \n Po ściagnięciu"},
        {"jeden\rdwa", "jeden\ndwa"},
    };
    for (const auto& m : messages) {
        QString shown;
        OnNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shown = box->text();
            box->accept();
        });
        ui.ShowMessage(Polish(m.stored), CUserInterface::Icon::Exclamation);
        EXPECT_EQ(shown, QString::fromUtf8(m.shown)) << m.stored;
        EXPECT_FALSE(HasEditMarks(shown));
    }

    // The failure dialog: the route's warning above the rest on a line of its own; the message
    // itself sits in an edit, which keeps its lone line ends as they are stored.
    QString information, text;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CSendFailedDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        information = dialog->GetInformation();
        text = dialog->GetText();
        EXPECT_TRUE(SaveScreenshot(*dialog, QStringLiteral("send-failed-warning")));
        dialog->accept();
    });
    ui.ShowSendFailed(Polish("linia\r\ndruga"), "Jan",
                      Polish("Telefon nie potwierdził wysyłki.\nWiadomość została umieszczona w folderze."));
    EXPECT_EQ(information,
              QStringLiteral("Telefon nie potwierdził wysyłki.\nWiadomość została umieszczona w folderze."));
    EXPECT_EQ(text, QStringLiteral("linia\ndruga"));
}

// --- menus ------------------------------------------------------------------------------------

class WindowTest : public ::testing::Test
{
protected:
    CBrivantelFrame& ShownFrame()
    {
        m_frame = std::make_unique<CBrivantelFrame>(m_doc, m_settings);
        m_frame->SetMailStep([] {});
        m_frame->resize(760, 540);
        m_frame->show();
        m_frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
        return *m_frame;
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CBrivantelFrame> m_frame;
};

const CommandId kViews[] = {CommandId::ViewSend,        CommandId::ViewOutbox,  CommandId::ViewSent,
                            CommandId::ViewDeleted,     CommandId::ViewDrafts,  CommandId::ViewAddressBook,
                            CommandId::ViewMailChecker, CommandId::ViewSettings};

// Clicks the view's menu title; true when its menu dropped down (and closes it again).
bool OpenViewMenu(CBrivantelFrame& frame)
{
    QMenuBar* bar = frame.menuBar();
    QAction* slot = bar->actions().value(2);
    if (!slot || !slot->isVisible())
        return false;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(slot).center());
    QMenu* menu = slot->menu();
    const bool shown = QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000);
    if (shown) {
        menu->close();
        EXPECT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 1000));
    }
    return shown;
}

// A view without commands has no menu, and every view's menu opens after every other view's was
// clicked (an empty menu once left the bar unable to drop any later one down).
TEST_F(WindowTest, EveryViewsMenuOpensAfterEveryOthers)
{
    CBrivantelFrame& frame = ShownFrame();
    for (CommandId first : kViews) {
        for (CommandId second : kViews) {
            frame.SwitchView(first);
            OpenViewMenu(frame);
            frame.SwitchView(second);
            const bool hasCommands = !ViewMenu(frame.GetCurrentKind()).empty();
            EXPECT_EQ(frame.menuBar()->actions().value(2)->isVisible(), hasCommands)
                << frame.GetCurrentKind();
            EXPECT_EQ(OpenViewMenu(frame), hasCommands)
                << "after " << static_cast<int>(first) << ", view " << frame.GetCurrentKind();
        }
    }
}

// A double-click on the tray icon waits, like the tray menu, while a modal dialog is up.
TEST_F(WindowTest, TrayDoubleClickWaitsForAModalDialog)
{
    CBrivantelFrame& frame = ShownFrame();
    frame.SwitchView(CommandId::ViewOutbox);
    int kindUnderDialog = 0;
    OnNextModal([&](QWidget* modal) {
        frame.OnTrayActivated(QSystemTrayIcon::DoubleClick);
        kindUnderDialog = frame.GetCurrentKind();
        static_cast<QDialog*>(modal)->reject();
    });
    QDialog dialog(&frame);
    dialog.exec();
    EXPECT_EQ(kindUnderDialog, 1001);
    frame.OnTrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(frame.GetCurrentKind(), 1000);
}

// Pictures of the main window with each folder, to be looked at (at scale 1 and 2).
class WindowShots : public WindowTest
{
};

TEST_F(WindowShots, TheMainWindowWithEachFolder)
{
    const char* names[] = {"Agnieszka Wiśniewska", "Jan Kowalski", "+48602123456"};
    for (const char* name : names) {
        for (CMessageList* folder : std::initializer_list<CMessageList*>{
                 &m_doc.GetOutbox(), &m_doc.GetSent(), &m_doc.GetDrafts(), &m_doc.GetDeletedMessages()}) {
            auto message = std::make_unique<CMessage>(Polish(name), Polish("Spotkanie o 18:00 w kawiarni."));
            ASSERT_TRUE(folder->AddMessage(message));
        }
    }
    views_test::AddEntry(m_doc.GetAddressBook(), "Agnieszka", "Wiśniewska", "Agnieszka Wiśniewska", "602",
                         "1234567");
    views_test::AddEntry(m_doc.GetAddressBook(), "Jan", "Kowalski", "Jan Kowalski", "501", "7654321");
    CBrivantelFrame& frame = ShownFrame();
    for (CommandId command : kViews) {
        frame.SwitchView(command);
        QApplication::processEvents();
        EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("window-%1").arg(frame.GetCurrentKind())));
    }
}

// --- sizes --------------------------------------------------------------------------------------

// A new record's 100-pixel name column takes the names' width (at most 40% of the list); a width
// the user set is kept. The folder list fits its longest group title.
TEST_F(WindowTest, ColumnsFitTheirNamesAndTheFolderListItsTitles)
{
    const std::string longName = Polish("Agnieszka Wiśniewska-Kowalczyk");
    auto message = std::make_unique<CMessage>(longName, "Spotkanie o 18:00 w kawiarni przy rynku.");
    ASSERT_TRUE(m_doc.GetOutbox().AddMessage(message));
    CBrivantelFrame& frame = ShownFrame();
    frame.SwitchView(CommandId::ViewOutbox);
    auto* view = dynamic_cast<COutboxView*>(frame.GetActiveView());
    ASSERT_NE(view, nullptr);
    CReportListCtrl& list = view->GetList();
    QApplication::processEvents();
    const int nameWidth = list.GetTable().fontMetrics().horizontalAdvance(text_codec::ToQString(longName));
    EXPECT_GE(list.GetColumnWidth(0), std::min(nameWidth, list.width() * 2 / 5));
    EXPECT_LE(list.GetColumnWidth(0), list.width() * 2 / 5);
    EXPECT_GT(list.GetColumnWidth(1), 100); // the text too
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("window-outbox-long-name")));

    m_doc.GetOutboxViewData().recipientsWidth = 130;
    frame.SwitchView(CommandId::ViewOutbox);
    QApplication::processEvents();
    EXPECT_EQ(dynamic_cast<COutboxView*>(frame.GetActiveView())->GetList().GetColumnWidth(0), 130);

    // The address book's two columns, in the page of its sheet.
    views_test::AddEntry(m_doc.GetAddressBook(), "Agnieszka", "Wiśniewska-Kowalczyk",
                         "Agnieszka Wiśniewska-Kowalczyk", "602", "1234567");
    frame.SwitchView(CommandId::ViewAddressBook);
    QApplication::processEvents();
    auto* book = dynamic_cast<CAddressBookView*>(frame.GetActiveView());
    ASSERT_NE(book, nullptr);
    EXPECT_GT(book->GetPage().GetList().GetColumnWidth(0), 100);
    EXPECT_GT(book->GetPage().GetList().GetColumnWidth(1), 100);

    QFont bold = frame.GetFolderListBar().GetList().font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Książka adresowa"));
    const CFolderListCtrl& folders = frame.GetFolderListBar().GetList();
    EXPECT_GE(folders.FolderRect(1).width() - 8, title);
}

// The sending-methods list shows its four rows (the three gateways and the own one) whole.
TEST_F(WindowTest, SendingMethodsListShowsFourRows)
{
    m_settings.SetString("Gateway", "Enabled", "1");
    m_settings.SetString("Gateway", "Url", "http://127.0.0.1:9/sms");
    CBrivantelFrame& frame = ShownFrame();
    frame.SwitchView(CommandId::ViewSettings);
    auto* view = dynamic_cast<CSettingsView*>(frame.GetActiveView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->GetSheet()->SetActivePage(CSettingsSheet::kGateway));
    QTreeWidget* methods = view->GetSheet()->GetGatewayPage().MethodList();
    QApplication::processEvents();
    ASSERT_EQ(methods->topLevelItemCount(), 4);
    const QRect last = methods->visualItemRect(methods->topLevelItem(3));
    EXPECT_LE(last.bottom(), methods->viewport()->height());
    EXPECT_FALSE(methods->verticalScrollBar()->isVisible());
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("window-settings-sending")));
}

// The pictures hold the screen's own pixels: at scale 2 each is a 2x render of its SVG, not a 1x
// one stretched.
TEST(IconScaleTest, PicturesAreDrawnAtTheScreensPixelRatio)
{
    const qreal dpr = qApp->devicePixelRatio();
    const QPixmap pixmap = icons::ViewPixmap(0, 32);
    EXPECT_EQ(pixmap.devicePixelRatio(), dpr);
    ASSERT_EQ(pixmap.width(), qCeil(32 * dpr));
    QImage expected(pixmap.width(), pixmap.height(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
        QPainter p(&expected);
        p.setRenderHint(QPainter::Antialiasing);
        QSvgRenderer(QStringLiteral(":/icons/view-compose.svg"))
            .render(&p, QRectF(0, 0, pixmap.width(), pixmap.height()));
    }
    EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
    EXPECT_EQ(icons::AppPixmap(48).devicePixelRatio(), dpr);
    EXPECT_EQ(icons::AppPixmap(48).width(), qCeil(48 * dpr));
}

// --- the settings file ------------------------------------------------------------------------

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Asked once, up front: a QSettings object going away writes what any other one holds.
        m_path = QSettings(QStringLiteral("Orvella Systems"), QStringLiteral("Brivantel")).fileName();
        QFile::remove(m_path);
    }
    void TearDown() override { QFile::remove(m_path); }
    QString Path() const { return m_path; }
    static bool OwnerOnly(const QString& path)
    {
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                            QFile::WriteOther | QFile::ExeOther;
        return QFile::exists(path) && (QFile::permissions(path) & others) == 0;
    }

    QString m_path;
};

// From the first byte written with the own gateway's section the file is the owner's alone, not
// only after the program's last sync.
TEST_F(SettingsFileTest, TheGatewayTokenIsNeverReadableByOthers)
{
    CQtSettingsStore store;
    store.SetString("Settings", "Sign", "Jan");
    store.Sync();
    ASSERT_TRUE(QFile::exists(Path()));
    store.SetString("Gateway", "Headers", "Authorization: Bearer T0K3N");
    EXPECT_TRUE(OwnerOnly(Path()));
    QApplication::processEvents(); // QSettings writes on its own here
    QApplication::sendPostedEvents();
    EXPECT_TRUE(OwnerOnly(Path()));
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("T0K3N")) << "the test needs the token on disk";
}

// What `brivantel-cli config set` writes while the program runs is what the program uses next;
// a value the program changed itself and has not written yet stays.
TEST_F(SettingsFileTest, ValuesChangedOnDiskAreReadAtTheMomentOfUse)
{
    CQtSettingsStore store;
    store.SetString("Hosts", "Era", "stary.example:80");
    store.Sync();
    EXPECT_EQ(store.GetString("Hosts", "Era"), "stary.example:80");
    store.SetString("Hosts", "Plus", "moj.example:81"); // not written yet

    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Hosts]\nEra=127.0.0.1:5555\nIdea=127.0.0.1:5556\n");
    file.close();
    // A later time stamp, as a write a moment later has.
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    file.close();

    EXPECT_EQ(store.GetString("Hosts", "Era"), "127.0.0.1:5555");
    EXPECT_EQ(store.GetString("Hosts", "Idea"), "127.0.0.1:5556");
    EXPECT_EQ(store.GetString("Hosts", "Plus"), "moj.example:81");
}

// --- a send that can be stopped ------------------------------------------------------------------

// Runs `act` once, at the first wait-hook round in which `ready` holds: the test's hand while the
// program waits on the network (timers do not run then, posted calls do).
void DuringTheWait(std::function<bool()> ready, std::function<void()> act)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [ready, act, poll] {
        if (ready())
            act();
        else
            QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(qApp, *poll, Qt::QueuedConnection);
}

// Clicks a button the way the window system hands a click over.
void ClickAsTheUser(QAbstractButton* button)
{
    QWidget* window = button->window();
    const QPoint at = button->mapTo(window, button->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
}

class StopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        net_stop::ClearUserRequest();
        // Era's first page and the own gateway's address: the server takes the request and never
        // answers.
        for (const char* path : {"/sms/sms.asp", "/sms"})
            m_server.Route(path, TestHttpServer::Reply{{}, 0, false, true});
        for (const char* name : {"Era", "Idea", "Plus"})
            m_settings.SetString("Hosts", name, m_server.HostPort());
        GatewayTimeouts slow; // long enough that only the stop can end the wait in time
        slow.socket.read = std::chrono::milliseconds(20000);
        slow.exchange = std::chrono::milliseconds(20000);
        m_doc.GetSender().SetTimeouts(slow);
    }

    TestHttpServer m_server;
    CQtUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
};

// "Przerwij" on the progress ends the wait within a second; the number being sent and the one
// after it stay in the outbox, and the failure dialog says the sending was stopped. Other windows
// get no input meanwhile.
TEST_F(StopTest, PrzerwijStopsTheSendAndKeepsTheNumbersQueued)
{
    QWidget other;
    auto* otherButton = new QPushButton(QStringLiteral("Inne"), &other);
    int otherClicks = 0;
    QObject::connect(otherButton, &QPushButton::clicked, [&otherClicks] { ++otherClicks; });
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

    QElapsedTimer sinceClick;
    const auto stopButton = [this]() -> QPushButton* {
        CProgressDlg* progress = m_ui.GetProgress();
        return progress ? progress->findChild<QPushButton*>(QStringLiteral("StopButton")) : nullptr;
    };
    DuringTheWait([&] { return stopButton() && stopButton()->isVisible() && !m_server.Requests().empty(); },
                  [&] {
                      QPushButton* stop = stopButton();
                      EXPECT_EQ(stop->text(), QStringLiteral("Przerwij"));
                      EXPECT_TRUE(stop->isEnabled());
                      EXPECT_TRUE(SaveScreenshot(*m_ui.GetProgress(), QStringLiteral("send-progress-stop")));
                      ClickAsTheUser(otherButton);
                      sinceClick.start();
                      ClickAsTheUser(stop);
                  });
    QString information, recipient;
    qint64 stoppedAfter = -1;
    OnNextModal([&](QWidget* modal) {
        stoppedAfter = sinceClick.elapsed();
        auto* dialog = qobject_cast<CSendFailedDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        information = dialog->GetInformation();
        recipient = dialog->GetRecipient();
        EXPECT_TRUE(SaveScreenshot(*dialog, QStringLiteral("send-failed-stopped")));
        dialog->accept();
    });
    QElapsedTimer whole;
    whole.start();
    m_doc.SendToRecipients("Jan;Ewa", "+48602123456;+48602654321", "tekst", ROUTE_INTERNET);
    ASSERT_TRUE(sinceClick.isValid()) << "the stop button was never there";
    EXPECT_GE(stoppedAfter, 0);
    EXPECT_LT(stoppedAfter, 1000);
    EXPECT_LT(whole.elapsed(), 15000);
    EXPECT_EQ(otherClicks, 0);
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 2u);
    EXPECT_EQ(m_doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(m_server.Requests().size(), 1u); // the second number was never tried
    EXPECT_TRUE(information.startsWith(QStringLiteral("Wysyłanie zostało przerwane.\n")))
        << information.toStdString();
    EXPECT_EQ(recipient, QStringLiteral("+48602123456;+48602654321"));
    EXPECT_FALSE(net_stop::Requested()) << "the stop ends with its send";
}

// The own gateway's test: "Anuluj" acts within a second while the gateway does not answer.
TEST_F(StopTest, OwnGatewayTestCancelActsAtOnce)
{
    m_settings.SetString("Gateway", "Url", "http://" + m_server.HostPort() + "/sms");
    COwnGatewayDialog dialog(m_doc);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QLineEdit*>(QStringLiteral("TestNumber"))->setText(QStringLiteral("+48602123456"));
    auto* cancel = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
    QElapsedTimer sinceClick;
    DuringTheWait([&] { return !m_server.Requests().empty(); },
                  [&] {
                      sinceClick.start();
                      ClickAsTheUser(cancel);
                  });
    dialog.findChild<QPushButton*>(QStringLiteral("SendTest"))->click();
    ASSERT_TRUE(sinceClick.isValid());
    EXPECT_LT(sinceClick.elapsed(), 1000);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(net_stop::Requested());
}

} // namespace
