// What the view draws, rendered offscreen: the cached guides, and glow rings on the manual
// clock.
#include "ManualScheduler.hpp"
#include "OverlayTestSupport.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

#include <QAccessible>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace plinkora {
namespace {

using music::ZoneOrientation;

class DrawingTest : public ::testing::Test {
protected:
    DrawingTest() {
        controller.setScale(music::Scale{music::KeyRoot::c, music::ScaleMode::major, 7});
        controller.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
    }

    OverlayView& view() { return controller.view(); }
    QImage render() { return view().grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    /// The alpha at a point given in the view's bottom-left coordinates.
    static int alphaAt(const QImage& image, int x, int yUp) {
        return qAlpha(image.pixel(x, image.height() - 1 - yUp));
    }

    testing::ManualScheduler clock;
    OverlayController controller{clock,
                                 std::make_unique<testing::FakeScreens>(std::vector<ScreenInfo>{
                                     testing::describedScreen("eDP-1", {0, 0, 1000, 900}, true)})};
};

TEST_F(DrawingTest, SeparatorsLieOnTheirPixelColumnsAndNothingElseIsDrawnBetween) {
    controller.setOrientation(ZoneOrientation::horizontal);
    controller.setShowsGuides(true);
    ASSERT_EQ(view().size(), QSize(1000, 900));
    const QImage image = render();
    for (int column : {143, 286, 429, 571, 714, 857}) {
        EXPECT_GT(alphaAt(image, column, 450), 100) << column;
        EXPECT_EQ(alphaAt(image, column - 3, 450), 0) << column;
        EXPECT_EQ(alphaAt(image, column + 3, 450), 0) << column;
    }
    EXPECT_EQ(alphaAt(image, 200, 450), 0);
    // The lines run the whole height.
    EXPECT_GT(alphaAt(image, 143, 0), 100);
    EXPECT_GT(alphaAt(image, 143, 899), 100);
}

TEST_F(DrawingTest, EachLabelSitsInsideItsFrameInItsZonesColour) {
    for (ZoneOrientation orientation : music::kAllOrientations) {
        controller.setOrientation(orientation);
        controller.setShowsGuides(true);
        const QImage image = render();
        const bool horizontal = orientation == ZoneOrientation::horizontal;
        for (int zone = 0; zone < 7; ++zone) {
            // The label frame in top-left pixels, and a margin around it to search for ink.
            const QRect frame =
                horizontal ? QRect(static_cast<int>(1000.0 / 7 * zone + (1000.0 / 7 - 36) / 2),
                                   900 - 28, 36, 18)
                           : QRect(10, static_cast<int>(900 - (900.0 / 7 * zone + 8) - 18), 36, 18);
            const QRect search = frame.adjusted(-6, -6, 6, 6);
            const music::Rgb expected = music::NoteZone::color(zone, 7);
            int inkInside = 0;
            int inkOutside = 0;
            QRgb strongest = 0;
            for (int y = search.top(); y <= search.bottom(); ++y) {
                for (int x = search.left(); x <= search.right(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    // Separator lines and their glow are grey; labels are coloured.
                    const int spread = std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) -
                                       std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
                    if (qAlpha(pixel) == 0 || spread < 16) {
                        continue;
                    }
                    (frame.adjusted(-1, -1, 1, 1).contains(x, y) ? inkInside : inkOutside) += 1;
                    if (qAlpha(pixel) > qAlpha(strongest)) {
                        strongest = pixel;
                    }
                }
            }
            EXPECT_GT(inkInside, 20) << "zone " << zone;
            EXPECT_EQ(inkOutside, 0) << "zone " << zone;
            const QColor ink = QColor::fromRgba(strongest);
            EXPECT_NEAR(ink.alphaF(), 0.8, 0.012) << "zone " << zone;
            EXPECT_LT(std::abs(ink.redF() - expected.red) +
                          std::abs(ink.greenF() - expected.green) +
                          std::abs(ink.blueF() - expected.blue),
                      0.04)
                << "zone " << zone;
        }
    }
}

TEST_F(DrawingTest, WithoutGuidesOnlyTheGlowIsDrawn) {
    controller.setShowsGuides(true);
    controller.setShowsGuides(false);
    EXPECT_TRUE(view().guidesImage().isNull());
    view().showGlow({300, 300}, music::NoteZone::color(2, 7));
    clock.advance(0.5);
    const QImage image = render();
    int inked = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                continue;
            }
            ++inked;
            const double distance = std::hypot(x - 300.0, (899 - y) - 300.0);
            EXPECT_LT(distance, 80 + 34) << x << "," << y;
        }
    }
    EXPECT_GT(inked, 100);
}

/// The centre of the ring's band along a ray to the right of the strike: the middle of the
/// run of pixels at least half as opaque as the strongest.
double ringRadius(const QImage& image, int cx, int cyUp) {
    const int y = image.height() - 1 - cyUp;
    int strongest = 0;
    const int end = std::min(image.width(), cx + 120);
    for (int x = cx; x < end; ++x) {
        strongest = std::max(strongest, qAlpha(image.pixel(x, y)));
    }
    if (strongest == 0) {
        return -1;
    }
    int first = -1;
    int last = -1;
    for (int x = cx; x < end; ++x) {
        if (qAlpha(image.pixel(x, y)) * 2 >= strongest) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return (first + last) / 2.0 - cx;
}

TEST_F(DrawingTest, ARingGrowsFromSixToEightyAndIsGoneAfterItsTime) {
    const music::Rgb color = music::NoteZone::color(3, 7);
    view().showGlow({400, 500}, color);
    QImage image = render();
    EXPECT_NEAR(ringRadius(image, 400, 500), 6, 1.5);
    // Fully opaque at first, in the zone's colour lightened toward white.
    EXPECT_EQ(alphaAt(image, 406, 500), 255);
    // A soft edge: still glowing well outside the stroke, but fading, in the zone's colour.
    const int outside = alphaAt(image, 400 + 6 + 18, 500);
    EXPECT_GT(outside, 20);
    EXPECT_LT(outside, 200);
    const QColor glow = image.pixelColor(400 + 6 + 14, image.height() - 1 - 500);
    EXPECT_LT(std::abs(glow.redF() - color.red) + std::abs(glow.greenF() - color.green) +
                  std::abs(glow.blueF() - color.blue),
              0.1)
        << glow.name().toStdString();

    clock.advance(0.65);
    const double middle = ringRadius(render(), 400, 500);
    EXPECT_GT(middle, 45);
    EXPECT_LT(middle, 70);

    clock.advance(0.45);
    image = render();
    const double late = ringRadius(image, 400, 500);
    EXPECT_GT(late, 75);
    EXPECT_LE(late, 80.5);
    EXPECT_LT(alphaAt(image, 400 + 77, 500), 40) << "fading out near its end";
    EXPECT_EQ(view().glowCount(), 1u);

    clock.advance(0.2);
    EXPECT_EQ(view().glowCount(), 0u);
    EXPECT_EQ(clock.pendingCount(), 0u) << "an idle overlay ticks no frames";
    EXPECT_EQ(ringRadius(render(), 400, 500), -1);
}

// Without a compositor only the painted region shows: it follows the ring where it is drawn,
// also a loud strike's larger one.
TEST_F(DrawingTest, ThePaintedRegionHoldsEachRingsBand) {
    view().showGlow({400, 500}, music::NoteZone::color(3, 7), music::kLoudestVelocity);
    clock.advance(0.65);
    const double drawn = ringRadius(render(), 400, 500);
    const QRegion painted = view().paintedRegion();
    for (const QPoint& onRing :
         {QPoint(400 + static_cast<int>(drawn), 400), QPoint(400, 400 - static_cast<int>(drawn))}) {
        EXPECT_TRUE(painted.contains(onRing)) << onRing.x() << "," << onRing.y();
    }
    EXPECT_FALSE(painted.contains(QPoint(400, 400))) << "the middle stays clear";
}

TEST_F(DrawingTest, TheGuidesAreRebuiltOnTheirTriggersOnly) {
    controller.setShowsGuides(true);
    const qint64 first = view().guidesImage().cacheKey();
    ASSERT_NE(first, 0);
    controller.setScale(music::Scale{music::KeyRoot::c, music::ScaleMode::major, 7});
    EXPECT_EQ(view().guidesImage().cacheKey(), first) << "an unchanged scale draws nothing";
    controller.setScale(music::Scale{music::KeyRoot::d, music::ScaleMode::major, 7});
    EXPECT_NE(view().guidesImage().cacheKey(), first);
    // Strikes never touch the guides.
    const qint64 beforeStrike = view().guidesImage().cacheKey();
    view().showGlow({100, 100}, music::NoteZone::color(0, 7));
    render();
    EXPECT_EQ(view().guidesImage().cacheKey(), beforeStrike);
}

TEST_F(DrawingTest, AScreenReaderFindsEveryZoneByItsNoteWhereItLies) {
    QAccessibleInterface* zones = QAccessible::queryAccessibleInterface(&view());
    ASSERT_NE(zones, nullptr);
    ASSERT_EQ(zones->childCount(), 7);
    EXPECT_EQ(zones->child(0)->text(QAccessible::Name), QStringLiteral("Zone 1, C4"));
    EXPECT_EQ(zones->child(6)->text(QAccessible::Name), QStringLiteral("Zone 7, B4"));
    // The lowest zone is the band along the bottom edge; the one a point is in answers there.
    const QRect lowest = zones->child(0)->rect();
    EXPECT_EQ(lowest.bottom(), view().mapToGlobal(QPoint(0, view().height() - 1)).y());
    EXPECT_NEAR(lowest.height(), view().height() / 7.0, 1);
    EXPECT_EQ(zones->childAt(lowest.center().x(), lowest.center().y()), zones->child(0));
    controller.setScale(music::Scale{music::KeyRoot::a, music::ScaleMode::minor, 9});
    ASSERT_EQ(zones->childCount(), 9);
    EXPECT_EQ(zones->child(8)->text(QAccessible::Name), QStringLiteral("Zone 9, B4"));
}

TEST(DrawingWithoutWindow, TheGuidesFallBackToDoubleDensity) {
    testing::ManualScheduler clock;
    OverlayView view(clock);
    view.resize(300, 200);
    view.setShowsGuides(true);
    EXPECT_FALSE(view.isInWindow());
    EXPECT_EQ(view.guidesImage().size(), QSize(600, 400));
    view.resize(0, 0);
    view.setShowsGuides(true);
    EXPECT_TRUE(view.guidesImage().isNull()) << "zero-sized bounds draw no guides";
}

} // namespace
} // namespace plinkora
