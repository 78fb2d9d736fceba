// The recognizer's sorting of Qt touch events into phases, its states, and the view's
// answers that keep it to direct touches.
#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "overlay/DirectTouchRecognizer.hpp"
#include "overlay/OverlayView.hpp"
#include "overlay/OverlayViewDelegate.hpp"

#include <QTest>
#include <QTouchEvent>
#include <QWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace plinkora {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using State = RecognizerState;

QPointingDevice* touchScreen() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

struct Batch {
    TouchPhase phase;
    std::vector<int> ids;
    bool operator==(const Batch&) const = default;
};

void PrintTo(const Batch& batch, std::ostream* out) {
    *out << "phase " << static_cast<unsigned>(batch.phase) << " ids";
    for (int id : batch.ids) {
        *out << ' ' << id;
    }
}

/// A window 800 × 1000, so that window point (x, y) is Qt scene position (x, 1000 − y).
class RecognizerTest : public ::testing::Test {
protected:
    RecognizerTest() {
        window.resize(800, 1000);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        recognizer.setHandler([this](const DirectTouchRecognizer::Touches& touches,
                                     TouchPhase phase, const QTouchEvent&) {
            Batch batch{phase, {}};
            for (const QEventPoint& touch : touches) {
                batch.ids.push_back(touch.id());
            }
            batches.push_back(batch);
        });
    }

    static QEventPoint point(int id, QEventPoint::State state, double x, double yUp) {
        return QEventPoint(id, state, QPointF(x, 1000 - yUp), QPointF(x, 1000 - yUp));
    }
    void deliver(QEvent::Type type, const QList<QEventPoint>& points) {
        QTouchEvent event(type, touchScreen(), {}, points);
        recognizer.deliver(event, DirectTouchRecognizer::Touches(points.begin(), points.end()));
    }

    QWidget window;
    DirectTouchRecognizer recognizer{&window};
    std::vector<Batch> batches;
};

TEST_F(RecognizerTest, TheStateFollowsTheFingersFromTheFirstDownToTheLastUp) {
    testing::LogCapture log;
    using P = QEventPoint;
    deliver(QEvent::TouchBegin, {point(1, P::Pressed, 100, 200), point(2, P::Pressed, 300, 400)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::began, {1, 2}}));
    EXPECT_EQ(recognizer.state(), State::began);
    EXPECT_TRUE(log.contains(
        "recognizer touchesBegan: 2 touches (all: 2), phases [1,1], state 0, window true"));

    batches.clear();
    deliver(QEvent::TouchUpdate, {point(1, P::Updated, 110, 200), point(2, P::Stationary, 300, 400),
                                  point(3, P::Pressed, 500, 600)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::began, {3}}, Batch{TouchPhase::moved, {1}}));
    EXPECT_EQ(recognizer.state(), State::changed);
    EXPECT_TRUE(log.contains("phases [2,4,1], state 1"));

    batches.clear();
    deliver(QEvent::TouchUpdate,
            {point(1, P::Stationary, 110, 200), point(2, P::Stationary, 300, 400),
             point(3, P::Stationary, 500, 600)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::moved, {}}));

    batches.clear();
    deliver(QEvent::TouchUpdate,
            {point(1, P::Stationary, 110, 200), point(2, P::Stationary, 300, 400),
             point(3, P::Released, 500, 600)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::ended, {3}}));
    EXPECT_EQ(recognizer.state(), State::changed);

    batches.clear();
    deliver(QEvent::TouchEnd, {point(1, P::Released, 110, 200), point(2, P::Released, 300, 400)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::ended, {1, 2}}));
    EXPECT_EQ(recognizer.state(), State::ended);

    // The next finger starts a new gesture.
    log.clear();
    deliver(QEvent::TouchBegin, {point(5, P::Pressed, 10, 10)});
    EXPECT_TRUE(log.contains("phases [1], state 0, window true"));
    EXPECT_EQ(recognizer.state(), State::began);
}

TEST_F(RecognizerTest, ACancelledSequenceHandsOverItsTouchesAsCancelled) {
    using P = QEventPoint;
    deliver(QEvent::TouchBegin, {point(1, P::Pressed, 100, 200)});
    batches.clear();
    deliver(QEvent::TouchCancel, {point(1, P::Stationary, 100, 200)});
    EXPECT_THAT(batches, ElementsAre(Batch{TouchPhase::cancelled, {1}}));
    EXPECT_EQ(recognizer.state(), State::cancelled);
}

// The view's answers, through real event delivery to a view.
TEST(RecognizerAnswers, TouchPadTouchesAreRefusedAndMouseEventsDeclined) {
    testing::ManualScheduler clock;
    OverlayView view(clock);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    testing::LogCapture log;
    int strikes = 0;
    // The log as each note went out: nothing of its own event may be written before it.
    std::size_t linesAtStrike = 0;
    struct Counter final : OverlayViewDelegate {
        std::function<void()> struck;
        void didStrike(int, QPointF, StrikeSource, std::uint8_t) override { struck(); }
    } counter;
    counter.struck = [&] {
        ++strikes;
        linesAtStrike = log.texts().size();
    };
    view.setDelegate(&counter);
    int strikesAtDiagnostic = -1;
    view.setOnTouchDiagnostic([&](const std::string&) { strikesAtDiagnostic = strikes; });

    static QPointingDevice* touchPad = QTest::createTouchDevice(QInputDevice::DeviceType::TouchPad);
    const QEventPoint point(1, QEventPoint::Pressed, QPointF(50, 50),
                            view.mapToGlobal(QPointF(50, 50)));
    QTouchEvent fromPad(QEvent::TouchBegin, touchPad, {}, {point});
    QCoreApplication::sendEvent(&view, &fromPad);
    EXPECT_TRUE(log.contains("recognizer shouldReceive touch indirect phase 1: false"));
    EXPECT_FALSE(log.contains("touchesBegan"));
    EXPECT_EQ(strikes, 0);

    log.clear();
    QTouchEvent fromScreen(QEvent::TouchBegin, touchScreen(), {}, {point});
    QCoreApplication::sendEvent(&view, &fromScreen);
    EXPECT_EQ(linesAtStrike, 0u) << "logged before the note: " << log.texts().front();
    EXPECT_EQ(strikesAtDiagnostic, 1) << "the touch's read-out came before its note";
    EXPECT_TRUE(log.contains("recognizer shouldReceive touch direct phase 1: true"));
    EXPECT_TRUE(log.contains("recognizer touchesBegan: 1 touches (all: 1), phases [1]"));
    EXPECT_EQ(strikes, 1);

    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(log.contains("recognizer declining event type 2 subtype 0"));
    EXPECT_TRUE(log.contains("echo true")) << "the press lands on the finger just played";
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(50, 50));

    // A click of its own, and a drag on into another zone, log only after their notes.
    log.clear();
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(350, 50));
    EXPECT_EQ(strikes, 2);
    EXPECT_EQ(linesAtStrike, 0u) << "logged before the note: " << log.texts().front();
    EXPECT_TRUE(log.contains("recognizer declining event type 2 subtype 0"));
    log.clear();
    QMouseEvent drag(QEvent::MouseMove, QPointF(50, 280), view.mapToGlobal(QPointF(50, 280)),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&view, &drag);
    EXPECT_EQ(strikes, 3);
    EXPECT_EQ(linesAtStrike, 0u) << "logged before the note: " << log.texts().front();
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(50, 280));
    view.setDelegate(nullptr);
}

} // namespace
} // namespace plinkora
