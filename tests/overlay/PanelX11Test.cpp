// The panel on a real X server: mapping, the window-manager hints, refitting to the work
// area, and a click from outside the process.
#include "ChildProcess.hpp"
#include "app/QtScheduler.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace plinkora {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

bool waitFor(const std::function<bool()>& condition, int milliseconds = 3000) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (condition()) {
            return true;
        }
        QTest::qWait(10);
    }
    return condition();
}

std::string windowInfo(WId window) {
    return testing::runCommand({"xwininfo", "-id", std::to_string(window)});
}

std::string property(WId window, const char* name) {
    return testing::runCommand({"xprop", "-id", std::to_string(window), name});
}

void setWorkArea(const std::string& area) {
    int status = -1;
    if (area.empty()) {
        testing::runCommand({"xprop", "-root", "-remove", "_NET_WORKAREA"}, {}, &status);
    } else {
        testing::runCommand(
            {"xprop", "-root", "-format", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", area},
            {}, &status);
    }
    ASSERT_EQ(status, 0);
}

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

class PanelX11Test : public ::testing::Test {
protected:
    PanelX11Test() {
        controller.setScale(music::Scale{});
        controller.setOnStrike(
            [this](int zone, double x, double y, StrikeSource source, std::uint8_t) {
                strikes.push_back({zone, x, y, source});
            });
    }

    struct Strike {
        int zone;
        double x;
        double y;
        StrikeSource source;
    };
    OverlayController controller;
    std::vector<Strike> strikes;
};

TEST_F(PanelX11Test, ShowMapsOneHintedPanelOverTheScreenAndHideUnmapsIt) {
    controller.hide();
    EXPECT_EQ(controller.panel(), nullptr) << "hiding a never-shown overlay does nothing";
    EXPECT_FALSE(controller.isShowing());

    controller.show();
    OverlayPanel* panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_TRUE(controller.isShowing());
    const WId window = panel->winId();
    const std::string info = windowInfo(window);
    EXPECT_THAT(info, HasSubstr("Map State: IsViewable"));
    EXPECT_THAT(info, HasSubstr("Absolute upper-left X:  0\n"));
    EXPECT_THAT(info, HasSubstr("Absolute upper-left Y:  0\n"));
    EXPECT_THAT(info, HasSubstr("Width: 1280\n"));
    EXPECT_THAT(info, HasSubstr("Height: 800\n"));
    EXPECT_EQ(controller.view().size(), QSize(1280, 800));

    const std::string states = property(window, "_NET_WM_STATE");
    for (const char* state : {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
                              "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY"}) {
        EXPECT_THAT(states, HasSubstr(state));
    }
    EXPECT_THAT(property(window, "_NET_WM_DESKTOP"), HasSubstr("= 4294967295"));
    EXPECT_THAT(property(window, "WM_HINTS"),
                HasSubstr("Client accepts input or input focus: False"));
    EXPECT_THAT(property(window, "_MOTIF_WM_HINTS"), Not(HasSubstr("not found"))) << "frameless";

    controller.hide();
    EXPECT_FALSE(controller.isShowing());
    EXPECT_TRUE(
        waitFor([&] { return windowInfo(window).find("IsUnMapped") != std::string::npos; }));

    controller.show();
    EXPECT_EQ(controller.panel(), panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_EQ(panel->winId(), window);
    EXPECT_THAT(windowInfo(window), HasSubstr("Map State: IsViewable"));
    EXPECT_THAT(property(window, "_NET_WM_STATE"), HasSubstr("_NET_WM_STATE_SKIP_TASKBAR"))
        << "the hints are set again for every mapping";
    controller.hide();
}

TEST_F(PanelX11Test, AWorkAreaChangeRefitsAShowingPanelOnlyAndTheNextShowFitsAHiddenOne) {
    controller.setShowsGuides(true);
    controller.show();
    OverlayPanel* panel = controller.panel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    ASSERT_EQ(panel->geometry(), QRect(0, 0, 1280, 800));

    // A desktop panel appears along the bottom of the screen.
    setWorkArea("0, 0, 1280, 760");
    ASSERT_TRUE(waitFor([] { return available() == QRect(0, 0, 1280, 760); }));
    EXPECT_TRUE(waitFor([&] { return panel->geometry() == QRect(0, 0, 1280, 760); }));
    EXPECT_TRUE(waitFor(
        [&] { return windowInfo(panel->winId()).find("Height: 760\n") != std::string::npos; }));
    EXPECT_EQ(controller.view().guidesImage().size(), QSize(1280, 760))
        << "the guides follow the new size";

    controller.hide();
    setWorkArea("0, 40, 1280, 760");
    ASSERT_TRUE(waitFor([] { return available() == QRect(0, 40, 1280, 760); }));
    QTest::qWait(100);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 1280, 760)) << "a hidden panel stays put";

    controller.show();
    EXPECT_EQ(panel->geometry(), QRect(0, 40, 1280, 760));
    controller.hide();
    setWorkArea("");
    EXPECT_TRUE(waitFor([] { return available() == QRect(0, 0, 1280, 800); }));
}

} // namespace
} // namespace plinkora
