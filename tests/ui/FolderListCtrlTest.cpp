#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

// The program's folder list, shown at the given size.
class FolderListTest : public ::testing::Test
{
protected:
    void Show(int height)
    {
        m_bar.resize(CFolderListBar::kWidth, height);
        m_list.resize(CFolderListBar::kWidth, height);
        m_bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_bar));
        m_list.SetSlideDelay(0);
    }

    QPoint Center(const QRect& r) const { return r.center(); }

    CFolderListBar m_bar{nullptr};
    CFolderListCtrl& m_list = m_bar.GetList();
};

TEST_F(FolderListTest, HoldsTheProgramsGroupsAndEntries)
{
    ASSERT_EQ(m_list.GetFolderCount(), 4);
    EXPECT_EQ(m_list.GetItemCount(0), 7);
    EXPECT_EQ(m_list.GetItemCount(1), 1);
    EXPECT_EQ(m_list.GetItemCount(2), 1);
    EXPECT_EQ(m_list.GetItemCount(3), 1);
    const CommandId commands[] = {CommandId::ViewSend,     CommandId::ViewOutbox,       CommandId::ViewSent,
                                  CommandId::ViewDeleted,  CommandId::ViewDrafts,       CommandId::ViewReceived,
                                  CommandId::ViewConversations};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(m_bar.GetItemCommand(i), commands[i]);
    EXPECT_EQ(m_bar.GetItemCommand(7), CommandId::None);
    EXPECT_EQ(m_bar.GetItemCommand(-1), CommandId::None);
}

TEST_F(FolderListTest, ButtonsAreStackedAboveAndBelowTheOpenGroup)
{
    Show(500);
    const QRect client = m_list.contentsRect();
    EXPECT_EQ(m_list.FolderRect(0), QRect(client.left(), client.top(), client.width(), 22));
    EXPECT_EQ(m_list.FolderRect(3).bottom(), client.bottom());
    EXPECT_EQ(m_list.FolderRect(1).top(), client.bottom() + 1 - 3 * 22);
    EXPECT_EQ(m_list.ItemsArea().top(), client.top() + 22);
    EXPECT_EQ(m_list.ItemsArea().bottom(), m_list.FolderRect(1).top() - 1);

    // Items: 5 pixels below the area's top, then label height + 3 + icon + 8, plus 8 between.
    const QRect icon0 = m_list.ItemIconRect(0);
    const QRect label0 = m_list.ItemLabelRect(0);
    EXPECT_EQ(icon0.top(), m_list.ItemsArea().top() + 5);
    EXPECT_EQ(icon0.size(), QSize(32, 32));
    EXPECT_EQ(label0.top(), icon0.bottom() + 1 + 3);
    EXPECT_NEAR(icon0.center().x(), client.center().x(), 1);
    const int itemHeight = 8 + 3 + label0.height() + 32;
    EXPECT_EQ(m_list.ItemIconRect(1).top() - icon0.top(), itemHeight + 8);
}

TEST_F(FolderListTest, HitTestFindsButtonsIconsLabelsAndNothing)
{
    Show(500);
    auto hit = m_list.HitTest(Center(m_list.FolderRect(2)));
    EXPECT_EQ(hit.kind, CFolderListCtrl::HitKind::Folder);
    EXPECT_EQ(hit.index, 2);
    hit = m_list.HitTest(Center(m_list.ItemIconRect(1)));
    EXPECT_EQ(hit.kind, CFolderListCtrl::HitKind::Item);
    EXPECT_EQ(hit.index, 1);
    hit = m_list.HitTest(Center(m_list.ItemLabelRect(3)));
    EXPECT_EQ(hit.kind, CFolderListCtrl::HitKind::Item);
    EXPECT_EQ(hit.index, 3);
    // Beside an icon, on the background.
    hit = m_list.HitTest(QPoint(m_list.contentsRect().left() + 2, m_list.ItemIconRect(0).center().y()));
    EXPECT_EQ(hit.kind, CFolderListCtrl::HitKind::Nothing);
}

TEST_F(FolderListTest, ClickOnAnItemNotifiesItsIndex)
{
    Show(500);
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.ItemIconRect(2)));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CFolderListCtrl::kItemClicked);
    EXPECT_EQ(spy[0][1].toInt(), 2);
    EXPECT_EQ(CommandId(m_list.GetItemData(2)), CommandId::ViewSent);
}

TEST_F(FolderListTest, PressMovedOffAndReleasedElsewhereSendsNothing)
{
    Show(500);
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    QTest::mousePress(&m_list, Qt::LeftButton, {}, Center(m_list.ItemIconRect(0)));
    QTest::mouseMove(&m_list, Center(m_list.ItemIconRect(1)));
    QTest::mouseRelease(&m_list, Qt::LeftButton, {}, Center(m_list.ItemIconRect(1)));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(FolderListTest, AGroupButtonOpensTheGroupUnderThePointerAtRelease)
{
    Show(500);
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    // Released over the open group's own button: nothing changes.
    QTest::mousePress(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(1)));
    QTest::mouseRelease(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(0)));
    EXPECT_EQ(spy.count(), 0);
    // Pressed on one button and released over another: the one under the pointer opens.
    QTest::mousePress(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(1)));
    QTest::mouseRelease(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(2)));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CFolderListCtrl::kFolderChanged);
    EXPECT_EQ(spy[0][1].toInt(), 2);
    EXPECT_EQ(m_list.GetCurrentFolder(), 2);
}

TEST_F(FolderListTest, ToolsSlidesTheGroupsUpAndShowsSettings)
{
    Show(500);
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    m_list.SetSlideDelay(10);
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(3)));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), CFolderListCtrl::kFolderChanged);
    EXPECT_EQ(spy[0][1].toInt(), 3);
    EXPECT_EQ(m_list.GetCurrentFolder(), 3);
    const int top = m_list.contentsRect().top();
    EXPECT_EQ(m_list.FolderRect(1).top(), top + 22);
    EXPECT_EQ(m_list.FolderRect(2).top(), top + 44);
    EXPECT_EQ(m_list.FolderRect(3).top(), top + 66);
    EXPECT_EQ(CommandId(m_list.GetItemData(0)), CommandId::ViewSettings);
    EXPECT_EQ(m_list.GetItemData(1), 0);

    // Back to the messages: the buttons slide down again.
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(0)));
    EXPECT_EQ(m_list.GetCurrentFolder(), 0);
    EXPECT_EQ(m_list.FolderRect(1).bottom(), m_list.contentsRect().bottom() - 2 * 22);
}

TEST_F(FolderListTest, ClickOnTheOpenGroupDoesNothing)
{
    Show(500);
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(0)));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(FolderListTest, ArrowsScrollAShortListOneItemPerClick)
{
    Show(230);
    ASSERT_TRUE(m_list.DownArrowShown());
    EXPECT_FALSE(m_list.UpArrowShown());
    const int visible = m_list.LastFullyVisibleItem() + 1;
    ASSERT_LT(visible, 7);
    int clicks = 0;
    while (m_list.DownArrowShown() && clicks < 10) {
        QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.DownArrowRect()));
        ++clicks;
        EXPECT_EQ(m_list.GetFirstVisibleItem(), clicks);
    }
    // Labels of one or two lines: once scrolled, more than the first screenful may fit.
    EXPECT_GT(clicks, 0);
    EXPECT_LE(clicks, 7 - visible);
    EXPECT_EQ(m_list.LastFullyVisibleItem(), 6);
    EXPECT_TRUE(m_list.UpArrowShown());
    // The arrows cover the items: a click there scrolls back instead of opening an item.
    QSignalSpy spy(&m_list, &CFolderListCtrl::notify);
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.UpArrowRect()));
    EXPECT_EQ(m_list.GetFirstVisibleItem(), clicks - 1);
    EXPECT_EQ(spy.count(), 0);
    // Another group starts at its top again.
    QTest::mouseClick(&m_list, Qt::LeftButton, {}, Center(m_list.FolderRect(1)));
    EXPECT_EQ(m_list.GetFirstVisibleItem(), 0);
}

TEST_F(FolderListTest, RepaintsWithTheNewColoursAfterAColourChange)
{
    Show(500);
    const QPoint inside(m_list.contentsRect().left() + 3, m_list.ItemsArea().bottom() - 3);
    const QColor before = m_list.grab().toImage().pixelColor(inside);
    EXPECT_EQ(before.rgb(), m_list.BackgroundColor().rgb());
    QPalette pal = m_list.palette();
    pal.setColor(QPalette::Dark, QColor(20, 90, 40));
    m_list.setPalette(pal);
    const QColor after = m_list.grab().toImage().pixelColor(inside);
    EXPECT_NE(after.rgb(), before.rgb());
    EXPECT_EQ(after.rgb(), m_list.BackgroundColor().rgb());
}

TEST(FolderCaptionBarTest, ShowsTheViewsNameAndIcon)
{
    CFolderCaptionBar bar;
    bar.SetNames(KindName);
    EXPECT_EQ(bar.GetText(), QStringLiteral("Status"));
    bar.SetView(1005);
    EXPECT_EQ(bar.GetText(), QStringLiteral("Książka adresowa"));
    EXPECT_EQ(bar.GetIconIndex(), 5);
    EXPECT_GE(bar.sizeHint().height(), CFolderCaptionBar::kMinimumHeight);
}

TEST(FolderCaptionBarTest, GradientStartsOneStepDarkerAndDarkensToTheRight)
{
    const auto g = CFolderCaptionBar::MakeGradient(QColor(128, 64, 200));
    EXPECT_EQ(g[0], QColor(126, 63, 197));
    EXPECT_EQ(g[1], QColor(124, 62, 194));
    EXPECT_EQ(g[63], QColor(0, 0, 8));
    // A part that is 0 stays 0; each step takes a 64th of the caption colour, rounded down.
    EXPECT_EQ(CFolderCaptionBar::MakeGradient(QColor(0, 0, 255))[63], QColor(0, 0, 63));

    CFolderCaptionBar bar;
    QPalette pal = bar.palette();
    pal.setColor(QPalette::Active, QPalette::Highlight, QColor(128, 64, 200));
    bar.setPalette(pal);
    bar.resize(640, 40);
    const QImage image = bar.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 1), QColor(126, 63, 197));
    EXPECT_EQ(image.pixelColor(639, 1), bar.GetGradient()[639 * 63 / 640]);
}

} // namespace
