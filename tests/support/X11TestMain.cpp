// The main of test programs that need a real X server: a private Xvfb for the whole run
// (PLINKORA_TEST_SCREEN sizes it), a QApplication on it, then GoogleTest. The server goes when
// the run ends, pass or fail.
#include "XvfbServer.hpp"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* screen = std::getenv("PLINKORA_TEST_SCREEN");
    plinkora::testing::XvfbServer server(screen != nullptr ? screen : "1280x800x24");
    server.exportDisplay();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("PLINKORA_LOG", "stderr", 0);
    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
