// Zone geometry, the hit test and the choice of screen: pure rules, no window needed.
#include "OverlayTestSupport.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayGeometry.hpp"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace plinkora {
namespace {

using music::ZoneOrientation;
using overlay::zoneAt;
using testing::describedScreen;
using ::testing::ElementsAre;

TEST(HitTest, NineVerticalZonesSplitTheHeightIntoBandsFromTheBottom) {
    const auto at = [](double y) {
        return zoneAt({500, y}, 1200, 900, 9, ZoneOrientation::vertical);
    };
    EXPECT_EQ(at(100), 1);
    EXPECT_EQ(at(99.9), 0);
    EXPECT_EQ(at(0), 0);
    EXPECT_EQ(at(899.9), 8);
    EXPECT_EQ(at(900), 8);
    EXPECT_EQ(at(2000), 8);
    EXPECT_EQ(at(-5), 0);
}

TEST(HitTest, OneZoneAndEmptyBoundsAlwaysGiveZeroOrClampSafely) {
    EXPECT_EQ(zoneAt({800, 800}, 1000, 900, 1, ZoneOrientation::vertical), 0);
    EXPECT_EQ(zoneAt({-800, -800}, 1000, 900, 1, ZoneOrientation::horizontal), 0);
    EXPECT_EQ(zoneAt({500, 500}, 0, 0, 9, ZoneOrientation::vertical), 0);
    EXPECT_EQ(zoneAt({500, 500}, 0, 0, 9, ZoneOrientation::horizontal), 0);
    // Points far beyond the screen, or not numbers at all, must not overflow the zone index.
    EXPECT_EQ(zoneAt({0, 1e300}, 1000, 900, 9, ZoneOrientation::vertical), 8);
    EXPECT_EQ(zoneAt({0, -1e300}, 1000, 900, 9, ZoneOrientation::vertical), 0);
    EXPECT_EQ(zoneAt({0, std::numeric_limits<double>::quiet_NaN()}, 1000, 900, 9,
                     ZoneOrientation::vertical),
              0);
}

TEST(Guides, SeparatorsSitOnPixelCentresAndLabelsInTheirZones) {
    EXPECT_THAT(overlay::separatorOffsets(1000, 7),
                ElementsAre(143.5, 286.5, 429.5, 571.5, 714.5, 857.5));
    const QRectF first = overlay::labelFrame(0, 7, 1000, 900, ZoneOrientation::horizontal);
    EXPECT_NEAR(first.x(), 53.428571, 1e-5);
    EXPECT_EQ(first.y(), 10);
    EXPECT_EQ(first.size(), QSizeF(36, 18));
    const QRectF last = overlay::labelFrame(6, 7, 1000, 900, ZoneOrientation::horizontal);
    EXPECT_NEAR(last.center().x(), 1000 - 1000.0 / 14, 1e-9);
    // Vertical labels sit at the left of their bands.
    EXPECT_EQ(overlay::labelFrame(2, 9, 1200, 900, ZoneOrientation::vertical),
              QRectF(10, 208, 36, 18));
    EXPECT_TRUE(overlay::separatorOffsets(900, 1).empty());
    EXPECT_THAT(overlay::separatorOffsets(900, 2), ElementsAre(450.5));
}

// Screen choice ------------------------------------------------------------------------

TEST(TargetScreen, TheBuiltInPanelWinsWhicheverScreenIsPrimary) {
    const auto external = describedScreen("HDMI-A-1", {0, 0, 2560, 1440}, true);
    const auto laptop = describedScreen("eDP-1", {2560, 0, 1920, 1200});
    EXPECT_EQ(chooseTargetScreen({external, laptop}, false)->name, QStringLiteral("eDP-1"));
    auto secondary = external;
    secondary.isPrimary = false;
    auto primaryLaptop = laptop;
    primaryLaptop.isPrimary = true;
    EXPECT_EQ(chooseTargetScreen({secondary, primaryLaptop}, false)->name, QStringLiteral("eDP-1"));
    EXPECT_EQ(chooseTargetScreen({external, describedScreen("LVDS1", {})}, false)->name,
              QStringLiteral("LVDS1"));
    EXPECT_EQ(chooseTargetScreen({external, describedScreen("DSI-1", {})}, true)->name,
              QStringLiteral("DSI-1"));
}

TEST(TargetScreen, WithoutABuiltInPanelATouchScreenOrThePrimaryOrTheFirstIsChosen) {
    const auto left = describedScreen("DP-1", {0, 0, 1920, 1080});
    const auto right = describedScreen("DP-2", {1920, 0, 1920, 1080}, true);
    // A touch screen without a built-in panel is taken to be the primary screen.
    EXPECT_EQ(chooseTargetScreen({left, right}, true)->name, QStringLiteral("DP-2"));
    EXPECT_EQ(chooseTargetScreen({left, right}, false)->name, QStringLiteral("DP-2"));
    auto notPrimary = right;
    notPrimary.isPrimary = false;
    EXPECT_EQ(chooseTargetScreen({left, notPrimary}, true)->name, QStringLiteral("DP-1"));
    EXPECT_FALSE(chooseTargetScreen({}, true).has_value());
    // "eDP" is a prefix, not a substring.
    EXPECT_FALSE(isBuiltIn(describedScreen("virtual-eDP", {})));
}

TEST(Struts, ADockShrinksOnlyTheScreenAlongWhoseEdgeItSits) {
    // Two 1280×800 monitors side by side; the X screen is 2560×800.
    const QRect left(0, 0, 1280, 800);
    const QRect right(1280, 0, 1280, 800);
    const QSize root(2560, 800);
    struct Case {
        const char* what;
        Strut strut;
        QRect screen;
        QRect free;
    } cases[] = {
        {"a bar along the bottom of the left monitor",
         {.bottom = 20, .bottomEndX = 1279},
         left,
         {0, 0, 1280, 780}},
        {"the same bar leaves the right monitor whole",
         {.bottom = 20, .bottomEndX = 1279},
         right,
         right},
        {"a bar along the top of the right monitor",
         {.top = 24, .topStartX = 1280, .topEndX = 2559},
         right,
         {1280, 24, 1280, 776}},
        {"a dock down the left edge", {.left = 48, .leftEndY = 799}, left, {48, 0, 1232, 800}},
        {"a dock down the right edge of the X screen",
         {.right = 30, .rightEndY = 799},
         right,
         {1280, 0, 1250, 800}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(freeOfStruts(c.screen, root, {c.strut}), c.free) << c.what;
    }
}

} // namespace
} // namespace plinkora
