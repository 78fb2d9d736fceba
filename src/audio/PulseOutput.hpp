#pragma once

#include "audio/AudioOutput.hpp"

#include <QObject>
#include <atomic>
#include <pulse/pulseaudio.h>

namespace plinkora::audio {

/// The engine's output through the PulseAudio client API (PipeWire serves the same API): a
/// threaded main loop, one context and one playback stream of 32-bit float stereo frames,
/// rendered in the stream's write callback on the main loop's thread.
///
/// Every public operation is called on the main thread and waits for the server at most
/// kServerPatienceUsec (starting and pausing do not wait at all); the server's events reach
/// it as queued calls. Nothing is made or destroyed on the audio thread.
///
/// Once the renderer has been silent for a while the stream rests: it asks the server for a
/// long buffer, so that the audio thread wakes a few times a second instead of every couple
/// of milliseconds. The first message afterwards wakes it again: the short buffer comes back
/// and the queued silence is flushed, so the note is not held up behind it. Both changes are
/// made with the main loop locked, by whichever thread notices first.
class PulseOutput final : public AudioOutput {
public:
    static constexpr double kTargetLatencySeconds = 0.005;
    /// After an underrun the buffer doubles, up to this; after a long quiet stretch it halves
    /// again, down to kTargetLatencySeconds.
    static constexpr double kLongestLatencySeconds = 0.020;
    static constexpr double kQuietBeforeShrinking = 30.0;
    /// While nothing sounds the stream rests with a long buffer, so that the server asks for
    /// data a few times a second instead of hundreds; the first message wakes it.
    static constexpr double kRestingLatencySeconds = 0.25;
    /// How long the renderer must have been silent before the stream rests.
    static constexpr double kSilenceBeforeRest = 0.5;
    /// The longest any call here waits for the server before it counts as failed: a stalled
    /// server must never freeze the tray, the hot key or the overlay.
    static constexpr std::uint64_t kServerPatienceUsec = 40'000;
    static constexpr const char* kNoAnswer = "the sound server does not answer";

    PulseOutput(AudioRenderer& renderer, double sampleRate);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    std::optional<std::string> start() override;
    void pause() override;
    void stop() override;
    void wakeForSound() override;
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
    // Wait, within the patience, for a connection already under way; it is kept if it is
    // not done yet.
    bool awaitContext(std::string& error);
    bool awaitStream(std::string& error);
    void dropStream();
    void dropContext();
    std::string contextError() const;
    pa_buffer_attr bufferAttributes(double latencySeconds, std::uint32_t requestFrames) const;

    // With the main loop locked: rest on the audio thread, wake on either.
    void rest(pa_stream* stream);
    void wake(pa_stream* stream);
    // The audio thread's: seconds until the next frame written is heard.
    double delayUntilHeard(pa_stream* stream, double now);

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
    static void underflowed(pa_stream* stream, void* self);
    // The audio thread's, with the main loop locked: the buffer one step longer or shorter.
    void setLatencyStep(pa_stream* stream, double seconds);
    // The audio thread's: the delay from a message being sent to it being heard.
    void updateSentToHeard(double delay);
    // Main thread, from a queued call.
    void reportUnderrun();
    void finishRealtime();
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
    // Changed only with the main loop locked; read without it by wakeForSound's first look.
    std::atomic<bool> resting_{false};
    // The audio thread's: frames written since the renderer last had something to play.
    std::size_t silentFrames_ = 0;
    // Since the last wake, while the server's timing settles: when the first frame after
    // the flush was written, and how many followed.
    static constexpr double kSettleSeconds = 0.25;
    bool settling_ = false;
    double wokeAt_ = -1;
    std::size_t framesSinceWake_ = 0;
    // The sink's own share of the latency, as last reported while awake.
    double sinkLatency_ = 0;
    // The buffer asked for while awake; grows after underruns. Changed with the loop locked.
    double targetLatency_ = kTargetLatencySeconds;
    double lastUnderrunAt_ = 0;
    double underflowsCountFrom_ = 0;
    double sentToHeard_ = 0;
    std::atomic<unsigned> underruns_{0};
    // The audio thread asks for real-time scheduling on its first write; the main thread
    // finishes the request.
    bool hasAskedRealtime_ = false;
    std::atomic<pid_t> audioThread_{0};
    std::atomic<bool> isRealtimeDirect_{false};
    std::optional<std::uint32_t> sink_;
    std::string sinkName_;
    /// When a wait for the server last ran out (pa_rtclock), or 0.
    std::uint64_t lastTimeout_ = 0;
    /// The sink's description as last read, for when the server cannot be asked.
    std::string sinkDescription_;
    std::string defaultSinkName_;
    std::function<void()> onDefaultSinkChange_;
    std::function<void()> onConfigurationChange_;
};

} // namespace plinkora::audio
