#pragma once
// Shared by the audio benchmarks: an output with no device and a few statistics.

#include "BenchStatistics.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/PianoGraph.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace plinkora::bench {

/// Runs while started; the benchmark renders the graph itself, on its own thread.
class DirectOutput final : public audio::AudioOutput {
public:
    explicit DirectOutput(audio::PianoGraph& graph)
        : graph(graph) {}
    void start(Done done) override {
        running = true;
        done(std::nullopt);
    }
    void pause() override { running = false; }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }
    double sampleRate() const override { return 48000; }
    std::optional<std::uint32_t> defaultSink() const override { return std::nullopt; }
    std::optional<std::uint32_t> sink() const override { return std::nullopt; }
    void selectSink(std::uint32_t, Done done) override { done(std::nullopt); }
    std::optional<std::string> sinkDescription(std::uint32_t) const override {
        return std::nullopt;
    }
    void setOnDefaultSinkChange(std::function<void()>) override {}
    void setOnConfigurationChange(std::function<void()>) override {}

    audio::PianoGraph& graph;
    bool running = false;
};

/// Lets the main thread's queued calls run for `seconds`: the output's answers arrive so.
inline void runEventsFor(double seconds) {
    const QDeadlineTimer deadline(static_cast<qint64>(seconds * 1000));
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

/// The soundfont to measure with: the system's General MIDI font unless given. Without one
/// the engine plays nothing, and measuring that would report silence as speed; so it ends here.
inline std::string soundFontArgument(int argc, char** argv) {
    const std::string font = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/default-GM.sf2";
    if (!std::ifstream(font).good()) {
        std::fprintf(stderr, "no sound font at %s\n", font.c_str());
        std::exit(1);
    }
    return font;
}

} // namespace plinkora::bench
