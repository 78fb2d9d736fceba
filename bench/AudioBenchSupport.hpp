#pragma once
// Shared by the audio benchmarks: an output with no device and a few statistics.

#include "audio/AudioOutput.hpp"
#include "audio/PianoGraph.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace plinkora::bench {

/// Runs while started; the benchmark renders the graph itself, on its own thread.
class DirectOutput final : public audio::AudioOutput {
public:
    explicit DirectOutput(audio::PianoGraph& graph)
        : graph(graph) {}
    std::optional<std::string> start() override {
        running = true;
        return std::nullopt;
    }
    void pause() override { running = false; }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }
    double sampleRate() const override { return 48000; }
    std::optional<std::uint32_t> defaultSink() override { return std::nullopt; }
    std::optional<std::uint32_t> sink() const override { return std::nullopt; }
    std::optional<std::string> selectSink(std::uint32_t) override { return std::nullopt; }
    std::optional<std::string> sinkDescription(std::uint32_t) override { return std::nullopt; }
    void setOnDefaultSinkChange(std::function<void()>) override {}
    void setOnConfigurationChange(std::function<void()>) override {}

    audio::PianoGraph& graph;
    bool running = false;
};

inline double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double median(std::vector<double> values) {
    return percentile(std::move(values), 0.5);
}

/// The soundfont to measure with: the system's General MIDI font unless given.
inline std::string soundFontArgument(int argc, char** argv) {
    return argc > 1 ? argv[1] : "/usr/share/sounds/sf2/default-GM.sf2";
}

} // namespace plinkora::bench
