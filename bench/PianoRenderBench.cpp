// Render speed of the whole graph (synth, tone filter, hall reverb) on one core, with no
// device: twelve sounding notes, then a storm of strikes. Usage: bench_piano_render [font.sf2]
#include "AudioBenchSupport.hpp"
#include "ManualScheduler.hpp"
#include "audio/FluidPiano.hpp"
#include "audio/PianoEngine.hpp"

#include <cstdio>
#include <ctime>

using namespace plinkora;

namespace {

/// This thread's own CPU time: what one core spends, whatever else the machine runs.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr double kRate = 48000;
constexpr std::size_t kBlock = audio::PianoGraph::kBlockFrames;
constexpr double kBlockSeconds = static_cast<double>(kBlock) / kRate;

struct Run {
    double realTimeFactor = 0;
    std::vector<double> blockShares; // block render time / block duration
    int peakVoices = 0;
};

/// Renders `seconds` in 64-frame blocks; `beforeBlock` strikes notes at their times.
template <typename BeforeBlock>
Run render(PianoEngine& engine, testing::ManualScheduler& clock, audio::PianoGraph& graph,
           double seconds, BeforeBlock beforeBlock) {
    Run run;
    std::vector<float> out(2 * kBlock);
    const auto blocks = static_cast<std::size_t>(seconds / kBlockSeconds);
    run.blockShares.reserve(blocks);
    double busy = 0;
    for (std::size_t i = 0; i < blocks; ++i) {
        const double time = static_cast<double>(i) * kBlockSeconds;
        beforeBlock(time);
        const double begin = cpuSeconds();
        graph.render(out.data(), kBlock, audio::AudioRenderer::kNoClock);
        const double spent = cpuSeconds() - begin;
        busy += spent;
        run.blockShares.push_back(spent / kBlockSeconds);
        clock.advance(kBlockSeconds);
        run.peakVoices = std::max(run.peakVoices, engine.piano()->activeVoices());
    }
    run.realTimeFactor = seconds / busy;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const std::string font = bench::soundFontArgument(argc, argv);
    std::printf("sound font %s\n", font.c_str());
    for (int round = 0; round < 3; ++round) {
        testing::ManualScheduler clock;
        audio::PianoGraph* graph = nullptr;
        PianoEngine engine(clock, font, [&](audio::PianoGraph& made) {
            graph = &made;
            return std::make_unique<bench::DirectOutput>(made);
        });
        engine.setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
        engine.setNoteLength(8.0);
        engine.start();
        for (int zone = 0; zone < 12; ++zone) {
            engine.play(zone, 92);
        }
        const Run chord = render(engine, clock, *graph, 10.0, [](double) {});
        std::printf("round %d  12 notes sounding: %.0fx real time, voices %d, 99.9th percentile "
                    "block %.1f%%, worst %.1f%%\n",
                    round, chord.realTimeFactor, chord.peakVoices,
                    100 * bench::percentile(chord.blockShares, 0.999),
                    100 * bench::percentile(chord.blockShares, 1.0));
    }
    for (int round = 0; round < 3; ++round) {
        testing::ManualScheduler clock;
        audio::PianoGraph* graph = nullptr;
        PianoEngine engine(clock, font, [&](audio::PianoGraph& made) {
            graph = &made;
            return std::make_unique<bench::DirectOutput>(made);
        });
        engine.setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
        engine.setNoteLength(8.0);
        engine.start();
        int strikes = 0;
        const Run storm = render(engine, clock, *graph, 10.0, [&](double time) {
            // 40 strikes a second, spread over the twelve zones.
            while (strikes < static_cast<int>(time * 40)) {
                engine.play((strikes * 5) % 12, 92);
                ++strikes;
            }
        });
        std::printf("round %d  storm of 40 strikes/s: %.1fx real time, peak voices %d, "
                    "median block %.2f%%, 99.9th percentile %.1f%%, worst %.1f%% of its duration\n",
                    round, storm.realTimeFactor, storm.peakVoices,
                    100 * bench::median(storm.blockShares),
                    100 * bench::percentile(storm.blockShares, 0.999),
                    100 * bench::percentile(storm.blockShares, 1.0));
    }
    return 0;
}
