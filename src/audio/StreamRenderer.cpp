#include "audio/StreamRenderer.hpp"

#include "app/Logger.hpp"
#include "audio/RealtimeScheduling.hpp"

#include <algorithm>
#include <unistd.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace plinkora::audio {

namespace {

constexpr std::size_t kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);

void keepDenormalsAway() {
#if defined(__SSE__)
    // Flush-to-zero and denormals-are-zero: a decaying tail must not slow the render down.
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

/// Sends a request whose answer nobody waits for.
void send(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

} // namespace

StreamRenderer::StreamRenderer(AudioRenderer& renderer, const pa_sample_spec& format,
                               ToMainThread toMainThread)
    : renderer_(renderer)
    , format_(format)
    , toMainThread_(std::move(toMainThread)) {}

pa_buffer_attr StreamRenderer::connectingBuffer() const {
    return bufferAttributes(targetLatency_, kRequestFrames);
}

pa_buffer_attr StreamRenderer::bufferAttributes(double latencySeconds,
                                                std::uint32_t requestFrames) const {
    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(latencySeconds * 1e6), &format_));
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = requestFrames * kFrameBytes;
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    return buffer;
}

void StreamRenderer::begin() {
    // A new stream's queue fills from nothing: no underrun counts until it has.
    underflowsCountFrom_ = monotonicSeconds() + kSettleSeconds;
    resting_.store(false);
    silentFrames_ = 0;
    settling_ = false;
}

void StreamRenderer::rest(pa_stream* stream) {
    // Sequentially consistent, like the queue's write and the main thread's look in
    // wakeForSound: either the main thread sees the stream resting and wakes it, or this sees
    // the message it sent and stays awake.
    resting_.store(true, std::memory_order_seq_cst);
    if (renderer_.hasPendingMessages()) {
        resting_.store(false);
        return;
    }
    const pa_buffer_attr buffer =
        bufferAttributes(kRestingLatencySeconds,
                         static_cast<std::uint32_t>(kRestingLatencySeconds * format_.rate / 8));
    if (pa_operation* operation = pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr)) {
        pa_operation_unref(operation);
    } else {
        resting_.store(false);
    }
}

void StreamRenderer::wake(pa_stream* stream) {
    resting_.store(false);
    silentFrames_ = 0;
    settling_ = true;
    wokeAt_ = -1;
    const pa_buffer_attr buffer = bufferAttributes(targetLatency_, kRequestFrames);
    send(pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr));
    // The long buffer of silence already queued would hold the note back; the server asks
    // for a short one anew.
    send(pa_stream_flush(stream, nullptr, nullptr));
}

double StreamRenderer::delayUntilHeard(pa_stream* stream, double now) {
    if (settling_) {
        // The server's timing after a flush takes a while to be trusted again (it may report
        // seconds), but the buffer started out empty and plays in real time since.
        if (wokeAt_ < 0) {
            wokeAt_ = now;
            framesSinceWake_ = 0;
        }
        if (now - wokeAt_ < kSettleSeconds) {
            return std::max(0.0, sinkLatency_ + wokeAt_ +
                                     static_cast<double>(framesSinceWake_) / format_.rate - now);
        }
        settling_ = false;
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &latency, &negative) != 0) {
        // No timing yet: a fresh stream.
        return targetLatency_;
    }
    if (const pa_timing_info* timing = pa_stream_get_timing_info(stream)) {
        sinkLatency_ = static_cast<double>(timing->sink_usec) / 1e6;
    }
    return negative != 0 ? 0 : static_cast<double>(latency) / 1e6;
}

void StreamRenderer::updateSentToHeard(double delay) {
    // A message waits for the output's delay, plus the time until the next render (one
    // request) and a block for the synth's grid. Rises at once, so no note comes late; falls
    // slowly, so that one short reading does not move every note.
    const double wanted =
        delay + static_cast<double>(kRequestFrames + 64) / static_cast<double>(format_.rate);
    sentToHeard_ = wanted > sentToHeard_ ? wanted : sentToHeard_ + (wanted - sentToHeard_) / 256;
    renderer_.setSentToHeard(sentToHeard_);
}

void StreamRenderer::setLatencyStep(pa_stream* stream, double seconds) {
    targetLatency_ = seconds;
    // The server may run dry while it changes over; that is no sign of a slow renderer.
    underflowsCountFrom_ = monotonicSeconds() + kSettleSeconds;
    const pa_buffer_attr buffer = bufferAttributes(targetLatency_, kRequestFrames);
    send(pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr));
}

void StreamRenderer::underflowed(pa_stream* stream) {
    // A flush on waking, and the long buffer while resting, empty the queue on purpose.
    if (resting_.load() || settling_ || monotonicSeconds() < underflowsCountFrom_) {
        return;
    }
    ++underruns_;
    lastUnderrunAt_ = monotonicSeconds();
    if (targetLatency_ < kLongestLatencySeconds) {
        setLatencyStep(stream, std::min(kLongestLatencySeconds, 2 * targetLatency_));
    }
    toMainThread_([count = underruns_, latency = targetLatency_] {
        Logger::notice(
            Logger::format("Plinkora: audio output underrun %u; the output buffer is now %.0f ms",
                           count, latency * 1000));
    });
}

void StreamRenderer::askRealtimeOnce() {
    hasAskedRealtime_ = true;
    if (RealtimeScheduling::tryDirect()) {
        toMainThread_(
            [] { Logger::info("the audio thread runs with real-time priority (SCHED_FIFO)"); });
        return;
    }
    toMainThread_([thread = ::gettid()] {
        RealtimeScheduling::askRealtimeKit(
            QDBusConnection::systemBus(), thread, [](const std::string& refusal) {
                Logger::info(refusal.empty()
                                 ? "the audio thread runs with real-time priority (RealtimeKit)"
                                 : "the audio thread runs at normal priority: " + refusal);
            });
    });
}

void StreamRenderer::write(pa_stream* stream, std::size_t bytes) {
    keepDenormalsAway();
    if (!hasAskedRealtime_) {
        askRealtimeOnce();
    }
    const bool resting = resting_.load();
    if (resting && renderer_.hasPendingMessages()) {
        // Sent before the main thread could wake the stream: the server asks again for a
        // short buffer once the long one is flushed.
        wake(stream);
        return;
    }
    double heardAt = AudioRenderer::kNothingDue;
    if (!resting) {
        const double now = monotonicSeconds();
        const double delay = delayUntilHeard(stream, now);
        heardAt = now + delay;
        updateSentToHeard(delay);
        if (targetLatency_ > kTargetLatencySeconds &&
            now - lastUnderrunAt_ > kQuietBeforeShrinking) {
            lastUnderrunAt_ = now;
            setLatencyStep(stream, targetLatency_ / 2);
        }
    }
    const std::size_t requested = bytes;
    while (bytes >= kFrameBytes) {
        void* buffer = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &buffer, &size) < 0 || buffer == nullptr) {
            return;
        }
        const std::size_t frames = std::min(size, bytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        renderer_.render(static_cast<float*>(buffer), frames, heardAt);
        pa_stream_write(stream, buffer, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * kFrameBytes;
        heardAt += static_cast<double>(frames) / format_.rate;
        framesSinceWake_ += frames;
    }
    if (resting) {
        return;
    }
    if (!renderer_.isSilent()) {
        silentFrames_ = 0;
    } else if (silentFrames_ += (requested - bytes) / kFrameBytes;
               static_cast<double>(silentFrames_) >= kSilenceBeforeRest * format_.rate) {
        rest(stream);
    }
}

} // namespace plinkora::audio
