#pragma once

#include "AudioSignals.hpp"
#include "app/Scheduler.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/PianoGraph.hpp"
#include "audio/Sampler.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plinkora::testing {

/// What a recording sampler received, and when.
struct MidiMessage {
    enum class Kind { controller, start, stop };
    Kind kind;
    int first = 0;  // controller number or note
    int second = 0; // controller value or velocity
    double at = 0;
};

/// A sampler that writes down every message, stamped with the scheduler's clock.
class RecordingSampler final : public audio::Sampler {
public:
    RecordingSampler(const Scheduler& clock, std::vector<MidiMessage>& log)
        : clock_(clock)
        , log_(log) {}

    void sendController(std::uint8_t controller, std::uint8_t value) override {
        log_.push_back({MidiMessage::Kind::controller, controller, value, clock_.now()});
    }
    void startNote(std::uint8_t note, std::uint8_t velocity) override {
        log_.push_back({MidiMessage::Kind::start, note, velocity, clock_.now()});
    }
    void stopNote(std::uint8_t note) override {
        log_.push_back({MidiMessage::Kind::stop, note, 0, clock_.now()});
    }
    std::optional<std::string> loadPiano(const std::string&) override { return std::nullopt; }

private:
    const Scheduler& clock_;
    std::vector<MidiMessage>& log_;
};

/// An output with no device: it "runs" between start and pause or stop, and renders the graph
/// on demand, on the calling thread.
class OfflineOutput final : public audio::AudioOutput {
public:
    explicit OfflineOutput(audio::PianoGraph* graph = nullptr)
        : graph_(graph) {}

    void start(Done done) override {
        running_ = true;
        done(std::nullopt);
    }
    void pause() override { running_ = false; }
    void stop() override { running_ = false; }
    bool isRunning() const override { return running_; }
    double sampleRate() const override { return 48000; }
    std::optional<std::uint32_t> defaultSink() const override { return std::nullopt; }
    std::optional<std::uint32_t> sink() const override { return std::nullopt; }
    void selectSink(std::uint32_t, Done done) override { done(std::nullopt); }
    std::optional<std::string> sinkDescription(std::uint32_t) const override {
        return std::nullopt;
    }
    void setOnDefaultSinkChange(std::function<void()>) override {}
    void setOnConfigurationChange(std::function<void()>) override {}

    /// Renders `frames` through the whole graph; the signal entering the reverb is appended
    /// to `preReverb` when given. Both interleaved stereo.
    std::vector<float> render(std::size_t frames, std::vector<float>* preReverb = nullptr);

private:
    audio::PianoGraph* graph_;
    bool running_ = false;
};

} // namespace plinkora::testing
