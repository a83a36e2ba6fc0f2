// Test main: an application object drawing offscreen, settings in a private
// folder, and a scripted dialog responder so that no test waits on a window.
#include "TestSupport.h"

#include "platform/Application.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorbel"));
    Dialogs::SetResponder(&DefaultTestResponder());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Dialogs::SetResponder(nullptr);
    return result;
}
