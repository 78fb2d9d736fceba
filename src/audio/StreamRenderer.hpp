#pragma once

#include "audio/AudioOutput.hpp"

#include <atomic>
#include <functional>
#include <pulse/pulseaudio.h>
#include <sys/types.h>

namespace plinkora::audio {

/// The audio thread's half of the PulseAudio output: it fills the stream when the server asks,
/// places every note by the stream's measured delay, rests the stream while nothing sounds and
/// grows the buffer after an underrun.
///
/// Everything here runs on the threaded main loop's thread with the loop locked (the loop's
/// callbacks are called so), except `isResting`, which any thread may read, and `wake`, which
/// the main thread may also call with the loop locked. The render itself neither allocates nor
/// waits; what the main thread must hear of (an underrun, the first write's thread) goes out
/// through `toMainThread`, whose queued call allocates, once per such rare event.
class StreamRenderer {
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
    /// The server asks for more as soon as this much has been played, so each write is small.
    static constexpr std::uint32_t kRequestFrames = 64;

    using ToMainThread = std::function<void(std::function<void()>)>;

    StreamRenderer(AudioRenderer& renderer, const pa_sample_spec& format,
                   ToMainThread toMainThread);

    /// The buffer a stream asks for on connecting.
    pa_buffer_attr connectingBuffer() const;
    /// A stream has become ready: it starts awake, from an empty queue.
    void begin();
    /// The server asks for `bytes`.
    void write(pa_stream* stream, std::size_t bytes);
    void underflowed(pa_stream* stream);
    /// Back to the short buffer, the queued silence dropped so the next note is not held up.
    void wake(pa_stream* stream);
    /// Sequentially consistent, as the message queue's write is: a message sent before this
    /// reads false is seen by the renderer before it rests.
    bool isResting() const { return resting_.load(std::memory_order_seq_cst); }
    /// After the loop is stopped: the buffer asked for now, in seconds.
    double targetLatency() const { return targetLatency_; }

private:
    pa_buffer_attr bufferAttributes(double latencySeconds, std::uint32_t requestFrames) const;
    void rest(pa_stream* stream);
    double delayUntilHeard(pa_stream* stream, double now);
    void setLatencyStep(pa_stream* stream, double seconds);
    void updateSentToHeard(double delay);
    void askRealtimeOnce();

    AudioRenderer& renderer_;
    pa_sample_spec format_;
    ToMainThread toMainThread_;
    // Changed only with the loop locked; read without it by the main thread's first look.
    std::atomic<bool> resting_{false};
    // Frames written since the renderer last had something to play.
    std::size_t silentFrames_ = 0;
    // Since the last wake, while the server's timing settles: when the first frame after the
    // flush was written, and how many followed.
    static constexpr double kSettleSeconds = 0.25;
    bool settling_ = false;
    double wokeAt_ = -1;
    std::size_t framesSinceWake_ = 0;
    // The sink's own share of the latency, as last reported while awake.
    double sinkLatency_ = 0;
    double targetLatency_ = kTargetLatencySeconds;
    double lastUnderrunAt_ = 0;
    double underflowsCountFrom_ = 0;
    double sentToHeard_ = 0;
    unsigned underruns_ = 0;
    bool hasAskedRealtime_ = false;
};

} // namespace plinkora::audio
