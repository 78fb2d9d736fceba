#include "audio/PulseOutput.hpp"

#include "app/Logger.hpp"
#include "audio/RealtimeScheduling.hpp"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <pulse/rtclock.h>
#include <unistd.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace plinkora::audio {

namespace {

constexpr std::size_t kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
// The server asks for more as soon as this much has been played, so each write is small.
constexpr std::uint32_t kRequestFrames = 64;

/// The outcome of one server request, filled in by its callback on the main loop's thread.
struct Reply {
    pa_threaded_mainloop* loop = nullptr;
    bool ok = false;
};

void succeeded(int success, void* data) {
    auto* reply = static_cast<Reply*>(data);
    reply->ok = success != 0;
    pa_threaded_mainloop_signal(reply->loop, 0);
}

void contextSucceeded(pa_context*, int success, void* data) {
    succeeded(success, data);
}

struct ServerReply : Reply {
    std::string defaultSink;
};

void serverInfoRead(pa_context*, const pa_server_info* info, void* data) {
    auto* reply = static_cast<ServerReply*>(data);
    if (info != nullptr) {
        reply->ok = true;
        reply->defaultSink = info->default_sink_name != nullptr ? info->default_sink_name : "";
    }
    pa_threaded_mainloop_signal(reply->loop, 0);
}

void keepDenormalsAway() {
#if defined(__SSE__)
    // Flush-to-zero and denormals-are-zero: a decaying tail must not slow the render down.
    _mm_setcsr(_mm_getcsr() | 0x8040);
#endif
}

struct SinkReply : Reply {
    std::uint32_t index = PA_INVALID_INDEX;
    std::string name;
    std::string description;
};

void sinkInfoRead(pa_context*, const pa_sink_info* info, int last, void* data) {
    auto* reply = static_cast<SinkReply*>(data);
    if (last == 0 && info != nullptr) {
        reply->ok = true;
        reply->index = info->index;
        reply->name = info->name != nullptr ? info->name : "";
        reply->description = info->description != nullptr ? info->description : "";
        return;
    }
    pa_threaded_mainloop_signal(reply->loop, 0);
}

void wakeWaiter(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

/// Waits, with the main loop locked, until `isSettled()` or the patience is spent; false
/// then. A timer on the loop wakes the wait at the deadline, so a server that never answers
/// costs the caller no more than the patience. For a second after a wait ran out, waits do
/// not wait at all: the several calls made for one event then cost one patience, not many.
template <typename Settled>
bool waitBounded(pa_threaded_mainloop* loop, pa_context* context, pa_usec_t& lastTimeout,
                 Settled isSettled) {
    const pa_usec_t now = pa_rtclock_now();
    const bool recentlyStalled = lastTimeout != 0 && now - lastTimeout < PA_USEC_PER_SEC;
    const pa_usec_t deadline = now + (recentlyStalled ? 0 : PulseOutput::kServerPatienceUsec);
    pa_time_event* timer = pa_context_rttime_new(context, deadline, wakeWaiter, loop);
    bool settled = true;
    while (!isSettled()) {
        if (pa_rtclock_now() >= deadline) {
            settled = false;
            lastTimeout = pa_rtclock_now();
            break;
        }
        pa_threaded_mainloop_wait(loop);
    }
    if (timer != nullptr) {
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
    }
    return settled;
}

/// Waits, with the main loop locked, until the server has answered, or gives the request up
/// (its answer, should it come later, then goes nowhere).
bool finish(pa_threaded_mainloop* loop, pa_context* context, pa_usec_t& lastTimeout,
            pa_operation* operation) {
    if (operation == nullptr) {
        return false;
    }
    const bool answered = waitBounded(loop, context, lastTimeout, [operation] {
        return pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
    });
    if (!answered) {
        pa_operation_cancel(operation);
    }
    const bool done = answered && pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
}

/// Sends a request whose answer nobody waits for.
void send(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

std::string readDefaultSinkName(pa_threaded_mainloop* loop, pa_context* context,
                                pa_usec_t& lastTimeout) {
    ServerReply reply;
    reply.loop = loop;
    if (!finish(loop, context, lastTimeout,
                pa_context_get_server_info(context, serverInfoRead, &reply)) ||
        !reply.ok) {
        return {};
    }
    return reply.defaultSink;
}

bool readSink(pa_threaded_mainloop* loop, pa_context* context, pa_usec_t& lastTimeout,
              const char* name, std::uint32_t index, SinkReply& info) {
    info.loop = loop;
    pa_operation* operation =
        name != nullptr ? pa_context_get_sink_info_by_name(context, name, sinkInfoRead, &info)
                        : pa_context_get_sink_info_by_index(context, index, sinkInfoRead, &info);
    return finish(loop, context, lastTimeout, operation) && info.ok;
}

} // namespace

PulseOutput::PulseOutput(AudioRenderer& renderer, double sampleRate)
    : renderer_(renderer) {
    spec_.format = PA_SAMPLE_FLOAT32NE;
    spec_.rate = static_cast<std::uint32_t>(sampleRate);
    spec_.channels = kChannels;
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_set_name(loop_, "plinkora-audio");
    pa_threaded_mainloop_start(loop_);
}

PulseOutput::~PulseOutput() {
    pa_threaded_mainloop_lock(loop_);
    dropContext();
    pa_threaded_mainloop_unlock(loop_);
    // Joins the audio thread: after this no queued call can be posted any more, and those
    // already posted die with mainThread_.
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

std::optional<std::string> PulseOutput::start() {
    std::string error;
    pa_threaded_mainloop_lock(loop_);
    if (connectContext(error) && connectStream(error) && corked_) {
        // Not waited for: the server takes requests in order, so what it plays always follows
        // the last one sent, even when it answers late.
        send(pa_stream_cork(stream_, 0, nullptr, nullptr));
        corked_ = false;
    }
    pa_threaded_mainloop_unlock(loop_);
    if (!error.empty()) {
        return error;
    }
    return std::nullopt;
}

void PulseOutput::pause() {
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr && streamReady_ && !corked_) {
        send(pa_stream_cork(stream_, 1, nullptr, nullptr));
        corked_ = true;
    }
    pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::stop() {
    pa_threaded_mainloop_lock(loop_);
    dropStream();
    pa_threaded_mainloop_unlock(loop_);
}

bool PulseOutput::isRunning() const {
    // Main-thread flags: a stream that has just died counts as running until its loss,
    // a queued call, has been handled.
    return stream_ != nullptr && streamReady_ && !corked_;
}

double PulseOutput::sampleRate() const {
    double rate = spec_.rate;
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr && streamReady_) {
        if (const pa_sample_spec* streamFormat = pa_stream_get_sample_spec(stream_)) {
            rate = streamFormat->rate;
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    return rate;
}

std::optional<std::uint32_t> PulseOutput::defaultSink() {
    std::optional<std::uint32_t> index;
    std::string error;
    pa_threaded_mainloop_lock(loop_);
    if (connectContext(error)) {
        const std::string name = readDefaultSinkName(loop_, context_, lastTimeout_);
        SinkReply info;
        if (!name.empty() &&
            readSink(loop_, context_, lastTimeout_, name.c_str(), PA_INVALID_INDEX, info)) {
            index = info.index;
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    return index;
}

std::optional<std::string> PulseOutput::selectSink(std::uint32_t index) {
    std::string error;
    pa_threaded_mainloop_lock(loop_);
    SinkReply info;
    if (!connectContext(error)) {
        // The error says why.
    } else if (!readSink(loop_, context_, lastTimeout_, nullptr, index, info)) {
        error = contextError();
    } else if (stream_ != nullptr && streamReady_) {
        Reply reply{loop_};
        if (!finish(loop_, context_, lastTimeout_,
                    pa_context_move_sink_input_by_index(context_, pa_stream_get_index(stream_),
                                                        index, contextSucceeded, &reply)) ||
            !reply.ok) {
            error = contextError();
        }
    }
    if (error.empty()) {
        sink_ = index;
        sinkName_ = info.name;
        sinkDescription_ = info.description;
    }
    pa_threaded_mainloop_unlock(loop_);
    if (!error.empty()) {
        return error;
    }
    return std::nullopt;
}

std::optional<std::string> PulseOutput::sinkDescription(std::uint32_t index) {
    std::optional<std::string> description;
    pa_threaded_mainloop_lock(loop_);
    SinkReply info;
    if (contextReady_ && readSink(loop_, context_, lastTimeout_, nullptr, index, info) &&
        !info.description.empty()) {
        description = info.description;
        if (sink_ == index) {
            sinkDescription_ = info.description;
        }
    } else if (sink_ == index && !sinkDescription_.empty()) {
        // A server that does not answer now still has the name it had.
        description = sinkDescription_;
    } else if (sink_ == index && !sinkName_.empty()) {
        description = sinkName_;
    }
    pa_threaded_mainloop_unlock(loop_);
    return description;
}

double PulseOutput::latencyOnAudioThread() const {
    pa_usec_t latency = 0;
    int negative = 0;
    if (stream_ == nullptr || pa_stream_get_latency(stream_, &latency, &negative) != 0) {
        return 0;
    }
    return negative != 0 ? -static_cast<double>(latency) / 1e6 : static_cast<double>(latency) / 1e6;
}

bool PulseOutput::connectContext(std::string& error) {
    if (context_ != nullptr && contextReady_ &&
        pa_context_get_state(context_) == PA_CONTEXT_READY) {
        return true;
    }
    // A connection still under way from an earlier call is given more time, not restarted: a
    // slow server gets there in the end.
    if (context_ != nullptr && !contextReady_ &&
        PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
        return awaitContext(error);
    }
    dropContext();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.plinkora.Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.plinkora.Plinkora");
    context_ =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Plinkora", properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) {
        error = "could not create a PulseAudio context";
        return false;
    }
    pa_context_set_state_callback(context_, contextStateChanged, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = contextError();
        dropContext();
        return false;
    }
    return awaitContext(error);
}

bool PulseOutput::awaitContext(std::string& error) {
    const auto settled = [this] {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    };
    if (!waitBounded(loop_, context_, lastTimeout_, settled)) {
        error = kNoAnswer;
        return false;
    }
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        error = contextError();
        dropContext();
        return false;
    }
    contextReady_ = true;
    pa_context_set_subscribe_callback(context_, serverEvent, this);
    if (pa_operation* operation =
            pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
    defaultSinkName_ = readDefaultSinkName(loop_, context_, lastTimeout_);
    return true;
}

bool PulseOutput::connectStream(std::string& error) {
    if (stream_ != nullptr && streamReady_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        return true;
    }
    if (stream_ != nullptr && !streamReady_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        return awaitStream(error);
    }
    dropStream();
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    stream_ = pa_stream_new(context_, "Piano", &spec_, &map);
    if (stream_ == nullptr) {
        error = contextError();
        return false;
    }
    pa_stream_set_state_callback(stream_, streamStateChanged, this);
    pa_stream_set_write_callback(stream_, writeRequested, this);
    pa_stream_set_moved_callback(stream_, streamMoved, this);
    pa_stream_set_underflow_callback(stream_, underflowed, this);
    const pa_buffer_attr buffer = bufferAttributes(targetLatency_, kRequestFrames);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    const char* device = sink_ ? sinkName_.c_str() : nullptr;
    if (pa_stream_connect_playback(stream_, device, &buffer, flags, nullptr, nullptr) < 0) {
        error = contextError();
        dropStream();
        return false;
    }
    return awaitStream(error);
}

bool PulseOutput::awaitStream(std::string& error) {
    const auto settled = [this] {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    };
    if (!waitBounded(loop_, context_, lastTimeout_, settled)) {
        error = kNoAnswer;
        return false;
    }
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        error = contextError();
        dropStream();
        return false;
    }
    streamReady_ = true;
    corked_ = false;
    // A new stream starts from an empty queue.
    underflowsCountFrom_ = monotonicSeconds() + kSettleSeconds;
    resting_.store(false);
    silentFrames_ = 0;
    settling_ = false;
    if (const std::uint32_t index = pa_stream_get_device_index(stream_);
        index != PA_INVALID_INDEX) {
        sink_ = index;
        if (const char* name = pa_stream_get_device_name(stream_)) {
            if (sinkName_ != name) {
                sinkDescription_.clear();
            }
            sinkName_ = name;
        }
    }
    return true;
}

void PulseOutput::dropStream() {
    if (stream_ == nullptr) {
        return;
    }
    // Our own disconnection is not a loss to report.
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
    streamReady_ = false;
    corked_ = false;
    resting_.store(false);
}

void PulseOutput::dropContext() {
    dropStream();
    if (context_ == nullptr) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
        pa_context_disconnect(context_);
    }
    pa_context_unref(context_);
    context_ = nullptr;
    contextReady_ = false;
}

pa_buffer_attr PulseOutput::bufferAttributes(double latencySeconds,
                                             std::uint32_t requestFrames) const {
    pa_buffer_attr buffer;
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(latencySeconds * 1e6), &spec_));
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = requestFrames * kFrameBytes;
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    return buffer;
}

void PulseOutput::rest(pa_stream* stream) {
    resting_.store(true);
    // Pairs with the fence in wakeForSound: either the main thread sees the stream resting
    // and wakes it, or this sees the message it sent and stays awake.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (renderer_.hasPendingMessages()) {
        resting_.store(false);
        return;
    }
    const pa_buffer_attr buffer =
        bufferAttributes(kRestingLatencySeconds,
                         static_cast<std::uint32_t>(kRestingLatencySeconds * spec_.rate / 8));
    if (pa_operation* operation = pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr)) {
        pa_operation_unref(operation);
    } else {
        resting_.store(false);
    }
}

double PulseOutput::delayUntilHeard(pa_stream* stream, double now) {
    if (settling_) {
        // The server's timing after a flush takes a while to be trusted again (it may report
        // seconds), but the buffer started out empty and plays in real time since.
        if (wokeAt_ < 0) {
            wokeAt_ = now;
            framesSinceWake_ = 0;
        }
        if (now - wokeAt_ < kSettleSeconds) {
            return std::max(0.0, sinkLatency_ + wokeAt_ +
                                     static_cast<double>(framesSinceWake_) / spec_.rate - now);
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

void PulseOutput::wake(pa_stream* stream) {
    resting_.store(false);
    silentFrames_ = 0;
    settling_ = true;
    wokeAt_ = -1;
    const pa_buffer_attr buffer = bufferAttributes(targetLatency_, kRequestFrames);
    if (pa_operation* operation = pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
    // The long buffer of silence already queued would hold the note back; the server asks
    // for a short one anew.
    if (pa_operation* operation = pa_stream_flush(stream, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
}

void PulseOutput::updateSentToHeard(double delay) {
    // A message waits for the output's delay, plus the time until the next render (one
    // request) and a block for the synth's grid. Rises at once, so no note comes late; falls
    // slowly, so that one short reading does not move every note.
    const double wanted =
        delay + static_cast<double>(kRequestFrames + 64) / static_cast<double>(spec_.rate);
    sentToHeard_ = wanted > sentToHeard_ ? wanted : sentToHeard_ + (wanted - sentToHeard_) / 256;
    renderer_.setSentToHeard(sentToHeard_);
}

void PulseOutput::setLatencyStep(pa_stream* stream, double seconds) {
    targetLatency_ = seconds;
    // The server may run dry while it changes over; that is no sign of a slow renderer.
    underflowsCountFrom_ = monotonicSeconds() + kSettleSeconds;
    const pa_buffer_attr buffer = bufferAttributes(targetLatency_, kRequestFrames);
    send(pa_stream_set_buffer_attr(stream, &buffer, nullptr, nullptr));
}

void PulseOutput::underflowed(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    // A flush on waking, and the long buffer while resting, empty the queue on purpose.
    if (self->resting_.load() || self->settling_ ||
        monotonicSeconds() < self->underflowsCountFrom_) {
        return;
    }
    self->underruns_.fetch_add(1);
    self->lastUnderrunAt_ = monotonicSeconds();
    if (self->targetLatency_ < kLongestLatencySeconds) {
        self->setLatencyStep(stream, std::min(kLongestLatencySeconds, 2 * self->targetLatency_));
    }
    // Rare by now, so the queued call's allocation is no burden on the audio thread.
    self->post(&PulseOutput::reportUnderrun);
}

void PulseOutput::reportUnderrun() {
    pa_threaded_mainloop_lock(loop_);
    const double latency = targetLatency_;
    pa_threaded_mainloop_unlock(loop_);
    Logger::notice(Logger::format("Plinkora: audio output underrun %u; the output buffer is now "
                                  "%.0f ms",
                                  underruns_.load(), latency * 1000));
}

void PulseOutput::finishRealtime() {
    if (isRealtimeDirect_.load()) {
        Logger::info("the audio thread runs with real-time priority (SCHED_FIFO)");
        return;
    }
    QPointer<QObject> alive(&mainThread_);
    RealtimeScheduling::askRealtimeKit(
        QDBusConnection::systemBus(), audioThread_.load(), [alive](const std::string& refusal) {
            if (!alive) {
                return;
            }
            Logger::info(refusal.empty()
                             ? "the audio thread runs with real-time priority (RealtimeKit)"
                             : "the audio thread runs at normal priority: " + refusal);
        });
}

void PulseOutput::wakeForSound() {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!resting_.load()) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (resting_.load() && stream_ != nullptr && streamReady_) {
        wake(stream_);
    }
    pa_threaded_mainloop_unlock(loop_);
}

std::string PulseOutput::contextError() const {
    return pa_strerror(context_ != nullptr ? pa_context_errno(context_) : PA_ERR_UNKNOWN);
}

void PulseOutput::handleServerChange() {
    bool changed = false;
    pa_threaded_mainloop_lock(loop_);
    if (context_ != nullptr && contextReady_) {
        const std::string name = readDefaultSinkName(loop_, context_, lastTimeout_);
        changed = !name.empty() && name != defaultSinkName_;
        if (!name.empty()) {
            defaultSinkName_ = name;
        }
    }
    pa_threaded_mainloop_unlock(loop_);
    if (changed && onDefaultSinkChange_) {
        onDefaultSinkChange_();
    }
}

void PulseOutput::handleConnectionLoss() {
    bool lost = false;
    pa_threaded_mainloop_lock(loop_);
    if (context_ != nullptr && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
        // Sink indices belong to one run of the server; a restarted server numbers anew.
        dropContext();
        sink_.reset();
        sinkName_.clear();
        defaultSinkName_.clear();
        lost = true;
    } else if (stream_ != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        dropStream();
        lost = true;
    }
    pa_threaded_mainloop_unlock(loop_);
    if (lost && onConfigurationChange_) {
        onConfigurationChange_();
    }
}

void PulseOutput::handleStreamMove() {
    pa_threaded_mainloop_lock(loop_);
    if (stream_ != nullptr && streamReady_) {
        const std::uint32_t index = pa_stream_get_device_index(stream_);
        const char* name = pa_stream_get_device_name(stream_);
        if (index != PA_INVALID_INDEX && name != nullptr) {
            sink_ = index;
            sinkName_ = name;
        }
    }
    pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::post(void (PulseOutput::*handler)()) {
    QMetaObject::invokeMethod(
        &mainThread_, [this, handler] { (this->*handler)(); }, Qt::QueuedConnection);
}

void PulseOutput::contextStateChanged(pa_context* context, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state)) {
        pa_threaded_mainloop_signal(self->loop_, 0);
    }
    if (!PA_CONTEXT_IS_GOOD(state) && self->contextReady_) {
        self->post(&PulseOutput::handleConnectionLoss);
    }
}

void PulseOutput::streamStateChanged(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state)) {
        pa_threaded_mainloop_signal(self->loop_, 0);
    }
    if (!PA_STREAM_IS_GOOD(state) && self->streamReady_) {
        self->post(&PulseOutput::handleConnectionLoss);
    }
}

void PulseOutput::streamMoved(pa_stream*, void* data) {
    static_cast<PulseOutput*>(data)->post(&PulseOutput::handleStreamMove);
}

void PulseOutput::serverEvent(pa_context*, pa_subscription_event_type_t type, std::uint32_t,
                              void* data) {
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SERVER) {
        static_cast<PulseOutput*>(data)->post(&PulseOutput::handleServerChange);
    }
}

void PulseOutput::writeRequested(pa_stream* stream, std::size_t bytes, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    keepDenormalsAway();
    if (!self->hasAskedRealtime_) {
        self->hasAskedRealtime_ = true;
        self->isRealtimeDirect_.store(RealtimeScheduling::tryDirect());
        self->audioThread_.store(::gettid());
        self->post(&PulseOutput::finishRealtime);
    }
    const bool resting = self->resting_.load();
    if (resting && self->renderer_.hasPendingMessages()) {
        // Sent before the main thread could wake the stream: the server asks again for a
        // short buffer once the long one is flushed.
        self->wake(stream);
        return;
    }
    double heardAt = AudioRenderer::kNothingDue;
    if (!resting) {
        const double now = monotonicSeconds();
        const double delay = self->delayUntilHeard(stream, now);
        heardAt = now + delay;
        self->updateSentToHeard(delay);
        if (self->targetLatency_ > kTargetLatencySeconds &&
            now - self->lastUnderrunAt_ > kQuietBeforeShrinking) {
            self->lastUnderrunAt_ = now;
            self->setLatencyStep(stream, self->targetLatency_ / 2);
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
        self->renderer_.render(static_cast<float*>(buffer), frames, heardAt);
        pa_stream_write(stream, buffer, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * kFrameBytes;
        heardAt += static_cast<double>(frames) / self->spec_.rate;
        self->framesSinceWake_ += frames;
    }
    if (resting) {
        return;
    }
    if (!self->renderer_.isSilent()) {
        self->silentFrames_ = 0;
    } else if ((self->silentFrames_ += (requested - bytes) / kFrameBytes) >=
               kSilenceBeforeRest * self->spec_.rate) {
        self->rest(stream);
    }
}

} // namespace plinkora::audio
