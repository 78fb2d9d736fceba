// Touches and clicks becoming strikes, through Qt's event delivery into the shown panel.
#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "OverlayTestSupport.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

#include <QCursor>
#include <QMouseEvent>
#include <QTest>
#include <QTouchEvent>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace plinkora {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::zonesOf;

QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

/// Nine bands of 100 points over a 1000 × 900 panel: y = 100 z + 50 is the middle of zone z.
class TrackingTest : public ::testing::Test {
protected:
    TrackingTest() {
        controller.setScale(music::Scale{});
        controller.setOnStrike(
            [this](int zone, double x, double y, StrikeSource source, std::uint8_t velocity) {
                strikes.push_back({zone, x, y, source});
                velocities.push_back(velocity);
                glowsAtStrike.push_back(view().glowCount());
            });
        controller.setOnTouchDiagnostic(
            [this](const std::string& text) { diagnostics.push_back(text); });
        controller.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
        EXPECT_EQ(view().size(), QSize(1000, 900));
        QCursor::setPos(5, 5);
    }

    OverlayView& view() { return controller.view(); }
    /// A point of the view in bottom-left coordinates as Qt's top-left widget position.
    static QPoint at(int x, int yUp) { return {x, 900 - yUp}; }
    QTest::QTouchEventWidgetSequence touch() {
        return QTest::touchEvent(controller.panel(), touchScreen());
    }
    void mouse(QEvent::Type type, QPointF up, Qt::MouseButtons buttons,
               Qt::MouseEventSource source = Qt::MouseEventNotSynthesized) {
        const QPointF local(up.x(), 900 - up.y());
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, local, view().mapToGlobal(local), button, buttons, {},
                          source);
        QCoreApplication::sendEvent(&view(), &event);
    }
    void click(QPointF up) {
        mouse(QEvent::MouseButtonPress, up, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, up, Qt::NoButton);
    }

    testing::ManualScheduler clock;
    OverlayController controller{clock,
                                 std::make_unique<testing::FakeScreens>(std::vector<ScreenInfo>{
                                     testing::describedScreen("eDP-1", {0, 0, 1000, 900}, true)})};
    std::vector<testing::RecordedStrike> strikes;
    /// How many rings were showing as each strike was handed over.
    std::vector<std::size_t> glowsAtStrike;
    std::vector<std::uint8_t> velocities;
    std::vector<std::string> diagnostics;
};

TEST_F(TrackingTest, ThreeFingersDownTogetherStrikeThreeTimes) {
    touch()
        .press(1, at(300, 250), &view())
        .press(2, at(600, 260), &view())
        .press(3, at(450, 550), &view());
    EXPECT_THAT(zonesOf(strikes), ElementsAre(2, 2, 5));
    for (const auto& strike : strikes) {
        EXPECT_EQ(strike.source, StrikeSource::touch);
    }
    EXPECT_EQ(strikes[2].x, 450);
    EXPECT_EQ(strikes[2].y, 550);
    EXPECT_EQ(view().touchZones().size(), 3u);
    EXPECT_EQ(diagnostics.size(), 3u);
    EXPECT_EQ(view().glowCount(), 3u);
}

TEST_F(TrackingTest, ASlideStrikesEachZoneItEntersAndNothingElse) {
    touch().press(7, at(500, 350), &view());
    touch().move(7, at(505, 450), &view());
    touch().move(7, at(510, 550), &view());
    touch().move(7, at(530, 590), &view());
    touch().move(7, at(520, 510), &view());
    touch().move(7, at(515, 450), &view());
    EXPECT_THAT(zonesOf(strikes), ElementsAre(3, 4, 5, 4));
    touch().release(7, at(515, 150), &view());
    EXPECT_THAT(zonesOf(strikes), ElementsAre(3, 4, 5, 4)) << "lifting strikes nothing";
    EXPECT_THAT(view().touchZones(), IsEmpty());
    EXPECT_EQ(diagnostics.size(), 1u) << "one diagnostic per new touch";

    // Ten fingers sweeping up five zones log no more than the touches begun and notes struck.
    testing::LogCapture log;
    strikes.clear();
    auto fingers = touch();
    for (int id = 0; id < 10; ++id) {
        fingers.press(id, at(50 + 100 * id, 50), &view());
    }
    fingers.commit();
    for (int step = 1; step <= 5; ++step) {
        for (int id = 0; id < 10; ++id) {
            fingers.move(id, at(50 + 100 * id, 50 + 100 * step), &view());
        }
        fingers.commit();
    }
    EXPECT_EQ(strikes.size(), 60u);
    EXPECT_EQ(log.count("recognizer shouldReceive"), 10u);
    EXPECT_LE(log.lines().size(), 10u + strikes.size());
}

TEST_F(TrackingTest, AFingerJoiningAChordStrikesOnlyItsOwnZone) {
    touch().press(1, at(100, 150), &view()).press(2, at(800, 750), &view());
    touch().stationary(1).stationary(2).press(3, at(400, 450), &view());
    touch().move(1, at(110, 160), &view()).move(2, at(800, 850), &view()).stationary(3);
    EXPECT_THAT(zonesOf(strikes), ElementsAre(1, 7, 4, 8));
    touch().release(2, at(800, 850), &view()).stationary(1).stationary(3);
    EXPECT_EQ(view().touchZones().size(), 2u);
}

TEST_F(TrackingTest, AClickNearARecentTouchIsAnEchoAndItsDragsAreIgnored) {
    testing::LogCapture log;
    touch().press(1, at(300, 450), &view());
    touch().release(1, at(300, 450), &view());
    ASSERT_EQ(strikes.size(), 1u);
    clock.advance(0.5);
    mouse(QEvent::MouseButtonPress, {347.9, 450}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {347.9, 650}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {347.9, 850}, Qt::LeftButton);
    EXPECT_EQ(strikes.size(), 1u);
    EXPECT_TRUE(log.contains("echo true"));
    EXPECT_EQ(log.count("mouseDragged"), 0u);
    mouse(QEvent::MouseButtonRelease, {347.9, 850}, Qt::NoButton);
    EXPECT_TRUE(log.contains("mouseUp subtype 0"));

    // Judged afresh after the release: exactly 48 points away is a real click.
    click({348, 450});
    ASSERT_EQ(strikes.size(), 2u);
    EXPECT_EQ(strikes[1].source, StrikeSource::click);
    EXPECT_EQ(strikes[1].zone, 4);
    EXPECT_TRUE(log.contains("mouseDown subtype 0 at (348, 450) in bounds 1000\u00D7900, "
                             "pointer screen ("));
    // The note went before its ring was drawn.
    EXPECT_EQ(glowsAtStrike.back() + 1, view().glowCount());
    EXPECT_TRUE(log.contains("echo false"));

    // A touch older than the echo window makes no more echoes.
    touch().press(2, at(300, 450), &view());
    touch().release(2, at(300, 450), &view());
    clock.advance(0.61);
    click({300, 450});
    EXPECT_EQ(strikes.back().source, StrikeSource::click);
}

TEST_F(TrackingTest, APressSynthesizedFromATouchIsAnEchoWhereverItLands) {
    mouse(QEvent::MouseButtonPress, {900, 850}, Qt::LeftButton, Qt::MouseEventSynthesizedBySystem);
    mouse(QEvent::MouseMove, {900, 50}, Qt::LeftButton, Qt::MouseEventSynthesizedBySystem);
    EXPECT_THAT(strikes, IsEmpty());
    EXPECT_TRUE(view().mouseIsEcho());
    mouse(QEvent::MouseButtonRelease, {900, 50}, Qt::NoButton);
    EXPECT_FALSE(view().mouseIsEcho());
}

TEST_F(TrackingTest, ADragStrikesEachNewZoneAndLogsThePreviousOne) {
    testing::LogCapture log;
    mouse(QEvent::MouseMove, {500, 250}, Qt::LeftButton);
    EXPECT_TRUE(log.contains("mouseDragged to zone 2 at (500, 250), previous none"));
    mouse(QEvent::MouseMove, {510, 260}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {520, 351.7}, Qt::LeftButton);
    EXPECT_TRUE(log.contains("mouseDragged to zone 3 at (520, 351), previous 2"));
    EXPECT_EQ(log.count("mouseDragged"), 2u);
    EXPECT_THAT(zonesOf(strikes), ElementsAre(2, 3));
    EXPECT_EQ(strikes[0].source, StrikeSource::click);
    // Moves without the button held are not drags, and the right button strikes nothing.
    mouse(QEvent::MouseButtonRelease, {520, 351}, Qt::NoButton);
    mouse(QEvent::MouseMove, {520, 851}, Qt::NoButton);
    QTest::mouseClick(&view(), Qt::RightButton, {}, at(500, 450));
    EXPECT_EQ(strikes.size(), 2u);
}

TEST_F(TrackingTest, DynamicsSetHowHardEachStrikePlays) {
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(500, 410));
    controller.setDynamics(music::Dynamics::position);
    // Zone 4 runs from 400 to 500: softer near its lower edge, louder near its upper one.
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(500, 410));
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(500, 495));
    // A screen that reports no pressure plays touches by position too.
    controller.setDynamics(music::Dynamics::touch);
    touch().press(7, at(300, 290), &view());
    // Horizontal zones grow louder to the right.
    controller.setOrientation(music::ZoneOrientation::horizontal);
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(105, 450));
    EXPECT_THAT(velocities, ElementsAre(92, 49, 123, 118, 122));
}

// Touch events sent straight to the view, to place each candidate point where the test
// wants it.
class CandidateTest : public TrackingTest {
protected:
    void sendPress(QPointF viewTopLeft, QPointF sceneTopLeft) {
        QEventPoint point(1, QEventPoint::Pressed, sceneTopLeft, view().mapToGlobal(viewTopLeft));
        QTouchEvent event(QEvent::TouchBegin, touchScreen(), {}, {point});
        QCoreApplication::sendEvent(&view(), &event);
    }
};

TEST_F(CandidateTest, ATouchOutsideTheViewFallsBackToTheEventsPosition) {
    QCursor::setPos(-500, -500);
    sendPress({-30, 100}, {200, 100});
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_THAT(diagnostics[0], ::testing::StartsWith("zone D5 at (200, 800) via event \u00B7"));
    EXPECT_THAT(zonesOf(strikes), ElementsAre(8));
}

TEST_F(CandidateTest, ThePointerIsTheLastResortInsideTheView) {
    QCursor::setPos(view().mapToGlobal(QPoint(500, 100)));
    sendPress({-30, 100}, {-30, 100});
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_THAT(diagnostics[0], ::testing::StartsWith("zone D5 at (500, 800) via pointer \u00B7"));
}

TEST_F(CandidateTest, WhenEveryCandidateIsOutsideTheFirstIsUsedAndClamped) {
    QCursor::setPos(-500, -500);
    sendPress({-30, 1000}, {-30, 1000});
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_THAT(diagnostics[0],
                ::testing::StartsWith("zone C4 at (-30, -100) via touch (out of bounds) \u00B7"));
    EXPECT_THAT(zonesOf(strikes), ElementsAre(0));
}

} // namespace
} // namespace plinkora
