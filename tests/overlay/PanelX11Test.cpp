// The panel on a real X server: mapping, the window-manager hints, refitting to the work
// area, and the fingers on its clear parts where no compositing manager runs.
#include "ChildProcess.hpp"
#include "OverlayTestSupport.hpp"
#include "app/QtScheduler.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <xcb/xinput.h>

namespace plinkora {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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

    OverlayController controller;
    std::vector<testing::RecordedStrike> strikes;
};

TEST_F(PanelX11Test, ShowMapsOneHintedPanelOverTheScreenAndHideUnmapsIt) {
    controller.hide();
    EXPECT_EQ(controller.panel(), nullptr) << "hiding a never-shown overlay does nothing";

    controller.show();
    OverlayPanel* panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    const WId window = panel->winId();
    const std::string info = windowInfo(window);
    EXPECT_THAT(info, HasSubstr("Map State: IsViewable"));
    EXPECT_THAT(info, HasSubstr("-geometry 1280x800+0+0"));
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

    // A window another client maps later lands on top of the stack, and nothing else moves
    // it; the panel goes back above it. Children are listed from the top of the stack down.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    const xcb_window_t later = xcb_generate_id(other);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(other)).data;
    xcb_create_window(other, XCB_COPY_FROM_PARENT, later, screen->root, 100, 100, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(other, later);
    xcb_flush(other);
    std::string stack;
    const auto listed = [&stack](unsigned long id) {
        return stack.find(QStringLiteral("0x%1 ").arg(id, 0, 16).toStdString());
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            stack = testing::runCommand({"xwininfo", "-root", "-children"});
            return listed(later) != std::string::npos && listed(window) < listed(later);
        },
        5000))
        << stack;
    xcb_disconnect(other);

    controller.hide();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windowInfo(window).find("IsUnMapped") != std::string::npos; }));

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
    ASSERT_TRUE(QTest::qWaitFor([] { return available() == QRect(0, 0, 1280, 760); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel->geometry() == QRect(0, 0, 1280, 760); }));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return windowInfo(panel->winId()).find("Height: 760\n") != std::string::npos; }));
    EXPECT_EQ(controller.view().guidesImage().size(), QSize(1280, 760))
        << "the guides follow the new size";

    controller.hide();
    setWorkArea("0, 40, 1280, 760");
    ASSERT_TRUE(QTest::qWaitFor([] { return available() == QRect(0, 40, 1280, 760); }));
    QTest::qWait(100);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 1280, 760)) << "a hidden panel stays put";

    controller.show();
    EXPECT_EQ(panel->geometry(), QRect(0, 40, 1280, 760));
    controller.hide();
    setWorkArea("");
    EXPECT_TRUE(QTest::qWaitFor([] { return available() == QRect(0, 0, 1280, 800); }));
}

TEST_F(PanelX11Test, WithoutACompositorEveryFingerOnTheClearPartsStrikes) {
    controller.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
    // The bare server has no compositing manager: an input-only window lies beneath the cut
    // panel, and it alone asks for the touch screen's fingers.
    xcb_connection_t* x =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    std::uint32_t input = 0;
    std::istringstream children(testing::runCommand({"xwininfo", "-root", "-children"}));
    // Every window id the listing names; 0x0 (the root's parent) would make xwininfo wait for
    // a click.
    for (std::string word; input == 0 && children >> word;) {
        const auto id = word.rfind("0x", 0) == 0 ? std::stoul(word, nullptr, 16) : 0;
        if (id != 0 && windowInfo(id).find("Class: InputOnly") != std::string::npos) {
            input = static_cast<std::uint32_t>(id);
        }
    }
    ASSERT_NE(input, 0u) << testing::runCommand({"xwininfo", "-root", "-children"});
    std::unique_ptr<xcb_input_xi_get_selected_events_reply_t, decltype(&std::free)> selected(
        xcb_input_xi_get_selected_events_reply(x, xcb_input_xi_get_selected_events(x, input),
                                               nullptr),
        &std::free);
    ASSERT_TRUE(selected);
    ASSERT_EQ(selected->num_masks, 1);
    const auto* head = xcb_input_xi_get_selected_events_masks_iterator(selected.get()).data;
    EXPECT_EQ(*xcb_input_event_mask_mask(head), XCB_INPUT_XI_EVENT_MASK_TOUCH_BEGIN |
                                                    XCB_INPUT_XI_EVENT_MASK_TOUCH_UPDATE |
                                                    XCB_INPUT_XI_EVENT_MASK_TOUCH_END);

    // Two fingers as the server would send them (no machine here has a touch screen): the
    // second lands while the first rests, then the first slides into the next zone up.
    const auto finger = [&](std::uint16_t type, std::uint32_t id, double px, double py,
                            std::uint32_t window) {
        xcb_input_touch_begin_event_t event{};
        event.response_type = XCB_GE_GENERIC;
        event.extension = xcb_get_extension_data(x, &xcb_input_id)->major_opcode;
        event.event_type = type;
        event.detail = id;
        event.event = window;
        event.event_x = static_cast<std::int32_t>(px * 65536);
        event.event_y = static_cast<std::int32_t>(py * 65536);
        qintptr result = 0;
        return QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t",
                                                                       &event, &result);
    };
    EXPECT_TRUE(finger(XCB_INPUT_TOUCH_BEGIN, 7, 300, 790, input));
    EXPECT_TRUE(finger(XCB_INPUT_TOUCH_BEGIN, 9, 900, 10, input));
    EXPECT_TRUE(finger(XCB_INPUT_TOUCH_UPDATE, 7, 300, 700, input));
    EXPECT_TRUE(finger(XCB_INPUT_TOUCH_END, 7, 300, 700, input));
    EXPECT_TRUE(finger(XCB_INPUT_TOUCH_END, 9, 900, 10, input));
    EXPECT_FALSE(finger(XCB_INPUT_TOUCH_BEGIN, 3, 300, 790, input + 1)) << "not its window";
    ASSERT_THAT(testing::zonesOf(strikes), ::testing::ElementsAre(0, 8, 1));
    for (const auto& strike : strikes) {
        EXPECT_EQ(strike.source, StrikeSource::touch);
    }
    controller.hide();
}

} // namespace
} // namespace plinkora
