// Widget tests run without a display: Qt's offscreen platform, Qt's Polish texts loaded as the
// program loads them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "app/qt/BrivantelApp.h"

int main(int argc, char** argv)
{
    // The end-to-end run under xvfb-run keeps the X display it was given.
    if (qEnvironmentVariableIsEmpty("BRIVANTEL_XVFB_CHILD"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing here may touch the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvella Systems"));
    QCoreApplication::setApplicationName(QStringLiteral("Brivantel"));
    if (!CBrivantelApp::LoadQtTranslation(app)) {
        fprintf(stderr, "Qt's Polish translation qtbase_pl is missing: install the Debian package "
                        "qt6-translations-l10n\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
