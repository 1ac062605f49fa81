// Pictures of the settings pages, the mailbox-watch page and the main window with a banner.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "BannerTestSupport.h"
#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FrameOnline.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"

namespace {

TEST(SettingsScreenshotTest, SettingsPagesMailPageAndBanner)
{
    QTemporaryDir data;
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    ASSERT_TRUE(doc.Open(data.filePath(QStringLiteral("Brivantel.vs")).toStdString(),
                         CBrivantelDoc::Access::ReadWrite));
    doc.SetPhonePortName("/dev/ttyUSB0");
    const std::string picture = data.filePath(QStringLiteral("a.jpg")).toStdString();
    ASSERT_TRUE(banner_test::MakeJpeg(picture, 400, 50, QColor(240, 160, 20)));
    ASSERT_TRUE(banner_test::WriteFile(data.filePath(QStringLiteral("Brivantel.adv")).toStdString(),
                                       banner_test::IndexBytes({{"a.jpg", "http://a.example.pl/", 1}})));

    CBrivantelFrame frame(doc, settings);
    frame.resize(780, 560);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.SwitchView(CommandId::ViewSettings);
    auto* view = dynamic_cast<CSettingsView*>(frame.GetActiveView());
    ASSERT_NE(view, nullptr);
    const char* names[] = {"settings-behaviour", "settings-sending", "settings-connection"};
    for (int page = 0; page < 3; ++page) {
        ASSERT_TRUE(view->GetSheet()->SetActivePage(page));
        QApplication::processEvents();
        EXPECT_TRUE(SaveScreenshot(frame, QString::fromLatin1(names[page])));
    }
    frame.SwitchView(CommandId::ViewMailChecker);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("mail-checker")));

    frame.GetOnline().LoadBannerList();
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("main-with-banner-blank")));
    // The picture comes with the rotation's first advance.
    QMetaObject::invokeMethod(&frame.GetBannerTimer(), "timeout", Qt::DirectConnection);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("main-with-banner")));
}

} // namespace
