#pragma once

#include "audio/AudioOutput.hpp"

#include <QObject>
#include <pulse/pulseaudio.h>

namespace plinkora::audio {

/// The engine's output through the PulseAudio client API (PipeWire serves the same API): a
/// threaded main loop, one context and one playback stream of 32-bit float stereo frames,
/// rendered in the stream's write callback on the main loop's thread.
///
/// Every public operation is called on the main thread; the server's events reach it as
/// queued calls. Nothing is made or destroyed on the audio thread.
class PulseOutput final : public AudioOutput {
public:
    static constexpr double kTargetLatencySeconds = 0.005;

    PulseOutput(AudioRenderer& renderer, double sampleRate);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    std::optional<std::string> start() override;
    void pause() override;
    void stop() override;
    bool isRunning() const override;
    double sampleRate() const override;

    std::optional<std::uint32_t> defaultSink() override;
    std::optional<std::uint32_t> sink() const override { return sink_; }
    std::optional<std::string> selectSink(std::uint32_t index) override;
    std::optional<std::string> sinkDescription(std::uint32_t index) override;

    void setOnDefaultSinkChange(std::function<void()> callback) override {
        onDefaultSinkChange_ = std::move(callback);
    }
    void setOnConfigurationChange(std::function<void()> callback) override {
        onConfigurationChange_ = std::move(callback);
    }

    /// The delay until a frame written now is heard, as the server reports it. Runs on the
    /// audio thread, from within the renderer only.
    double latencyOnAudioThread() const;

private:
    // The helpers below run on the main thread with the main loop locked.
    bool connectContext(std::string& error);
    bool connectStream(std::string& error);
    void dropStream();
    void dropContext();
    std::string contextError() const;

    // Main thread, from queued calls.
    void handleServerChange();
    void handleConnectionLoss();
    void handleStreamMove();

    // The main loop's thread.
    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamMoved(pa_stream* stream, void* self);
    static void serverEvent(pa_context* context, pa_subscription_event_type_t type,
                            std::uint32_t index, void* self);
    static void writeRequested(pa_stream* stream, std::size_t bytes, void* self);
    void post(void (PulseOutput::*handler)());

    AudioRenderer& renderer_;
    pa_sample_spec spec_{};
    QObject mainThread_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool contextReady_ = false;
    bool streamReady_ = false;
    bool corked_ = false;
    std::optional<std::uint32_t> sink_;
    std::string sinkName_;
    std::string defaultSinkName_;
    std::function<void()> onDefaultSinkChange_;
    std::function<void()> onConfigurationChange_;
};

} // namespace plinkora::audio
