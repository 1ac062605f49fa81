// What the program publishes to screen readers, read through Qt's accessibility API in-process,
// and the main window driven by the keyboard alone.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <functional>

#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/WebAddress.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/FrameAccess.h"
#include "ui/FrameOnline.h"
#include "ui/controls/BannerBar.h"
#include "ui/controls/BannerCtrl.h"
#include "ui/controls/BannerLabelCtrl.h"
#include "ui/controls/ControlsAccessible.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"
#include "ui/controls/LinkLabel.h"

namespace {

struct Announced
{
    QAccessible::Event type;
    QString name;
};

std::vector<Announced>& Events()
{
    static std::vector<Announced> events;
    return events;
}

void Record(QAccessibleEvent& event)
{
    QAccessibleInterface* iface = event.accessibleInterface();
    Events().push_back({event.type(), iface ? iface->text(QAccessible::Name) : QString()});
}

bool WasAnnounced(QAccessible::Event type, const QString& name)
{
    return std::any_of(Events().begin(), Events().end(),
                       [&](const Announced& e) { return e.type == type && e.name == name; });
}

// Every interface under root, depth first, with the path of names that leads to it.
void Walk(QAccessibleInterface* root, const std::function<void(QAccessibleInterface*)>& visit, int depth = 0)
{
    if (!root || depth > 40)
        return;
    visit(root);
    for (int i = 0; i < root->childCount(); ++i)
        Walk(root->child(i), visit, depth + 1);
}

class AccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Events().clear();
        controls_access::SetListenerForTesting(Record);
        web_address::SetOpenerForTesting([this](const QUrl& url) {
            m_opened.push_back(url.toString());
            return true;
        });
    }
    void TearDown() override
    {
        m_frame.reset();
        controls_access::SetListenerForTesting({});
        web_address::SetOpenerForTesting({});
    }
    CBrivantelFrame& Frame()
    {
        if (!m_frame) {
            m_frame = std::make_unique<CBrivantelFrame>(m_doc, m_settings);
            m_frame->show();
            m_frame->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
        }
        return *m_frame;
    }
    CFolderListCtrl& List() { return Frame().GetFolderListBar().GetList(); }
    QAccessibleInterface* ListInterface() { return QAccessible::queryAccessibleInterface(&List()); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key(key), modifiers);
    }
    // F6 until the folder list has the keyboard; false when it never comes.
    bool FocusFolderList()
    {
        for (int i = 0; i < 6 && !List().hasFocus(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        return List().hasFocus();
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CBrivantelFrame> m_frame;
    std::vector<QString> m_opened;
};

TEST_F(AccessibilityTest, FolderListPublishesEveryGroupAndItsItemsByName)
{
    const struct
    {
        const char* group;
        std::vector<const char*> items;
    } expected[] = {
        {"Wiadomości",
         {"Wyślij wiadomość", "Wiadomości wysyłane", "Wiadomości wysłane", "Wiadomości usunięte",
          "Wiadomości robocze", "Odebrane", "Rozmowy"}},
        {"Książka adresowa", {"Podstawowa"}},
        {"Usługi", {"Sprawdzanie poczty e-mail"}},
        {"Narzędzia", {"Ustawienia"}},
    };
    QAccessibleInterface* list = ListInterface();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::Tree);
    ASSERT_EQ(list->childCount(), 4);
    for (int g = 0; g < 4; ++g) {
        QAccessibleInterface* group = list->child(g);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->text(QAccessible::Name), QString::fromUtf8(expected[g].group));
        EXPECT_EQ(group->role(), QAccessible::TreeItem);
        EXPECT_EQ(group->parent(), list);
        EXPECT_EQ(list->indexOfChild(group), g);
        EXPECT_TRUE(
            group->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        ASSERT_EQ(group->childCount(), static_cast<int>(expected[g].items.size()));
        for (int i = 0; i < group->childCount(); ++i) {
            QAccessibleInterface* item = group->child(i);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->text(QAccessible::Name), QString::fromUtf8(expected[g].items[i]));
            EXPECT_EQ(item->role(), QAccessible::TreeItem);
            EXPECT_EQ(item->parent(), group);
            EXPECT_EQ(group->indexOfChild(item), i);
            // Only the open group's items are on the screen, as far as the list is tall: those
            // below its last whole item wait for its arrow.
            if (g != 0 || i <= Frame().GetFolderListBar().GetList().LastFullyVisibleItem()) {
                EXPECT_EQ(item->state().invisible, g != 0) << g << "/" << i;
            }
        }
    }
    EXPECT_TRUE(list->child(0)->state().expanded);
    EXPECT_TRUE(list->child(3)->state().collapsed);
}

TEST_F(AccessibilityTest, SelectedStateFollowsTheShownViewAndIsAnnounced)
{
    QAccessibleInterface* list = ListInterface();
    EXPECT_TRUE(list->child(0)->child(0)->state().selected); // "Wyślij wiadomość" at start
    Frame().SwitchView(CommandId::ViewAddressBook);
    EXPECT_TRUE(list->child(1)->child(0)->state().selected);
    EXPECT_FALSE(list->child(0)->child(0)->state().selected);
    EXPECT_TRUE(WasAnnounced(QAccessible::Selection, QStringLiteral("Podstawowa")));

    // Pressing an item of a closed group opens the group and shows the view.
    list->child(3)->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Frame().GetCurrentKind(), 1007);
    EXPECT_TRUE(list->child(3)->state().selected);
    EXPECT_FALSE(list->child(0)->state().expanded);
    EXPECT_TRUE(WasAnnounced(QAccessible::Selection, QStringLiteral("Narzędzia")));
}

TEST_F(AccessibilityTest, CaptionIsAHeadingNamedAfterTheShownView)
{
    QAccessibleInterface* caption = QAccessible::queryAccessibleInterface(&Frame().GetFolderBar());
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->role(), QAccessible::Heading);
    EXPECT_EQ(caption->text(QAccessible::Name), QStringLiteral("Wyślij wiadomość"));
    Events().clear();
    Frame().SwitchView(CommandId::ViewDrafts);
    EXPECT_EQ(caption->text(QAccessible::Name), QStringLiteral("Wiadomości robocze"));
    EXPECT_TRUE(WasAnnounced(QAccessible::NameChanged, QStringLiteral("Wiadomości robocze")));
}

TEST_F(AccessibilityTest, NoNameInTheMainWindowHoldsATab)
{
    int named = 0;
    QString newAddressKey, newAddressPrompt;
    for (const CViewInfo& view : ViewTable()) {
        Frame().SwitchView(view.command);
        Walk(QAccessible::queryAccessibleInterface(&Frame()), [&](QAccessibleInterface* iface) {
            const QString name = iface->text(QAccessible::Name);
            named += !name.isEmpty();
            EXPECT_FALSE(name.contains(QLatin1Char('\t')))
                << view.name << ": " << name.toStdString() << " (role " << iface->role() << ")";
            if (iface->role() == QAccessible::MenuItem && name == QStringLiteral("Dodaj Nowy")) {
                newAddressKey = iface->text(QAccessible::Accelerator);
                newAddressPrompt = iface->text(QAccessible::Description);
            }
        });
    }
    EXPECT_GT(named, 100);
    // The view menu's item keeps its key hint and prompt, apart from its name.
    EXPECT_EQ(newAddressKey, QStringLiteral("Insert"));
    EXPECT_EQ(newAddressPrompt, QStringLiteral("Dodaje nową pozycje w Książce Adresowej."));
}

TEST_F(AccessibilityTest, ToolButtonsAreDescribedByTheirPromptsAndKeys)
{
    Frame().SwitchView(CommandId::ViewAddressBook);
    QToolBar* bar = Frame().GetViewToolBar(146);
    ASSERT_NE(bar, nullptr);
    const struct
    {
        CommandId command;
        const char* name;
        const char* description;
    } rows[] = {
        {CommandId::NewAddress, "Dodaj Nowy", "Dodaje nową pozycje w Książce Adresowej. (Insert)"},
        {CommandId::Delete, "Usuń", "Usuwa zaznaczony element (Del)"},
        {CommandId::Find, "Znajdź", "Wyszukuje Adresata (Ctrl+F)"},
    };
    for (const auto& row : rows) {
        QWidget* button = bar->widgetForAction(Frame().Action(row.command));
        ASSERT_NE(button, nullptr) << row.name;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8(row.name));
        EXPECT_EQ(iface->text(QAccessible::Description), QString::fromUtf8(row.description));
    }
}

// The tool buttons take no focus: each of their commands must be in a menu that a key opens.
TEST_F(AccessibilityTest, EveryToolbarCommandIsInAMenuTheKeyboardOpens)
{
    std::function<bool(QMenu*, QAction*)> holds = [&](QMenu* menu, QAction* action) {
        for (QAction* entry : menu->actions()) {
            if (entry == action || (entry->menu() && holds(entry->menu(), action)))
                return true;
        }
        return false;
    };
    for (const CViewInfo& view : ViewTable()) {
        Frame().SwitchView(view.command);
        for (QToolBar* bar : Frame().findChildren<QToolBar*>()) {
            if (!bar->isVisibleTo(&Frame()))
                continue;
            for (QAction* action : bar->actions()) {
                if (action->isSeparator())
                    continue;
                bool found = false;
                for (QAction* top : Frame().menuBar()->actions()) {
                    EXPECT_NE(top->text().indexOf(QLatin1Char('&')), -1) << top->text().toStdString();
                    found = found || (top->menu() && holds(top->menu(), action));
                }
                EXPECT_TRUE(found) << view.name << ": " << action->text().toStdString();
            }
        }
    }
}

TEST(FrameAccessNames, SpokenNameDropsTheMenuKeyAndTheHint)
{
    const struct
    {
        const char* text;
        const char* name;
        const char* hint;
    } rows[] = {
        {"Dodaj &Nowy\tInsert", "Dodaj Nowy", "Insert"},
        {"&Edytuj\tCtrl+E", "Edytuj", "Ctrl+E"},
        {"Ja && Ty", "Ja & Ty", ""},
        {"Ustawienia", "Ustawienia", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(frame_access::SpokenName(QString::fromUtf8(row.text)), QString::fromUtf8(row.name));
        EXPECT_EQ(frame_access::KeyHint(QString::fromUtf8(row.text)), QString::fromUtf8(row.hint));
    }
}

TEST_F(AccessibilityTest, BannerAndLinksArePublishedAsLinksThatPress)
{
    CBannerBar bar;
    bar.GetBanner().SetDefaultAddress(QStringLiteral("https://example.com/brivantel"));
    bar.GetLabel().SetAddress(QStringLiteral("https://example.com/reklama"));
    QAccessibleInterface* banner = QAccessible::queryAccessibleInterface(&bar.GetBanner());
    EXPECT_EQ(banner->role(), QAccessible::Link);
    EXPECT_EQ(banner->text(QAccessible::Name), QStringLiteral("Reklama"));
    EXPECT_EQ(banner->text(QAccessible::Description), QStringLiteral("https://example.com/brivantel"));
    EXPECT_TRUE(banner->state().focusable);
    banner->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QAccessibleInterface* label = QAccessible::queryAccessibleInterface(&bar.GetLabel());
    EXPECT_EQ(label->role(), QAccessible::Link);
    EXPECT_EQ(label->text(QAccessible::Name), QStringLiteral("https://example.com/reklama"));
    EXPECT_EQ(label->text(QAccessible::Description), QStringLiteral("Reklama"));
    label->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(m_opened, (std::vector<QString>{QStringLiteral("https://example.com/brivantel"),
                                              QStringLiteral("https://example.com/reklama")}));

    CLinkLabel link(QStringLiteral("Strona programu"), nullptr, QStringLiteral("https://example.com/"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&link);
    EXPECT_EQ(iface->role(), QAccessible::Link);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Strona programu"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("https://example.com/"));
    EXPECT_FALSE(iface->state().traversed);
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(iface->state().traversed);
    EXPECT_EQ(m_opened.back(), QStringLiteral("https://example.com/"));
}

TEST_F(AccessibilityTest, BannerOpensWithEnterOnceTabReachesIt)
{
    CBannerBar bar;
    bar.GetBanner().SetDefaultAddress(QStringLiteral("https://example.com/brivantel"));
    bar.show();
    bar.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    bar.GetLabel().setFocus(Qt::TabFocusReason);
    QTest::keyClick(&bar.GetLabel(), Qt::Key_Tab);
    ASSERT_TRUE(bar.GetBanner().hasFocus());
    QTest::keyClick(&bar.GetBanner(), Qt::Key_Return);
    EXPECT_EQ(m_opened, std::vector<QString>{QStringLiteral("https://example.com/brivantel")});
    EXPECT_TRUE(SaveScreenshot(bar, QStringLiteral("banner-focus")));
}

TEST_F(AccessibilityTest, ArrowsWalkFolderButtonsAndItemsAndAnnounceTheFocus)
{
    Frame();
    ASSERT_TRUE(FocusFolderList());
    // The keyboard starts on the shown view's item.
    EXPECT_EQ(List().GetKeyFolder(), 0);
    EXPECT_EQ(List().GetKeyItem(), 0);
    EXPECT_EQ(ListInterface()->focusChild(), ListInterface()->child(0)->child(0));
    Events().clear();
    Key(Qt::Key_Down);
    EXPECT_EQ(List().GetKeyItem(), 1);
    EXPECT_TRUE(WasAnnounced(QAccessible::Focus, QStringLiteral("Wiadomości wysyłane")));
    EXPECT_TRUE(ListInterface()->child(0)->child(1)->state().focused);
    const struct
    {
        int key;
        int folder, item;
    } steps[] = {
        {Qt::Key_Up, 0, 0},  {Qt::Key_Up, 0, -1},   {Qt::Key_Up, 0, -1},   {Qt::Key_End, 3, -1},
        {Qt::Key_Up, 2, -1}, {Qt::Key_Down, 3, -1}, {Qt::Key_Home, 0, -1}, {Qt::Key_Down, 0, 0},
    };
    for (const auto& step : steps) {
        Key(step.key);
        EXPECT_EQ(List().GetKeyFolder(), step.folder) << step.key;
        EXPECT_EQ(List().GetKeyItem(), step.item) << step.key;
    }
    EXPECT_TRUE(SaveScreenshot(Frame().GetFolderListBar(), QStringLiteral("folder-list-focus")));
    Key(Qt::Key_End);
    EXPECT_TRUE(SaveScreenshot(Frame().GetFolderListBar(), QStringLiteral("folder-list-focus-button")));
}

TEST_F(AccessibilityTest, EveryViewCanBeShownByKeysAlone)
{
    Frame();
    int shown = 0;
    for (const CViewInfo& view : ViewTable()) {
        ASSERT_TRUE(FocusFolderList()) << view.name;
        // Find the item as a user would: down the column of buttons to its group, open it, then
        // down its items.
        int folder = -1, item = -1;
        for (int f = 0; f < List().GetFolderCount(); ++f)
            for (int i = 0; i < List().GetItemCount(f); ++i)
                if (CommandId(List().GetItemDataOf(f, i)) == view.command)
                    folder = f, item = i;
        ASSERT_GE(folder, 0) << view.name;
        Key(Qt::Key_Home);
        for (int n = 0; n < 20 && !(List().GetKeyFolder() == folder && List().GetKeyItem() < 0); ++n)
            Key(Qt::Key_Down);
        Key(Qt::Key_Return);
        ASSERT_EQ(List().GetCurrentFolder(), folder) << view.name;
        for (int n = 0; n <= item; ++n)
            Key(Qt::Key_Down);
        ASSERT_EQ(List().GetKeyItem(), item) << view.name;
        Key(Qt::Key_Space);
        EXPECT_EQ(Frame().GetCurrentKind(), view.kind) << view.name;
        shown += Frame().GetCurrentKind() == view.kind;
    }
    EXPECT_EQ(shown, kViewCount);
}

TEST_F(AccessibilityTest, F6WalksTheFolderListTheViewAndTheComposingFields)
{
    Frame();
    const std::vector<QWidget*> panes = frame_access::Panes(Frame());
    // The folder list, then the recipients and the text.
    ASSERT_EQ(panes.size(), 3u);
    EXPECT_EQ(panes[0], &List());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(panes[1]));
    EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(panes[2]));
    ASSERT_TRUE(FocusFolderList());
    for (size_t i = 1; i <= panes.size(); ++i) {
        Key(Qt::Key_F6);
        EXPECT_TRUE(panes[i % panes.size()]->hasFocus()) << i;
    }
    Key(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(panes.back()->hasFocus());
}

} // namespace
