// The main of the settings window's tests: a private Xvfb with a screen taller than the window's
// first height, a QApplication on it, then GoogleTest.
#include "XvfbServer.hpp"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    plinkora::testing::XvfbServer server("1920x1200x24");
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
