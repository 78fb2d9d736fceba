// What the main thread and the audio thread share, under ThreadSanitizer: the engine strikes,
// holds, fades and re-strikes every zone on this thread while another thread renders the graph
// as an output's thread would, waking from rest and going back to it; now and then it changes
// the sound, so that the graph takes a synth loaded elsewhere and gives the old one back. Built
// with -fsanitize=thread (PLINKORA_TSAN); any race on our side of the line ends it with a report.
// Qt, libpulse and FluidSynth are not instrumented, so only Plinkora's own code is checked.
//
//   bench_audio_threads [seconds]
#include "AudioBenchSupport.hpp"
#include "ManualScheduler.hpp"
#include "app/Logger.hpp"
#include "audio/PianoEngine.hpp"
#include "audio/PianoGraph.hpp"

#include <QCoreApplication>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace plinkora;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    unsigned long changes = 0;
    Logger::setSinkForTesting([&changes](LogLevel, const std::string& line) {
        changes += line.rfind("sound is now", 0) == 0 ? 1 : 0;
    });
    testing::ManualScheduler clock;
    bench::DirectOutput* output = nullptr;
    PianoEngine engine(clock, "/usr/share/sounds/sf2/TimGM6mb.sf2",
                       [&output](audio::PianoGraph& graph) {
                           auto made = std::make_unique<bench::DirectOutput>(graph);
                           output = made.get();
                           return made;
                       });
    engine.setNoteLength(0.5);
    engine.start();
    if (!engine.isEngineRunning() || output == nullptr) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    // The output's thread, as PulseAudio's loop thread renders: resting briefly when silent.
    std::atomic<bool> rendering{true};
    unsigned long blocks = 0;
    std::thread audioThread([&] {
        std::array<float, 2 * 256> buffer{};
        while (rendering) {
            // Messages are due a little after they are sent, as with a real output's delay.
            output->graph.setSentToHeard(0.004);
            output->graph.render(buffer.data(), 256, audio::monotonicSeconds());
            ++blocks;
            if (output->graph.isSilent() && !output->graph.hasPendingMessages()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    });
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    unsigned long strikes = 0;
    unsigned long rounds = 0;
    const std::array<music::Sound, 3> sounds{music::Sound::flute, music::Sound::marimba,
                                             music::Sound::grandPiano};
    while (std::chrono::steady_clock::now() < end) {
        if (rounds++ % 20 == 0) {
            engine.setSound(sounds[(rounds / 20) % sounds.size()]);
        }
        QCoreApplication::processEvents();
        // Chords, re-strikes while holding and while fading, and pauses long enough to rest.
        for (int zone = 0; zone < 9; zone += 1 + static_cast<int>(strikes % 3)) {
            engine.play(zone, static_cast<std::uint8_t>(40 + strikes % 80));
            ++strikes;
        }
        for (int tick = 0; tick < 8; ++tick) {
            clock.advance(0.025);
            std::this_thread::sleep_for(std::chrono::milliseconds(strikes % 7 == 0 ? 40 : 3));
        }
    }
    clock.advance(2.0);
    rendering = false;
    audioThread.join();
    std::printf("%lu strikes and %lu changes of sound on this thread, %lu blocks rendered on the "
                "audio thread\n",
                strikes, changes, blocks);
    Logger::setSinkForTesting({});
    return 0;
}
