#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QTest>

#include "UiTestSupport.h"
#include "app/SettingsStore.h"
#include "app/qt/WebAddress.h"
#include "ui/controls/LinkLabel.h"

namespace {

// Every test opens addresses through a recording opener instead of the desktop's.
class LinkLabelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        web_address::SetOpenerForTesting([this](const QUrl& url) {
            m_opened.push_back(url.toString());
            return m_succeed;
        });
        m_saved = CLinkLabel::GetColors();
    }
    void TearDown() override
    {
        web_address::SetOpenerForTesting({});
        CLinkLabel::SetAllColors(m_saved);
    }

    QStringList m_opened;
    bool m_succeed = true;
    CLinkLabel::Colors m_saved;
};

TEST_F(LinkLabelTest, EmptyAddressTakesTheTextAndTheTooltipShowsIt)
{
    CLinkLabel link(QStringLiteral("http://example.test/a"));
    EXPECT_EQ(link.GetAddress(), QStringLiteral("http://example.test/a"));
    EXPECT_EQ(link.toolTip(), QStringLiteral("http://example.test/a"));
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.GetLinkStyle(), 21);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    CLinkLabel empty(QString(), nullptr, QStringLiteral("http://example.test/b"));
    EXPECT_EQ(empty.text(), QStringLiteral("http://example.test/b"));
    empty.SetAddress(QStringLiteral("http://example.test/c"));
    EXPECT_EQ(empty.toolTip(), QStringLiteral("http://example.test/c"));
}

TEST_F(LinkLabelTest, TabThenSpaceOpensTheLinkAndMarksItVisited)
{
    QWidget window;
    auto* before = new QLabel(QStringLiteral("x"), &window);
    before->setFocusPolicy(Qt::StrongFocus);
    auto* link = new CLinkLabel(QStringLiteral("http://example.test/"), &window);
    link->move(0, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    before->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(link->hasFocus());
    EXPECT_TRUE(link->IsActive());
    EXPECT_EQ(link->TextColor(), QColor(0, 128, 128));
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_EQ(m_opened, QStringList{QStringLiteral("http://example.test/")});
    EXPECT_TRUE(link->IsVisited());
    before->setFocus();
    EXPECT_FALSE(link->IsActive());
    EXPECT_EQ(link->TextColor(), QColor(128, 0, 128));
}

TEST_F(LinkLabelTest, OpensOnReleaseOrOnPressButNeverTwice)
{
    CLinkLabel link(QStringLiteral("http://example.test/"));
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    QTest::mousePress(&link, Qt::LeftButton);
    EXPECT_TRUE(m_opened.isEmpty());
    QTest::mouseRelease(&link, Qt::LeftButton);
    EXPECT_EQ(m_opened.size(), 1);

    ASSERT_TRUE(link.ModifyLinkStyle(0, CLinkLabel::kOpenOnPress));
    QTest::mousePress(&link, Qt::LeftButton);
    EXPECT_EQ(m_opened.size(), 2);
    QTest::mouseRelease(&link, Qt::LeftButton);
    EXPECT_EQ(m_opened.size(), 2);
}

TEST_F(LinkLabelTest, StyleChangeWithTheSameBitToClearAndSetIsRefused)
{
    CLinkLabel link(QStringLiteral("http://example.test/"));
    EXPECT_FALSE(
        link.ModifyLinkStyle(CLinkLabel::kUnderline, CLinkLabel::kUnderline | CLinkLabel::kHoverColor));
    EXPECT_EQ(link.GetLinkStyle(), 21);
    EXPECT_TRUE(link.ModifyLinkStyle(CLinkLabel::kUnderline, CLinkLabel::kHoverColor));
    EXPECT_EQ(link.GetLinkStyle(), 22);
    EXPECT_FALSE(link.font().underline());
}

TEST_F(LinkLabelTest, ColoursFollowHoverActiveAndVisited)
{
    CLinkLabel::SetColors(QColor(1, 2, 3), QColor(4, 5, 6), QColor(7, 8, 9), QColor());
    EXPECT_EQ(CLinkLabel::GetColors().hover, QApplication::palette().color(QPalette::Highlight));
    CLinkLabel::SetColors(QColor(1, 2, 3), QColor(4, 5, 6), QColor(7, 8, 9), QColor(10, 11, 12));
    CLinkLabel link(QStringLiteral("http://example.test/"));
    EXPECT_EQ(link.TextColor(), QColor(1, 2, 3));
    link.SetVisited(true);
    EXPECT_EQ(link.TextColor(), QColor(7, 8, 9));

    link.ModifyLinkStyle(0, CLinkLabel::kHoverColor);
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&link, &enter);
    EXPECT_TRUE(link.IsHover());
    EXPECT_EQ(link.TextColor(), QColor(10, 11, 12));
}

TEST_F(LinkLabelTest, AFailureBeepsAndSaysWhy)
{
    m_succeed = false;
    CLinkLabel link(QStringLiteral("http://example.test/"));
    QString shown;
    OnNextModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    EXPECT_FALSE(link.FollowLink());
    EXPECT_EQ(shown, QStringLiteral("Can't open link:\n\nThere is no application associated\nwith the given "
                                    "filename extension."));
    EXPECT_FALSE(link.IsVisited());
}

TEST(WebAddressTest, BrowserCommandLineIsCutBeforeItsPlaceholder)
{
    const QString address = QStringLiteral("http://example.test/");
    EXPECT_EQ(
        web_address::BrowserCommandLine(QStringLiteral("\"C:\\b\\browser.exe\" -nohome \"%1\""), address),
        QStringLiteral("\"C:\\b\\browser.exe\" -nohome  http://example.test/"));
    EXPECT_EQ(web_address::BrowserCommandLine(QStringLiteral("browser.exe %1 -x"), address),
              QStringLiteral("browser.exe  http://example.test/"));
    EXPECT_EQ(web_address::BrowserCommandLine(QStringLiteral("browser.exe"), address),
              QStringLiteral("browser.exe http://example.test/"));
}

TEST(WebAddressTest, HomePageIsOnTheMakersServer)
{
    CMemorySettingsStore settings;
    EXPECT_EQ(web_address::HomePage(settings), QStringLiteral("http://www.brivantel.example/"));
    settings.SetString("Hosts", "Update", "127.0.0.1:8081");
    EXPECT_EQ(web_address::HomePage(settings), QStringLiteral("http://127.0.0.1:8081/"));
}

TEST(WebAddressTest, ErrorTextsAndWebAddresses)
{
    EXPECT_EQ(web_address::ErrorText(2), QStringLiteral("The specified file was not found."));
    EXPECT_EQ(web_address::ErrorText(26), QStringLiteral("A sharing violation occurred. "));
    EXPECT_EQ(web_address::ErrorText(99), QStringLiteral("Unknown Error (99) occurred."));
    EXPECT_TRUE(web_address::IsWebAddress(QStringLiteral("http://example.test/x?y=1")));
    EXPECT_TRUE(web_address::IsWebAddress(QStringLiteral("HTTPS://example.test/")));
    EXPECT_FALSE(web_address::IsWebAddress(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(web_address::IsWebAddress(QStringLiteral("/usr/bin/xterm")));
    EXPECT_FALSE(web_address::IsWebAddress(QStringLiteral("javascript:alert(1)")));
}

} // namespace
