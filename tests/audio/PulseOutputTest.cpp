// The engine on a real PulseAudio server with two null sinks.
#include "audio/PulseOutput.hpp"

#include "AudioTestSupport.hpp"
#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "PrivateBus.hpp"
#include "PulseServer.hpp"
#include "TempHome.hpp"
#include "audio/PianoEngine.hpp"
#include "audio/RealtimeScheduling.hpp"

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <thread>

namespace plinkora::testing {
namespace {

const std::string kSmallFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class PulseOutputTest : public ::testing::Test {
protected:
    PulseOutputTest() { server.setDefaultSink("plinkora_a"); }

    /// An engine that has heard of the server's sinks; the changes count from there.
    std::unique_ptr<PianoEngine> makeEngine(bool serverAnswers = true) {
        auto engine = std::make_unique<PianoEngine>(clock, kSmallFont);
        engine->setOnOutputDeviceChange([this] { ++changes; });
        if (serverAnswers) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return engine->outputDeviceName() == "plinkora_a"; }, 5000));
        }
        changes = 0;
        return engine;
    }
    /// Starts the engine and waits for the server's answer, which the owner hears of; the
    /// changes count from there.
    bool startPlaying(PianoEngine& engine) {
        const std::size_t before = log.count("audio engine started on");
        engine.start();
        const bool playing =
            QTest::qWaitFor([&] { return log.count("audio engine started on") > before; }, 5000);
        changes = 0;
        return playing && engine.isEngineRunning();
    }

    /// The server's index of a sink.
    std::string sinkIndex(const std::string& name) const {
        std::istringstream lines(server.pactl({"list", "short", "sinks"}));
        std::string index;
        std::string sinkName;
        std::string rest;
        while (lines >> index >> sinkName && std::getline(lines, rest)) {
            if (sinkName == name) {
                return index;
            }
        }
        return {};
    }
    /// The sink each playback stream is on (the second column of the short listing).
    std::vector<std::string> streamSinks() const {
        std::istringstream lines(server.pactl({"list", "short", "sink-inputs"}));
        std::vector<std::string> sinks;
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string index;
            std::string sink;
            if (fields >> index >> sink) {
                sinks.push_back(sink);
            }
        }
        return sinks;
    }
    /// How much the server holds queued for the playback stream, in seconds; -1 without one.
    double streamBufferSeconds() const {
        const std::string listing = server.pactl({"list", "sink-inputs"});
        const std::string label = "Buffer Latency: ";
        const std::size_t at = listing.find(label);
        return at == std::string::npos ? -1 : std::atof(listing.c_str() + at + label.size()) / 1e6;
    }
    /// Waits up to `seconds` for the stream's queue to pass `threshold` in the given direction.
    bool waitForBuffer(bool above, double threshold, double seconds) const {
        return QTest::qWaitFor(
            [&] {
                const double buffer = streamBufferSeconds();
                return buffer >= 0 && (above ? buffer > threshold : buffer < threshold);
            },
            static_cast<int>(seconds * 1000));
    }
    bool streamIsCorked() const {
        return server.pactl({"list", "sink-inputs"}).find("Corked: yes") != std::string::npos;
    }
    /// Strikes zone 0 while another client records plinkora_a; the loudest of what it heard,
    /// in dBFS, up to `seconds` after the strike.
    double peakHeardAfterStrike(PianoEngine& engine, double seconds) {
        const std::string file = folder.filePath(QStringLiteral("monitor.wav")).toStdString();
        auto recorder = server.recordMonitor("plinkora_a", file);
        const auto recorded = [&] { return PulseServer::recordedSeconds(file); };
        EXPECT_TRUE(QTest::qWaitFor([&] { return recorded() > 0.3; }, 5000)) << "no recording";
        engine.play(0, 92);
        const double struck = recorded();
        (void)QTest::qWaitFor([&] { return recorded() > struck + seconds; }, 10000);
        recorder->stop();
        return peakDb(readFirstChannel(file));
    }

    PulseServer server;
    ManualScheduler clock;
    LogCapture log;
    QTemporaryDir folder;
    int changes = 0;
};

TEST_F(PulseOutputTest, StartsOnTheDefaultSinkAndFollowsTheDefault) {
    auto engine = makeEngine();
    EXPECT_TRUE(engine->instrumentLoaded());
    EXPECT_FALSE(engine->isEngineRunning());
    EXPECT_TRUE(streamSinks().empty()) << "building the engine does not start it";

    ASSERT_TRUE(startPlaying(*engine));
    EXPECT_EQ(engine->outputDeviceName(), "plinkora_a");
    EXPECT_TRUE(log.contains("audio engine started on plinkora_a, output format 48000.000000 Hz"));
    EXPECT_EQ(streamSinks(), std::vector<std::string>{sinkIndex("plinkora_a")});
    const auto streamIndex = [this] {
        const std::string listing = server.pactl({"list", "short", "sink-inputs"});
        return listing.substr(0, listing.find('\t'));
    };
    const std::string stream = streamIndex();

    server.setDefaultSink("plinkora_b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes >= 1; }, 10000)) << changes;
    EXPECT_TRUE(engine->isEngineRunning());
    EXPECT_EQ(engine->outputDeviceName(), "plinkora_b");
    EXPECT_EQ(streamSinks(), std::vector<std::string>{sinkIndex("plinkora_b")});
    // The same stream, moved while it played: a new one would leave a gap in the sound.
    EXPECT_EQ(streamIndex(), stream);

    // Setting the same default again is no change to follow.
    server.setDefaultSink("plinkora_b");
    QTest::qWait(200);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(log.contains("could not select"));
}

TEST_F(PulseOutputTest, WhileIdleADefaultChangeMovesTheEngineWithoutStartingIt) {
    auto engine = makeEngine();
    server.setDefaultSink("plinkora_b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes >= 1; }, 10000)) << changes;
    EXPECT_FALSE(engine->isEngineRunning());
    EXPECT_TRUE(streamSinks().empty());
    EXPECT_EQ(engine->outputDeviceName(), "plinkora_b");
    ASSERT_TRUE(startPlaying(*engine));
    EXPECT_EQ(streamSinks(), std::vector<std::string>{sinkIndex("plinkora_b")});
}

TEST_F(PulseOutputTest, PausesNoteLengthPlusFourSecondsAfterSwitchingOff) {
    auto engine = makeEngine();
    ASSERT_TRUE(startPlaying(*engine));
    engine->setNoteLength(2.0);
    engine->stopAfterTail();
    engine->setNoteLength(8.0); // the length at the moment of switching off counts
    clock.advance(5.99);
    EXPECT_TRUE(engine->isEngineRunning());
    clock.advance(0.02);
    EXPECT_FALSE(engine->isEngineRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return streamIsCorked(); }, 5000))
        << "paused, not disconnected, so that it resumes quickly";

    engine->start();
    EXPECT_TRUE(engine->isEngineRunning()) << "resuming needs no answer";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !streamIsCorked(); }, 5000));

    // Switching on again within the tail keeps it running.
    engine->stopAfterTail();
    clock.advance(3);
    engine->start();
    clock.advance(60);
    EXPECT_TRUE(engine->isEngineRunning());
    EXPECT_EQ(changes, 0);
}

TEST_F(PulseOutputTest, ComesBackWhenTheSoundServerRestarts) {
    auto engine = makeEngine();
    ASSERT_TRUE(startPlaying(*engine));

    server.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes >= 1; }, 10000)) << changes;
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains("failed to restart"); }, 5000));
    EXPECT_FALSE(engine->isEngineRunning());
    EXPECT_EQ(log.count("Plinkora: audio engine failed to restart: Connection refused"), 1u);
    EXPECT_EQ(engine->outputDeviceName(), "System default");
    for (int i = 0; i < 3; ++i) {
        clock.advance(1.0);
        QTest::qWait(100);
    }
    EXPECT_EQ(log.count("failed to restart"), 1u) << "retries are quiet";
    EXPECT_EQ(log.count("failed to start"), 0u);

    log.clear();
    server.start();
    clock.advance(1.0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return log.contains("audio engine started on plinkora_a"); }, 5000));
    EXPECT_TRUE(engine->isEngineRunning());
    // The owner hears of the new connection's default, and of the start that was under way.
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes >= 3; }, 5000));
    EXPECT_EQ(engine->outputDeviceName(), "plinkora_a");
    EXPECT_EQ(streamSinks(), std::vector<std::string>{sinkIndex("plinkora_a")});
}

TEST_F(PulseOutputTest, WithoutASoundServerStartFailsAndStrikesAreIgnored) {
    TempHome home;
    ScopedEnv nowhere("PULSE_SERVER", "unix:" + home.path().toStdString() + "/no-such-socket");
    auto engine = makeEngine(false);
    EXPECT_EQ(engine->outputDeviceName(), "System default");
    engine->start();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return log.contains("audio engine failed to start: Connection refused"); }, 5000));
    EXPECT_FALSE(engine->isEngineRunning());
    log.clear();
    engine->play(0, 92);
    EXPECT_TRUE(log.contains(
        "play ignored: engine running false, instrument loaded true, output System default"));
}

// While nothing sounds the stream holds a long buffer, so that the server seldom wakes the
// audio thread; the first strike must cut it short rather than wait behind it.
TEST_F(PulseOutputTest, ASilentStreamRestsOnALongBufferAndTheNextStrikeWakesIt) {
    auto engine = makeEngine();
    ASSERT_TRUE(startPlaying(*engine));
    if (PulseServer::isPipeWire()) {
        // pipewire-pulse sizes the queue by its graph's quantum and reports that, whatever
        // the stream asks for: the queue's length can be read only from PulseAudio.
        std::printf("PipeWire: the resting buffer's length is not checked; its wake is\n");
        QTest::qWait(1500);
    } else {
        ASSERT_TRUE(waitForBuffer(true, 0.05, 6.0)) << "resting, the queue is long";
    }
    EXPECT_TRUE(engine->isEngineRunning()) << "resting is not pausing";
    EXPECT_FALSE(streamIsCorked());

    EXPECT_GT(peakHeardAfterStrike(*engine, 0.7), -40.0)
        << "the strike that woke the stream is heard";
    if (!PulseServer::isPipeWire()) {
        EXPECT_TRUE(waitForBuffer(false, 0.02, 2.0)) << "awake, the queue is short again";
    }
}

TEST_F(PulseOutputTest, AStalledServerNeverHoldsTheMainThreadAndThenPlaysAgain) {
    auto engine = makeEngine();
    const std::string name = engine->outputDeviceName();
    // A watchdog on the main thread: the longest it went without ticking.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    watchdog.start(5);

    // The first switch-on finds the server stopped: the start is reported as failed in time,
    // and the engine keeps trying quietly until the server is back.
    server.freeze(true);
    engine->start();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return log.contains("audio engine failed to start: the sound server does not answer");
        },
        5000));
    EXPECT_FALSE(engine->isEngineRunning());
    EXPECT_EQ(engine->outputDeviceName(), name) << "the name it had, never a placeholder";
    EXPECT_EQ(changes, 1) << "the owner hears that the start failed";
    clock.advance(1.0);
    QTest::qWait(100);
    log.clear();
    server.freeze(false);
    clock.advance(1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains("audio engine started on"); }, 5000));

    server.freeze(true);
    QTest::qWait(50);
    // Off, on again, strikes and the name, all while the server answers nothing.
    engine->stopAfterTail();
    clock.advance(10);
    QTest::qWait(50);
    engine->start();
    for (int i = 0; i < 5; ++i) {
        engine->play(i, 92);
        EXPECT_EQ(engine->outputDeviceName(), name);
        clock.advance(1.0);
        QTest::qWait(100);
    }
    server.freeze(false);
    watchdog.stop();
    std::printf("longest main-thread stall while the server was stopped: %lld ms\n",
                static_cast<long long>(longest));
    // Nothing waits for the server; the margin is for a loaded machine's scheduling.
    EXPECT_LT(longest, 100);

    // What was last asked for is what is heard once the server is back.
    EXPECT_GT(peakHeardAfterStrike(*engine, 1.7), -40.0);
    EXPECT_TRUE(engine->isEngineRunning());
}

TEST_F(PulseOutputTest, AnUnderrunIsCountedAndTheBufferGrowsAStep) {
    // A renderer that, once told, takes far longer than the buffer lasts.
    struct StallingRenderer final : audio::AudioRenderer {
        std::atomic<bool> stallOnce{false};
        void render(float* interleaved, std::size_t frames, double) override {
            std::fill(interleaved, interleaved + 2 * frames, 0.01f);
            if (stallOnce.exchange(false)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(80));
            }
        }
    } renderer;
    audio::PulseOutput output(renderer, 48000);
    std::optional<std::optional<std::string>> outcome;
    output.start([&](const std::optional<std::string>& error) { outcome = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000));
    ASSERT_EQ(*outcome, std::nullopt);
    // The audio thread asked once for real-time scheduling and says what it got.
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains("the audio thread runs"); }, 5000));
    EXPECT_EQ(log.count("the audio thread runs"), 1u);
    QTest::qWait(600);
    renderer.stallOnce = true;
    // A loaded machine may add underruns of its own; the stall makes at least one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains("audio output underrun"); }, 5000));
    // The server's own figure is a snapshot of the queue, and PipeWire's follows its quantum:
    // the step is read from what the output asked for.
    EXPECT_TRUE(log.contains("the output buffer is now 10 ms") ||
                log.contains("the output buffer is now 20 ms"))
        << ::testing::PrintToString(log.texts());
}

/// RealtimeKit's one method, as the stand-in on a private bus answers it.
class StandInRealtimeKit final : public QDBusVirtualObject {
public:
    bool refuses = false;
    std::vector<std::pair<qulonglong, uint>> calls;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() != QLatin1String("MakeThreadRealtime")) {
            return false;
        }
        calls.emplace_back(message.arguments().value(0).toULongLong(),
                           message.arguments().value(1).toUInt());
        bus.send(refuses ? message.createErrorReply(
                               QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                               QStringLiteral("Operation not permitted"))
                         : message.createReply());
        return true;
    }
};

TEST(RealtimeScheduling, RealtimeKitIsAskedForTheThreadWithTheLimitItRequires) {
    PrivateBus bus;
    QDBusConnection service = bus.connect(QStringLiteral("rtkit"));
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    StandInRealtimeKit rtkit;
    ASSERT_TRUE(
        service.registerVirtualObject(QString::fromUtf8(audio::RealtimeScheduling::kPath), &rtkit));
    const auto ask = [&] {
        std::optional<std::string> refusal;
        audio::RealtimeScheduling::askRealtimeKit(client, 4242,
                                                  [&](const std::string& why) { refusal = why; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return refusal.has_value(); }, 10000));
        return refusal.value_or("no answer");
    };
    // Not there at all, then there and granting, then refusing.
    EXPECT_NE(ask(), "");
    ASSERT_TRUE(service.registerService(QString::fromUtf8(audio::RealtimeScheduling::kService)));
    EXPECT_EQ(ask(), "");
    rtkit.refuses = true;
    EXPECT_EQ(ask(), "Operation not permitted");
    ASSERT_EQ(rtkit.calls.size(), 2u);
    EXPECT_EQ(rtkit.calls[0], (std::pair<qulonglong, uint>{4242, 10}));
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_RTTIME, &limit), 0);
    EXPECT_EQ(limit.rlim_cur, static_cast<rlim_t>(audio::RealtimeScheduling::kRealtimeLimitUsec));
}

} // namespace
} // namespace plinkora::testing
