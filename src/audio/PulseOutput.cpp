#include "audio/PulseOutput.hpp"

#include "app/PostedCall.hpp"

namespace plinkora::audio {

namespace {

pa_sample_spec floatStereo(double sampleRate) {
    pa_sample_spec stereo{};
    stereo.format = PA_SAMPLE_FLOAT32NE;
    stereo.rate = static_cast<std::uint32_t>(sampleRate);
    stereo.channels = 2;
    return stereo;
}

/// Sends a request whose answer nobody waits for.
void send(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

std::string errorText(pa_context* context) {
    return pa_strerror(context != nullptr ? pa_context_errno(context) : PA_ERR_UNKNOWN);
}

} // namespace

PulseOutput::PulseOutput(AudioRenderer& renderer, double sampleRate)
    : format_(floatStereo(sampleRate))
    , renderer_(renderer, format_,
                [this](std::function<void()> call) { toMainThread(std::move(call)); })
    , rate_(sampleRate) {
    startPatience_.setSingleShot(true);
    startPatience_.setInterval(kStartPatienceMs);
    QObject::connect(&startPatience_, &QTimer::timeout, &mainThread_, [this] {
        // A stream the server has not answered for is given up, so that none starts playing
        // later unasked; the connection itself goes on trying.
        pa_threaded_mainloop_lock(loop_);
        if (stream_ != nullptr && !streamReady_) {
            dropStream();
        }
        pa_threaded_mainloop_unlock(loop_);
        finishStarts(std::string(kNoAnswer));
    });
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_set_name(loop_, "plinkora-audio");
    pa_threaded_mainloop_start(loop_);
    // Connected now, so that the sinks are known before the first start.
    pa_threaded_mainloop_lock(loop_);
    connectContext();
    pa_threaded_mainloop_unlock(loop_);
}

PulseOutput::~PulseOutput() {
    pa_threaded_mainloop_lock(loop_);
    dropContext();
    pa_threaded_mainloop_unlock(loop_);
    // Joins the loop's thread: after this nothing more is queued, and what was queued dies
    // with mainThread_.
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseOutput::start(Done done) {
    if (stream_ != nullptr && streamReady_) {
        if (corked_) {
            // The server takes requests in order, so what it plays always follows the last one
            // sent, even when it answers late.
            pa_threaded_mainloop_lock(loop_);
            send(pa_stream_cork(stream_, 0, nullptr, nullptr));
            pa_threaded_mainloop_unlock(loop_);
            corked_ = false;
        }
        done(std::nullopt);
        return;
    }
    starts_.push_back(std::move(done));
    if (!startPatience_.isActive()) {
        startPatience_.start();
    }
    pa_threaded_mainloop_lock(loop_);
    if (context_ == nullptr || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
        connectContext();
    } else if (contextReady_ && stream_ == nullptr) {
        connectStream();
    }
    // Otherwise a connection is under way, and its answer finishes the start.
    pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::pause() {
    if (stream_ == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (!streamReady_) {
        // A start no longer wanted.
        dropStream();
        starts_.clear();
        startPatience_.stop();
    } else if (!corked_) {
        send(pa_stream_cork(stream_, 1, nullptr, nullptr));
        corked_ = true;
    }
    pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::stop() {
    pa_threaded_mainloop_lock(loop_);
    dropStream();
    pa_threaded_mainloop_unlock(loop_);
    starts_.clear();
    startPatience_.stop();
}

bool PulseOutput::isRunning() const {
    // A start under way counts, unless the last one failed: notes sent now sound once the
    // stream plays, and a failure is reported when it is known. Quiet retries after a failure
    // do not make the engine look running and then not, again and again.
    return (stream_ != nullptr && streamReady_ && !corked_) || (!starts_.empty() && hopeful_);
}

void PulseOutput::wakeForSound() {
    if (!renderer_.isResting()) {
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    if (renderer_.isResting() && stream_ != nullptr && streamReady_) {
        renderer_.wake(stream_);
    }
    pa_threaded_mainloop_unlock(loop_);
}

std::optional<std::uint32_t> PulseOutput::defaultSink() const {
    for (const auto& [index, sink] : sinks_) {
        if (!defaultSinkName_.empty() && sink.name == defaultSinkName_) {
            return index;
        }
    }
    return std::nullopt;
}

void PulseOutput::selectSink(std::uint32_t index, Done done) {
    const auto known = sinks_.find(index);
    if (known == sinks_.end()) {
        done(std::string(pa_strerror(PA_ERR_NOENTITY)));
        return;
    }
    Move move{std::move(done), sink_, chosen_};
    sink_ = index;
    chosen_ = known->second;
    if (stream_ == nullptr || !streamReady_) {
        // A stream connected later goes there.
        move.done(std::nullopt);
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    pa_operation* operation = pa_context_move_sink_input_by_index(
        context_, pa_stream_get_index(stream_), index, moveAnswered, this);
    const std::string error = errorText(context_);
    pa_threaded_mainloop_unlock(loop_);
    if (operation == nullptr) {
        sink_ = move.sink;
        chosen_ = move.chosen;
        move.done(error);
        return;
    }
    pa_operation_unref(operation);
    moves_.push_back(std::move(move));
}

std::optional<std::string> PulseOutput::sinkDescription(std::uint32_t index) const {
    if (const auto known = sinks_.find(index); known != sinks_.end()) {
        return known->second.description.empty() ? known->second.name : known->second.description;
    }
    // A server that does not answer now still has the name it had.
    if (sink_ == index && !chosen_.description.empty()) {
        return chosen_.description;
    }
    if (sink_ == index && !chosen_.name.empty()) {
        return chosen_.name;
    }
    return std::nullopt;
}

double PulseOutput::latencyOnAudioThread() const {
    pa_usec_t latency = 0;
    int negative = 0;
    if (stream_ == nullptr || pa_stream_get_latency(stream_, &latency, &negative) != 0) {
        return 0;
    }
    return negative != 0 ? -static_cast<double>(latency) / 1e6 : static_cast<double>(latency) / 1e6;
}

void PulseOutput::connectContext() {
    dropContext();
    ++contextGeneration_;
    forgetServer();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.plinkora.Plinkora");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.plinkora.Plinkora");
    context_ =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Plinkora", properties);
    pa_proplist_free(properties);
    const unsigned generation = contextGeneration_;
    if (context_ == nullptr) {
        toMainThread([this, generation] {
            handleContextState(generation, PA_CONTEXT_FAILED,
                               "could not create a PulseAudio context");
        });
        return;
    }
    pa_context_set_state_callback(context_, contextStateChanged, this);
    pa_context_set_subscribe_callback(context_, serverEvent, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        toMainThread([this, generation, error = errorText(context_)] {
            handleContextState(generation, PA_CONTEXT_FAILED, error);
        });
    }
}

void PulseOutput::connectStream() {
    dropStream();
    ++streamGeneration_;
    const unsigned generation = streamGeneration_;
    const auto failed = [this, generation](const std::string& error) {
        toMainThread([this, generation, error] {
            handleStreamState(generation, PA_STREAM_FAILED, error, PA_INVALID_INDEX, {}, 0);
        });
    };
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    stream_ = pa_stream_new(context_, "Piano", &format_, &map);
    if (stream_ == nullptr) {
        failed(errorText(context_));
        return;
    }
    pa_stream_set_state_callback(stream_, streamStateChanged, this);
    pa_stream_set_write_callback(stream_, writeRequested, this);
    pa_stream_set_moved_callback(stream_, streamMoved, this);
    pa_stream_set_underflow_callback(stream_, underflowed, this);
    const pa_buffer_attr buffer = renderer_.connectingBuffer();
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    const char* device = sink_ ? chosen_.name.c_str() : nullptr;
    if (pa_stream_connect_playback(stream_, device, &buffer, flags, nullptr, nullptr) < 0) {
        failed(errorText(context_));
    }
}

void PulseOutput::dropStream() {
    if (stream_ == nullptr) {
        return;
    }
    // Our own disconnection is not a loss to report.
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
    ++streamGeneration_;
    streamReady_ = false;
    corked_ = false;
}

void PulseOutput::dropContext() {
    dropStream();
    moves_.clear();
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
    ++contextGeneration_;
    contextReady_ = false;
}

void PulseOutput::forgetServer() {
    // Sink indices belong to one run of the server; a new connection learns them anew.
    sinks_.clear();
    sink_.reset();
    chosen_ = {};
    defaultSinkName_.clear();
    announcedDefault_.clear();
}

void PulseOutput::finishStarts(const std::optional<std::string>& error) {
    startPatience_.stop();
    hopeful_ = !error;
    // Taken first: a caller may start again from its callback.
    std::vector<Done> starts;
    starts.swap(starts_);
    for (const Done& done : starts) {
        done(error);
    }
}

void PulseOutput::handleContextState(unsigned generation, pa_context_state_t state,
                                     std::string error) {
    if (generation != contextGeneration_) {
        return;
    }
    if (state == PA_CONTEXT_READY) {
        contextReady_ = true;
        if (!starts_.empty() && stream_ == nullptr) {
            pa_threaded_mainloop_lock(loop_);
            connectStream();
            pa_threaded_mainloop_unlock(loop_);
        }
        return;
    }
    const bool lost = contextReady_;
    pa_threaded_mainloop_lock(loop_);
    dropContext();
    pa_threaded_mainloop_unlock(loop_);
    forgetServer();
    finishStarts(error);
    if (lost && onConfigurationChange_) {
        onConfigurationChange_();
    }
}

void PulseOutput::handleStreamState(unsigned generation, pa_stream_state_t state, std::string error,
                                    std::uint32_t sinkIndex, std::string sinkName, double rate) {
    if (generation != streamGeneration_) {
        return;
    }
    if (state == PA_STREAM_READY) {
        streamReady_ = true;
        corked_ = false;
        rate_ = rate;
        if (sinkIndex != PA_INVALID_INDEX) {
            sink_ = sinkIndex;
            const auto known = sinks_.find(sinkIndex);
            chosen_ = known != sinks_.end() ? known->second : Sink{std::move(sinkName), {}};
        }
        finishStarts(std::nullopt);
        return;
    }
    const bool lost = streamReady_;
    pa_threaded_mainloop_lock(loop_);
    dropStream();
    pa_threaded_mainloop_unlock(loop_);
    finishStarts(error);
    if (lost && onConfigurationChange_) {
        onConfigurationChange_();
    }
}

void PulseOutput::handleStreamMove(unsigned generation, std::uint32_t index, std::string name) {
    if (generation != streamGeneration_ || index == PA_INVALID_INDEX) {
        return;
    }
    sink_ = index;
    const auto known = sinks_.find(index);
    chosen_ = known != sinks_.end() ? known->second : Sink{std::move(name), {}};
}

void PulseOutput::handleServerInfo(unsigned generation, std::string defaultSinkName) {
    if (generation != contextGeneration_) {
        return;
    }
    defaultSinkName_ = std::move(defaultSinkName);
    announceDefault();
}

void PulseOutput::handleSink(unsigned generation, std::uint32_t index, Sink sink) {
    if (generation != contextGeneration_) {
        return;
    }
    if (sink_ == index) {
        chosen_ = sink;
    }
    sinks_[index] = std::move(sink);
    announceDefault();
}

void PulseOutput::handleSinkRemoved(unsigned generation, std::uint32_t index) {
    if (generation == contextGeneration_) {
        sinks_.erase(index);
    }
}

void PulseOutput::handleMoveDone(unsigned generation, const std::optional<std::string>& error) {
    if (generation != contextGeneration_ || moves_.empty()) {
        return;
    }
    // The server answers one connection's requests in order.
    Move move = std::move(moves_.front());
    moves_.pop_front();
    if (error) {
        sink_ = move.sink;
        chosen_ = move.chosen;
    }
    move.done(error);
}

void PulseOutput::announceDefault() {
    if (defaultSinkName_ != announcedDefault_ && defaultSink()) {
        announcedDefault_ = defaultSinkName_;
        if (onDefaultSinkChange_) {
            onDefaultSinkChange_();
        }
    }
}

void PulseOutput::toMainThread(std::function<void()> call) {
    postCall(mainThread_, std::move(call));
}

void PulseOutput::contextStateChanged(pa_context* context, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state)) {
        return;
    }
    if (state == PA_CONTEXT_READY) {
        send(pa_context_subscribe(context,
                                  static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER |
                                                                      PA_SUBSCRIPTION_MASK_SINK),
                                  nullptr, nullptr));
        send(pa_context_get_server_info(context, serverInfoRead, self));
        send(pa_context_get_sink_info_list(context, sinkInfoRead, self));
    }
    self->toMainThread([self, generation = self->contextGeneration_, state,
                        error = state == PA_CONTEXT_READY ? std::string() : errorText(context)] {
        self->handleContextState(generation, state, error);
    });
}

void PulseOutput::streamStateChanged(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state != PA_STREAM_READY && PA_STREAM_IS_GOOD(state)) {
        return;
    }
    std::uint32_t index = PA_INVALID_INDEX;
    std::string name;
    double rate = 0;
    std::string error;
    if (state == PA_STREAM_READY) {
        self->renderer_.begin();
        index = pa_stream_get_device_index(stream);
        const char* device = pa_stream_get_device_name(stream);
        name = device != nullptr ? device : "";
        const pa_sample_spec* format = pa_stream_get_sample_spec(stream);
        rate = format != nullptr ? format->rate : self->format_.rate;
    } else {
        error = errorText(pa_stream_get_context(stream));
    }
    self->toMainThread(
        [self, generation = self->streamGeneration_, state, error, index, name, rate] {
            self->handleStreamState(generation, state, error, index, name, rate);
        });
}

void PulseOutput::streamMoved(pa_stream* stream, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const char* device = pa_stream_get_device_name(stream);
    self->toMainThread([self, generation = self->streamGeneration_,
                        index = pa_stream_get_device_index(stream),
                        name = std::string(device != nullptr ? device : "")] {
        self->handleStreamMove(generation, index, name);
    });
}

void PulseOutput::serverEvent(pa_context* context, pa_subscription_event_type_t type,
                              std::uint32_t index, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        send(pa_context_get_server_info(context, serverInfoRead, self));
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
        if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_REMOVE) {
            self->toMainThread([self, generation = self->contextGeneration_, index] {
                self->handleSinkRemoved(generation, index);
            });
        } else {
            send(pa_context_get_sink_info_by_index(context, index, sinkInfoRead, self));
        }
    }
}

void PulseOutput::serverInfoRead(pa_context*, const pa_server_info* info, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    if (info == nullptr) {
        return;
    }
    self->toMainThread(
        [self, generation = self->contextGeneration_,
         name = std::string(info->default_sink_name != nullptr ? info->default_sink_name : "")] {
            self->handleServerInfo(generation, name);
        });
}

void PulseOutput::sinkInfoRead(pa_context*, const pa_sink_info* info, int last, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    if (last != 0 || info == nullptr) {
        return;
    }
    Sink sink{info->name != nullptr ? info->name : "",
              info->description != nullptr ? info->description : ""};
    self->toMainThread([self, generation = self->contextGeneration_, index = info->index,
                        sink = std::move(sink)] { self->handleSink(generation, index, sink); });
}

void PulseOutput::moveAnswered(pa_context* context, int success, void* data) {
    auto* self = static_cast<PulseOutput*>(data);
    std::optional<std::string> error;
    if (success == 0) {
        error = errorText(context);
    }
    self->toMainThread([self, generation = self->contextGeneration_, error] {
        self->handleMoveDone(generation, error);
    });
}

void PulseOutput::writeRequested(pa_stream* stream, std::size_t bytes, void* data) {
    static_cast<PulseOutput*>(data)->renderer_.write(stream, bytes);
}

void PulseOutput::underflowed(pa_stream* stream, void* data) {
    static_cast<PulseOutput*>(data)->renderer_.underflowed(stream);
}

} // namespace plinkora::audio
