// The life of a note, exactly, on samplers that record what they are sent and a manual clock.
#include "AudioTestSupport.hpp"
#include "JackServer.hpp"
#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "TempHome.hpp"
#include "audio/PianoEngine.hpp"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace plinkora::testing {
namespace {

using Kind = MidiMessage::Kind;
using ::testing::Contains;
using ::testing::ElementsAre;

constexpr double kTolerance = 1e-9;

class NoteLogicTest : public ::testing::Test {
protected:
    NoteLogicTest()
        : sent(PianoEngine::kZoneSlots) {
        std::vector<std::unique_ptr<audio::Sampler>> samplers;
        for (auto& log : sent) {
            samplers.push_back(std::make_unique<RecordingSampler>(clock, log));
        }
        engine = std::make_unique<PianoEngine>(clock, std::move(samplers),
                                               std::make_unique<OfflineOutput>(), "unused.sf2");
        engine->start();
    }

    /// The expression values sent to a zone, in order.
    std::vector<int> expressions(std::size_t zone) const {
        std::vector<int> values;
        for (const auto& message : sent[zone]) {
            if (message.kind == Kind::controller) {
                EXPECT_EQ(message.first, 11);
                values.push_back(message.second);
            }
        }
        return values;
    }
    std::vector<double> expressionTimes(std::size_t zone) const {
        std::vector<double> times;
        for (const auto& message : sent[zone]) {
            if (message.kind == Kind::controller) {
                times.push_back(message.at);
            }
        }
        return times;
    }
    std::size_t total() const {
        std::size_t count = 0;
        for (const auto& log : sent) {
            count += log.size();
        }
        return count;
    }

    ManualScheduler clock;
    std::vector<std::vector<MidiMessage>> sent;
    std::unique_ptr<PianoEngine> engine;
};

TEST_F(NoteLogicTest, ATwoSecondNoteHoldsThenFadesInFortyEightTicksAndStopsOnTheLast) {
    engine->play(0, 92);
    ASSERT_EQ(sent[0].size(), 3u);
    EXPECT_EQ(sent[0][0].kind, Kind::controller);
    EXPECT_EQ(sent[0][0].second, 127);
    EXPECT_EQ(sent[0][1].kind, Kind::stop);
    EXPECT_EQ(sent[0][1].first, 60);
    EXPECT_EQ(sent[0][2].kind, Kind::start);
    EXPECT_EQ(sent[0][2].first, 60);
    EXPECT_EQ(sent[0][2].second, 92);

    clock.advance(0.8 - 0.001);
    EXPECT_EQ(sent[0].size(), 3u) << "nothing happens during the hold";
    clock.advance(10);

    const std::vector<int> values = expressions(0);
    ASSERT_EQ(values.size(), 49u);
    EXPECT_THAT(std::vector<int>(values.begin() + 1, values.begin() + 4),
                ElementsAre(124, 122, 119));
    EXPECT_THAT(std::vector<int>(values.end() - 2, values.end()), ElementsAre(3, 0));
    const std::vector<double> times = expressionTimes(0);
    for (std::size_t tick = 1; tick <= 48; ++tick) {
        EXPECT_NEAR(times[tick], 0.8 + 0.025 * static_cast<double>(tick), 1e-6) << tick;
    }
    ASSERT_EQ(sent[0].size(), 3u + 48u + 1u);
    EXPECT_EQ(sent[0].back().kind, Kind::stop);
    EXPECT_EQ(sent[0].back().first, 60);
    EXPECT_NEAR(sent[0].back().at, 2.0, 1e-6);
    EXPECT_EQ(clock.pendingCount(), 0u) << "the fade timer ends with the note";
    EXPECT_EQ(total(), sent[0].size()) << "other zones are never touched";
}

TEST_F(NoteLogicTest, HoldAndTickCountFollowTheNoteLength) {
    struct Case {
        double length;
        double hold;
        std::size_t ticks;
    };
    for (const Case& c : {Case{0.5, 0.2, 12}, Case{8.0, 3.2, 192}, Case{0.3, 0.12, 8}}) {
        SCOPED_TRACE(c.length);
        for (auto& log : sent) {
            log.clear();
        }
        engine->setNoteLength(c.length);
        const double struck = clock.now();
        engine->play(2, 92);
        clock.advance(c.hold - 0.0001);
        ASSERT_EQ(sent[2].size(), 3u);
        clock.advance(c.length);
        const std::vector<double> times = expressionTimes(2);
        ASSERT_EQ(times.size(), 1 + c.ticks);
        const double interval = (c.length - c.hold) / static_cast<double>(c.ticks);
        EXPECT_NEAR(times[1] - struck, c.hold + interval, 1e-6);
        EXPECT_NEAR(times.back() - struck, c.length, 1e-6);
        EXPECT_EQ(expressions(2).back(), 0);
        EXPECT_EQ(sent[2].back().kind, Kind::stop);
    }
}

TEST_F(NoteLogicTest, ReStrikingWhileHoldingGivesAFreshHold) {
    engine->play(1, 92);
    clock.advance(0.5);
    engine->play(1, 80);
    ASSERT_EQ(sent[1].size(), 6u);
    EXPECT_EQ(sent[1][3].second, 127);
    EXPECT_EQ(sent[1][4].kind, Kind::stop);
    EXPECT_EQ(sent[1][5].kind, Kind::start);
    EXPECT_EQ(sent[1][5].second, 80);

    clock.advance(0.8 - 0.001);
    EXPECT_EQ(sent[1].size(), 6u) << "the first strike's hold must not start a fade";
    clock.advance(0.026);
    ASSERT_EQ(sent[1].size(), 7u);
    EXPECT_EQ(sent[1][6].second, 124);
    EXPECT_NEAR(sent[1][6].at, 0.5 + 0.8 + 0.025, 1e-6);
    clock.advance(10);
    EXPECT_EQ(expressions(1).size(), 2u + 48u) << "exactly one fade runs";
}

TEST_F(NoteLogicTest, ReStrikingWhileFadingStopsTheFadeAndStartsAtFullExpression) {
    engine->play(4, 92);
    clock.advance(1.0); // eight ticks into the fade
    ASSERT_EQ(expressions(4).size(), 1u + 8u);
    engine->play(4, 92);
    EXPECT_EQ(expressions(4).back(), 127);
    const std::size_t afterStrike = sent[4].size();

    clock.advance(0.8 - 0.001);
    EXPECT_EQ(sent[4].size(), afterStrike) << "the old fade goes on ticking";
    clock.advance(10);
    const std::vector<int> values = expressions(4);
    ASSERT_EQ(values.size(), 1u + 8u + 1u + 48u);
    EXPECT_EQ(values[10], 124) << "the new fade starts from full expression";
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(NoteLogicTest, ZonesHoldAndFadeIndependently) {
    engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
    engine->play(0, 92);
    clock.advance(0.5);
    engine->play(11, 92);
    clock.advance(0.5); // zone 0 fading, zone 11 holding
    EXPECT_EQ(expressions(0).size(), 1u + 8u);
    EXPECT_EQ(expressions(11).size(), 1u);
    clock.advance(10);
    EXPECT_EQ(expressions(0).size(), 49u);
    EXPECT_EQ(expressions(11).size(), 49u);
    EXPECT_NEAR(sent[0].back().at, 2.0, 1e-6);
    EXPECT_NEAR(sent[11].back().at, 2.5, 1e-6);
    EXPECT_EQ(total(), 2u * 52u);
}

TEST_F(NoteLogicTest, StrikesThatCannotBePlayedAreLoggedAndChangeNothing) {
    LogCapture log;
    engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 4});
    engine->play(3, 92); // sounding, holding until 0.8
    const std::size_t sounding = total();

    engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 3});
    engine->play(3, 92); // beyond the scale
    engine->play(12, 92);
    engine->play(-1, 92);
    engine->play(std::numeric_limits<int>::min(), 92);
    EXPECT_EQ(total(), sounding);
    EXPECT_EQ(log.count("play ignored: engine running true, instrument loaded true, output "
                        "System default"),
              4u);

    clock.advance(0.8 + 0.025 + kTolerance);
    EXPECT_EQ(expressions(3).size(), 2u) << "an ignored strike must not cancel the sounding note";

    // Off: paused after the tail, whatever the instrument says.
    engine->stopAfterTail();
    clock.advance(2.0 + 4.0 + 0.001);
    ASSERT_FALSE(engine->isEngineRunning());
    log.clear();
    const std::size_t before = total();
    engine->play(0, 92);
    EXPECT_EQ(total(), before);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].level, LogLevel::error);
    EXPECT_EQ(log.lines()[0].text,
              "play ignored: engine running false, instrument loaded true, output System default");
}

TEST_F(NoteLogicTest, SoundingNotesKeepTheirLengthAndNoteWhenSettingsChange) {
    engine->play(0, 92);
    engine->setNoteLength(8.0);
    engine->setScale({music::KeyRoot::a, music::ScaleMode::minor, 9});
    clock.advance(0.8 + 1.2 + kTolerance);
    EXPECT_EQ(expressions(0).size(), 49u) << "the struck note keeps its own fade";
    EXPECT_EQ(sent[0].back().kind, Kind::stop);
    EXPECT_EQ(sent[0].back().first, 60);

    // The next strike uses the new length and the new scale's note.
    sent[0].clear();
    engine->play(0, 92);
    EXPECT_EQ(sent[0][1].kind, Kind::stop);
    EXPECT_EQ(sent[0][1].first, 57);
    EXPECT_EQ(sent[0][2].first, 57);
    clock.advance(3.2 - 0.001);
    EXPECT_EQ(sent[0].size(), 3u);
    clock.advance(5);
    EXPECT_EQ(expressions(0).size(), 1u + 192u);
}

// The earlier note is stopped, not left unfaded: a sustaining sound would hold it for ever.
TEST_F(NoteLogicTest, AStrikeAfterAScaleChangeStopsTheEarlierNoteFirst) {
    engine->play(0, 92);
    engine->setScale({music::KeyRoot::d, music::ScaleMode::major, 9});
    engine->play(0, 92);
    std::vector<int> stopped;
    for (const auto& message : sent[0]) {
        if (message.kind == Kind::stop) {
            stopped.push_back(message.first);
        }
    }
    EXPECT_THAT(stopped, ElementsAre(60, 60, 62));
}

// What a DAW connected to the "Plinkora" port receives, read by a real JACK client.
TEST_F(NoteLogicTest, MidiOutPlaysEachZoneOnItsChannelAndLeavesNoNoteHanging) {
    JackServer jack;
    engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
    // Short notes: a JACK port carries a period's worth of messages at a time, and the manual
    // clock sends a whole fade at once.
    engine->setNoteLength(0.5);
    engine->setMidiOutput(true);
    ASSERT_TRUE(jack.listenTo("Plinkora:Plinkora")) << jack.ports();

    engine->play(0, 92);
    // The strikes' own spacing reaches the instrument, give or take JACK's periods.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine->play(9, 40);
    clock.advance(10);
    engine->play(1, 100);
    engine->setPlaysBuiltInSound(false);
    engine->play(2, 50);
    EXPECT_TRUE(sent[2].empty() || sent[2].back().kind != Kind::start)
        << "only the external instrument plays";
    engine->setMidiOutput(false);

    ASSERT_TRUE(waitUntil([&] {
        const auto seen = jack.messages();
        return !seen.empty() && seen.back() == "ba 7b 00";
    })) << ::testing::PrintToString(jack.messages());
    const std::vector<std::string> seen = jack.messages();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "b0 0b 7f") << "full expression before the note";
    EXPECT_EQ(seen[1], "90 3c 5c");
    EXPECT_THAT(seen, Contains("9a 4c 28")) << "zone 9 skips the drum channel";
    const auto frameOf = [&](const std::string& bytes) {
        for (const auto& message : jack.received()) {
            if (message.bytes == bytes) {
                return message.frame;
            }
        }
        return -1L;
    };
    EXPECT_NEAR(frameOf("9a 4c 28") - frameOf("90 3c 5c"), 0.2 * 48000,
                2 * JackServer::kPeriodFrames);
    EXPECT_THAT(seen, Contains("92 40 32"));
    std::map<char, int> expressions;
    for (const auto& message : seen) {
        EXPECT_NE(message[1], '9') << message << ": nothing on the drum channel";
        if (message.substr(2) == " 0b 00") {
            ++expressions[message[1]];
        }
    }
    EXPECT_EQ(expressions['0'], 1) << "the fade reaches zero once";
    EXPECT_EQ(expressions['a'], 1);
    const auto fadeEnd = std::find(seen.begin(), seen.end(), "b0 0b 00");
    ASSERT_NE(fadeEnd, seen.end());
    EXPECT_EQ(*std::next(fadeEnd), "80 3c 00") << "the note stops with its fade";
    // Turning MIDI out off: the notes still sounding stop, then every channel used is told.
    EXPECT_THAT(
        std::vector<std::string>(seen.end() - 6, seen.end()),
        ElementsAre("81 3e 00", "82 40 00", "b0 7b 00", "b1 7b 00", "b2 7b 00", "ba 7b 00"));
    EXPECT_TRUE(waitUntil([&] { return jack.ports().find("Plinkora:") == std::string::npos; }))
        << "the port goes with the setting";
}

} // namespace
} // namespace plinkora::testing
