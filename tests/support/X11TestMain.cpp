// The main of test programs that need a real X server: a private Xvfb for the whole run,
// a QApplication on it, then GoogleTest. The server goes when the run ends, pass or fail.
#include "XvfbServer.hpp"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    plinkora::testing::XvfbServer server;
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
