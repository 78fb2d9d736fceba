// The real piano from a real SoundFont, rendered with no sound device.
#include "AudioTestSupport.hpp"
#include "ChildProcess.hpp"
#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "TempHome.hpp"
#include "audio/FluidPiano.hpp"
#include "audio/PianoEngine.hpp"

#include <QFileInfo>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace plinkora::testing {
namespace {

const std::string kSmallFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr double kRate = 48000;
constexpr std::size_t kTick = 1200; // 25 ms

struct OfflinePiano {
    explicit OfflinePiano(const std::string& font) {
        engine = std::make_unique<PianoEngine>(clock, font, [this](audio::PianoGraph& graph) {
            auto made = std::make_unique<OfflineOutput>(&graph);
            output = made.get();
            this->graph = &graph;
            return made;
        });
        engine->start();
    }

    /// Renders `seconds` while the clock keeps pace, so that hold and fade happen on time.
    std::vector<float> play(double seconds, std::vector<float>* preReverb) {
        std::vector<float> out;
        const auto ticks = static_cast<std::size_t>(seconds * kRate / kTick);
        for (std::size_t i = 0; i < ticks; ++i) {
            const std::vector<float> block = output->render(kTick, preReverb);
            out.insert(out.end(), block.begin(), block.end());
            clock.advance(static_cast<double>(kTick) / kRate);
        }
        return out;
    }

    ManualScheduler clock;
    OfflineOutput* output = nullptr;
    audio::PianoGraph* graph = nullptr;
    std::unique_ptr<PianoEngine> engine;
};

std::vector<float> slice(const std::vector<float>& interleaved, double from, double to) {
    const auto begin = static_cast<long>(from * kRate) * 2;
    const auto end = static_cast<long>(to * kRate) * 2;
    return {interleaved.begin() + begin, interleaved.begin() + end};
}

TEST(SoundFontTest, EveryZoneSoundsItsNoteInEveryMode) {
    using music::KeyRoot;
    using music::ScaleMode;
    // Two keys a mode, every zone: the engine plays what the scale computes, in tune.
    std::vector<music::Scale> scales{{KeyRoot::c, ScaleMode::major, 9},
                                     {KeyRoot::a, ScaleMode::minor, 9}};
    for (const ScaleMode mode : music::kAllModes) {
        if (mode != ScaleMode::major && mode != ScaleMode::minor) {
            scales.push_back({KeyRoot::d, mode, 9});
            scales.push_back({KeyRoot::aFlat, mode, 9});
        }
    }
    for (const music::Scale& scale : scales) {
        const std::vector<std::uint8_t> notes = scale.midiNotes();
        for (std::size_t zone = 0; zone < notes.size(); ++zone) {
            SCOPED_TRACE(scale.title() + " zone " + std::to_string(zone));
            OfflinePiano piano(kSmallFont);
            ASSERT_TRUE(piano.engine->instrumentLoaded());
            piano.engine->setScale(scale);
            piano.engine->play(static_cast<int>(zone), 92);
            std::vector<float> dry;
            piano.play(0.5, &dry);
            const double hertz = 440.0 * std::pow(2.0, (notes[zone] - 69) / 12.0);
            const double measured = fundamental(leftChannel(slice(dry, 0.1, 0.45)), kRate);
            EXPECT_NEAR(measured, hertz, hertz * 0.01);
        }
    }
}

/// What zone 0's channel plays: a program of a sound bank.
fluid_preset_t* presetOfZone0(OfflinePiano& piano) {
    return fluid_synth_get_channel_preset(piano.engine->piano()->synth(), 0);
}

int programOfZone0(OfflinePiano& piano) {
    return fluid_preset_get_num(presetOfZone0(piano));
}

// Another sound plays from the next strike on, in tune, while the note sounding at the change
// rings on; choosing the piano again brings back the piano.
TEST(SoundFontTest, AnotherSoundTakesOverWithoutCuttingTheSoundingNote) {
    LogCapture log;
    OfflinePiano piano(kSmallFont);
    const double middleC = 440.0 * std::pow(2.0, (60 - 69) / 12.0);
    const auto strike = [&] {
        std::vector<float> dry;
        piano.engine->play(0, 92);
        piano.play(0.5, &dry);
        return dry;
    };
    const auto choose = [&](music::Sound sound) {
        piano.engine->setSound(sound);
        const std::string done = "sound is now " + music::displayLabel(sound);
        EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains(done); }, 10000)) << done;
    };
    const std::vector<float> first = strike();
    EXPECT_EQ(programOfZone0(piano), 0);

    choose(music::Sound::flute);
    std::vector<float> across;
    piano.play(0.1, &across);
    EXPECT_GT(rms(across), 0.5 * rms(slice(first, 0.4, 0.5))) << "the piano note rings on";
    piano.play(3, nullptr);
    const std::vector<float> flute = strike();
    EXPECT_EQ(programOfZone0(piano), 73);
    EXPECT_NEAR(fundamental(leftChannel(slice(flute, 0.1, 0.45)), kRate), middleC, middleC * 0.01);

    piano.play(3, nullptr);
    choose(music::Sound::grandPiano);
    piano.play(3, nullptr);
    strike();
    EXPECT_EQ(programOfZone0(piano), 0);
    EXPECT_EQ(log.count("could not load"), 0u);
}

// A bank file of the player's takes over once it is loaded; one that cannot be loaded is said
// in so many words and leaves the sound as it was; the system's bank comes back on request.
TEST(SoundFontTest, AChosenSoundBankPlaysOnceLoadedAndABrokenOneChangesNothing) {
    TempHome home;
    LogCapture log;
    OfflinePiano piano(kSmallFont);
    std::vector<std::optional<std::string>> results;
    piano.engine->setOnSoundBankResult(
        [&](const std::optional<std::string>& problem) { results.push_back(problem); });
    const auto bankOfZone0 = [&] {
        return std::string(fluid_sfont_get_name(fluid_preset_get_sfont(presetOfZone0(piano))));
    };
    const auto choose = [&](const std::string& bank) {
        const std::size_t before = results.size();
        piano.engine->setSoundBank(bank);
        EXPECT_TRUE(QTest::qWaitFor([&] { return results.size() > before; }, 30000)) << bank;
        piano.play(3, nullptr);
        return results.empty() ? std::nullopt : results.back();
    };

    const std::string broken =
        home.writeFile(QStringLiteral("broken.sf2"), "RIFF, but no SoundFont").toStdString();
    EXPECT_EQ(choose(broken), broken + " is not a SoundFont");
    EXPECT_EQ(bankOfZone0(), kSmallFont);
    piano.engine->play(0, 92);
    EXPECT_GT(peakDb(piano.play(0.3, nullptr)), -40) << "the sound plays on";

    // The system's full General MIDI bank, 141 MB: loaded off the main thread.
    const std::string full = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    EXPECT_EQ(choose(full), std::nullopt);
    EXPECT_EQ(bankOfZone0(), full);
    EXPECT_EQ(choose({}), std::nullopt) << "back to the engine's own bank";
    EXPECT_EQ(bankOfZone0(), kSmallFont);
}

// Python's mido, an independent reader: every note and the expression sent on each channel,
// with its time in milliseconds.
constexpr const char* kReadMidiFile = R"(
import mido, sys
song = mido.MidiFile(sys.argv[1])
tempo = next(m.tempo for m in song.tracks[0] if m.type == 'set_tempo')
for track in song.tracks[1:]:
    ticks, steps = 0, []
    for m in track:
        ticks += m.time
        ms = round(mido.tick2second(ticks, song.ticks_per_beat, tempo) * 1000)
        if m.type == 'note_on':
            print('on', m.channel, m.note, m.velocity, ms)
        elif m.type == 'note_off':
            print('off', m.channel, m.note, ms)
        elif m.type == 'control_change' and m.control == 11:
            steps.append(m.value)
    print('expression', len(steps), steps[-1])
)";

// What was just played, saved: a MIDI file read back by another program, and audio whose
// pitch is measured. With nothing played, nothing is written.
TEST(SoundFontTest, SavingTheLastMinutesWritesWhatWasPlayed) {
    TempHome home;
    const std::string folder = home.path().toStdString() + "/Music/Plinkora";
    OfflinePiano piano(kSmallFont);
    const auto save = [&](const std::string& name) {
        std::optional<SavedPlay> saved;
        piano.engine->saveRecent(folder, name, [&](const SavedPlay& done) { saved = done; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return saved.has_value(); }, 10000));
        return saved.value_or(SavedPlay{});
    };
    EXPECT_TRUE(save("nothing").nothingPlayed);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder)));

    piano.play(1.0, nullptr);
    piano.engine->play(0, 92);
    piano.play(0.5, nullptr);
    piano.engine->play(4, 60);
    piano.play(3.0, nullptr);
    const SavedPlay saved = save("take");
    ASSERT_TRUE(saved.problem.empty()) << saved.problem;
    EXPECT_EQ(saved.midiFile, folder + "/take.mid");
    // Debian's own Python, which python3-mido is installed for.
    EXPECT_EQ(runCommand({"/usr/bin/python3", "-c", kReadMidiFile, saved.midiFile}),
              "on 0 60 92 0\noff 0 60 2000\nexpression 49 0\n"
              "on 4 67 60 500\noff 4 67 2500\nexpression 49 0\n");

    EXPECT_EQ(readFile(saved.audioFile).rfind("fLaC", 0), 0u);
    const std::vector<float> audio = readFirstChannel(saved.audioFile);
    const auto seconds = [&](double from, double to) {
        return std::vector<float>(audio.begin() + static_cast<long>(from * kRate),
                                  audio.begin() + static_cast<long>(to * kRate));
    };
    // From a quarter of a second before the first strike to the end.
    EXPECT_NEAR(static_cast<double>(audio.size()) / kRate, 0.25 + 3.5, 0.05);
    EXPECT_LT(peakDb(seconds(0, 0.2)), -60);
    const double middleC = 440.0 * std::pow(2.0, (60 - 69) / 12.0);
    EXPECT_NEAR(fundamental(seconds(0.3, 0.7), kRate), middleC, middleC * 0.01);
}

// The output rests on a long buffer, and throws its queue away on the next strike, only
// while the graph says it is silent: said too early, a ringing tail would be cut off.
TEST(SoundFontTest, TheGraphIsSilentOnlyOnceTheVoicesAndTheHallHaveDiedAway) {
    OfflinePiano piano(kSmallFont);
    piano.engine->setNoteLength(2.0);
    piano.output->render(kTick, nullptr);
    EXPECT_TRUE(piano.graph->isSilent()) << "nothing struck yet";

    piano.engine->play(3, 92);
    EXPECT_TRUE(piano.graph->hasPendingMessages());
    EXPECT_FALSE(piano.graph->isSilent()) << "a strike is on its way";
    // A resting output renders with nothing due: the strike must wait for it to wake.
    std::vector<float> resting(2 * kTick);
    piano.graph->render(resting.data(), kTick, audio::AudioRenderer::kNothingDue);
    EXPECT_TRUE(piano.graph->hasPendingMessages());
    EXPECT_LT(peakDb(resting), -120.0);

    const double tick = static_cast<double>(kTick) / kRate;
    double silentAt = -1;
    double dryEnd = -1;
    std::vector<float> out;
    for (double at = tick; at < 12 && silentAt < 0; at += tick) {
        std::vector<float> dry;
        const std::vector<float> block = piano.play(tick, &dry);
        out.insert(out.end(), block.begin(), block.end());
        const double peak = peakDb(dry);
        if (peak > -90.0) {
            dryEnd = at;
        }
        // The piano itself is silent once its note length is up.
        EXPECT_TRUE(at < 2.05 || peak < -60.0) << at;
        if (piano.graph->isSilent()) {
            silentAt = at;
        }
    }
    EXPECT_FALSE(piano.graph->hasPendingMessages());
    ASSERT_GT(dryEnd, 1.5) << "the note sounded into its fade";
    ASSERT_GT(silentAt, dryEnd + 1.0)
        << "the hall rings on after the piano; silent at " << silentAt;
    EXPECT_GT(peakDb(slice(out, silentAt - 0.4, silentAt - 0.2)), -100.0)
        << "silent only once the tail is all but gone";
    const std::vector<float> after = piano.play(0.5, nullptr);
    EXPECT_LT(peakDb(after), -90.0);
    EXPECT_TRUE(piano.graph->isSilent());
}

TEST(SoundFontTest, EveryZoneHasItsOwnChannelAndTheDrumChannelIsNeverUsed) {
    OfflinePiano piano(kSmallFont);
    ASSERT_EQ(piano.engine->samplerCount(), 12u);
    piano.engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
    fluid_synth_t* synth = piano.engine->piano()->synth();
    for (int zone = 0; zone < 12; ++zone) {
        piano.engine->play(zone, 92);
    }
    piano.play(0.05, nullptr);
    std::vector<fluid_voice_t*> voices(64, nullptr);
    fluid_synth_get_voicelist(synth, voices.data(), static_cast<int>(voices.size()), -1);
    std::set<int> channels;
    for (fluid_voice_t* voice : voices) {
        if (voice != nullptr && fluid_voice_is_playing(voice)) {
            channels.insert(fluid_voice_get_channel(voice));
        }
    }
    EXPECT_EQ(channels, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12}));
    // Every zone plays the piano, not a drum kit or an empty preset.
    for (int channel : channels) {
        fluid_preset_t* preset = fluid_synth_get_channel_preset(synth, channel);
        ASSERT_NE(preset, nullptr);
        EXPECT_EQ(fluid_preset_get_num(preset), 0);
        EXPECT_EQ(fluid_preset_get_banknum(preset), 0);
    }
    EXPECT_EQ(fluid_synth_get_channel_preset(synth, 9), nullptr);
}

TEST(SoundFontTest, AStrikeSoundsAFixedDelayAfterItWasSentWhateverTheBlock) {
    std::string error;
    auto piano = audio::FluidPiano::create(error);
    ASSERT_NE(piano, nullptr) << error;
    auto samplers = piano->makeSamplers(error);
    ASSERT_FALSE(samplers[0]->loadPiano(kSmallFont));
    constexpr double kBlockSeconds = audio::FluidPiano::kBlockFrames / kRate;
    for (const double phase : {0.0, 0.3, 0.7}) {
        SCOPED_TRACE(phase);
        samplers[0]->sendController(11, 127);
        const double sent = audio::monotonicSeconds();
        samplers[0]->startNote(60, 92);
        // The output's blocks are heard from just after the strike on, at some phase.
        int firstSounding = -1;
        std::vector<float> left(audio::FluidPiano::kBlockFrames);
        std::vector<float> right(audio::FluidPiano::kBlockFrames);
        for (int block = 0; block < 40 && firstSounding < 0; ++block) {
            const double heardAt = sent + (block + phase) * kBlockSeconds;
            piano->renderBlock(left.data(), right.data(), heardAt);
            if (peakDb(left) > -90) {
                firstSounding = block;
            }
        }
        ASSERT_GE(firstSounding, 0);
        const double delay = (firstSounding + phase) * kBlockSeconds;
        EXPECT_NEAR(delay, audio::FluidPiano::kStrikeToSound, kBlockSeconds / 2 + 1e-4);
        samplers[0]->sendController(11, 0);
        samplers[0]->stopNote(60);
        for (int block = 0; block < 2000; ++block) {
            piano->renderBlock(left.data(), right.data(), audio::AudioRenderer::kNoClock);
        }
        ASSERT_EQ(piano->activeVoices(), 0);
    }
}

TEST(SoundFontTest, AMissingOrBrokenSoundBankIsLoggedAndStrikesStillPlay) {
    TempHome home;
    const std::string notAFont =
        home.writeFile(QStringLiteral("piano.sf2"), "not a sound font").toStdString();
    const std::string missing = home.path().toStdString() + "/nothing.sf2";
    struct Case {
        std::string path;
        std::string logged;
    };
    for (const Case& c : {Case{missing, "Plinkora: could not load the system piano: " + missing +
                                            " does not exist"},
                          Case{notAFont, "Plinkora: could not load the system piano: " + notAFont +
                                             " is not a SoundFont"}}) {
        SCOPED_TRACE(c.path);
        LogCapture log;
        OfflinePiano piano(c.path);
        EXPECT_FALSE(piano.engine->instrumentLoaded());
        EXPECT_EQ(log.count("could not load the system piano"), 1u) << "logged once, not per zone";
        ASSERT_TRUE(log.contains(c.logged));
        piano.engine->play(0, 92);
        EXPECT_FALSE(log.contains("play ignored"));
        const std::vector<float> out = piano.play(0.2, nullptr);
        EXPECT_EQ(peakDb(out), -std::numeric_limits<double>::infinity());
    }
}

TEST(SoundFontTest, ASingleNoteSitsNearMinusTwelveAndAFullChordNeverClips) {
    OfflinePiano piano("/usr/share/sounds/sf2/default-GM.sf2");
    ASSERT_TRUE(piano.engine->instrumentLoaded());
    piano.engine->setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
    for (int zone = 0; zone < 12; ++zone) {
        piano.engine->play(zone, 92);
        const double peak = peakDb(piano.play(1.0, nullptr));
        EXPECT_GE(peak, -14.0) << zone;
        EXPECT_LE(peak, -10.0) << zone;
        piano.play(3.5, nullptr);
    }
    for (int zone = 0; zone < 12; ++zone) {
        piano.engine->play(zone, 92);
    }
    EXPECT_LE(peakDb(piano.play(2.0, nullptr)), -1.0);
}

} // namespace
} // namespace plinkora::testing
