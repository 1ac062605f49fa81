#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QTest>

#include "UiTestSupport.h"
#include "app/SettingsStore.h"
#include "ui/LayoutDialog.h"
#include "ui/ResizePropSheet.h"
#include "ui/WindowPlacement.h"

namespace {

TEST(WindowPlacementTest, WritesTheTenNumbers)
{
    CWindowPlacement p;
    p.left = 100;
    p.top = 80;
    p.right = 700;
    p.bottom = 480;
    EXPECT_EQ(p.Format(), "0:1:-1:-1:-1:-1:100:80:700:480");
    p.flags = CWindowPlacement::kRestoreToMaximized;
    p.showCommand = CWindowPlacement::kShowMaximized;
    EXPECT_EQ(p.Format(), "2:3:-1:-1:-1:-1:100:80:700:480");
}

TEST(WindowPlacementTest, ReadsOnlyAllTenNumbers)
{
    const auto p = CWindowPlacement::Parse("2:3:-1:-1:-4:-4:-10:20:700:480");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->flags, 2);
    EXPECT_EQ(p->showCommand, 3);
    EXPECT_EQ(p->maxX, -4);
    EXPECT_EQ(p->left, -10);
    EXPECT_EQ(p->bottom, 480);
    EXPECT_FALSE(CWindowPlacement::Parse("1:2:3"));
    EXPECT_FALSE(CWindowPlacement::Parse(""));
    EXPECT_FALSE(CWindowPlacement::Parse("0:1:-1:-1:-1:-1:100:80:700:x"));
}

TEST(LayoutPageTest, ShowsTheStoredChoicesAndWritesAllThreeOnEachClick)
{
    CMemorySettingsStore settings;
    settings.SetInt("View", "FolderBar", 0);
    CBrivantelLayoutPage page(settings);
    EXPECT_TRUE(page.FolderListBox()->isChecked());
    EXPECT_FALSE(page.FolderBarBox()->isChecked());
    EXPECT_TRUE(page.ToolBarBox()->isChecked());
    EXPECT_EQ(page.FolderListBox()->text(), QStringLiteral("Lista Fol&derów"));
    EXPECT_EQ(page.FolderBarBox()->text(), QStringLiteral("&Pasek Folderu"));
    EXPECT_EQ(page.ToolBarBox()->text(), QStringLiteral("Pasek narzędzi"));
    EXPECT_FALSE(settings.Contains("View", "ToolBar"));

    page.show();
    page.ToolBarBox()->click();
    EXPECT_EQ(settings.GetInt("View", "FolderList", -1), 1);
    EXPECT_EQ(settings.GetInt("View", "FolderBar", -1), 0);
    EXPECT_EQ(settings.GetInt("View", "ToolBar", -1), 0);
    EXPECT_FALSE(page.GetToolBar());
    page.FolderListBox()->click();
    EXPECT_EQ(settings.GetInt("View", "FolderList", -1), 0);
    EXPECT_EQ(settings.GetInt("View", "ToolBar", -1), 0);
}

TEST(LayoutDialogTest, TitleAndButtons)
{
    CMemorySettingsStore settings;
    CBrivantelLayoutDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Właściwości: Wygląd okna"));
    auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    QStringList buttons;
    for (auto* b : box->buttons())
        buttons << b->text().remove(QLatin1Char('&'));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Anuluj"), QStringLiteral("OK")}));
}

TEST(ResizePropSheetTest, FillsItsViewAndGrowsWithIt)
{
    QWidget view;
    view.resize(300, 200);
    auto* sheet = new CResizePropSheet(&view);
    auto* page = new QWidget;
    sheet->addTab(page, QStringLiteral("Strona"));
    sheet->addTab(new QWidget, QStringLiteral("Druga"));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(sheet->size(), QSize(300, 200));
    const QSize pageBefore = page->size();
    view.resize(400, 260);
    QApplication::processEvents();
    EXPECT_EQ(sheet->size(), QSize(400, 260));
    EXPECT_EQ(page->size(), pageBefore + QSize(100, 60));
}

TEST(ResizePropSheetTest, WithoutAParentItSaysSoAndKeepsItsSize)
{
    CResizePropSheet sheet(nullptr);
    sheet.resize(123, 77);
    QString shown;
    OnNextModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    sheet.FitToParent();
    EXPECT_EQ(shown, QStringLiteral("Cannot resize property sheet. Sheet has no parent"));
    EXPECT_EQ(sheet.size(), QSize(123, 77));
}

} // namespace
