#pragma once

#include "audio/AudioOutput.hpp"
#include "audio/StreamRenderer.hpp"

#include <QObject>
#include <QTimer>
#include <deque>
#include <map>
#include <pulse/pulseaudio.h>
#include <vector>

namespace plinkora::audio {

/// The engine's output through the PulseAudio client API (PipeWire serves the same API): a
/// threaded main loop, one context and one playback stream of 32-bit float stereo frames. This
/// is the main thread's half: the connection, the sinks and the requests; `StreamRenderer` is
/// the audio thread's.
///
/// No call here waits for the server. Requests are sent and their answers, like the server's
/// events, come back from the loop's thread as queued calls that update the state here. What
/// the server said of its sinks is kept, so names and the default are read at once, and a
/// stalled server leaves them as they were. The main thread takes the loop's lock only to hand
/// requests over; the loop's thread holds it for one callback at a time.
class PulseOutput final : public AudioOutput {
public:
    /// A start not answered within this is reported as failed; the connection goes on trying,
    /// so a slow server is still used once it answers.
    static constexpr int kStartPatienceMs = 2000;
    static constexpr const char* kNoAnswer = "the sound server does not answer";

    PulseOutput(AudioRenderer& renderer, double sampleRate);
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    void start(Done done) override;
    void pause() override;
    void stop() override;
    void wakeForSound() override;
    bool isRunning() const override;
    double sampleRate() const override { return rate_; }

    std::optional<std::uint32_t> defaultSink() const override;
    std::optional<std::uint32_t> sink() const override { return sink_; }
    void selectSink(std::uint32_t index, Done done) override;
    std::optional<std::string> sinkDescription(std::uint32_t index) const override;

    void setOnDefaultSinkChange(std::function<void()> callback) override {
        onDefaultSinkChange_ = std::move(callback);
    }
    void setOnConfigurationChange(std::function<void()> callback) override {
        onConfigurationChange_ = std::move(callback);
    }

    /// The delay until a frame written now is heard, as the server reports it. Runs on the
    /// loop's thread, from within a render only.
    double latencyOnAudioThread() const;

private:
    struct Sink {
        std::string name;
        std::string description;
    };
    /// A move sent and not yet answered, with what to go back to if it fails.
    struct Move {
        Done done;
        std::optional<std::uint32_t> sink;
        Sink chosen;
    };

    // Main thread, with the loop locked.
    void connectContext();
    void connectStream();
    void dropStream();
    void dropContext();
    // Main thread.
    void forgetServer();
    void finishStarts(const std::optional<std::string>& error);
    void handleContextState(unsigned generation, pa_context_state_t state, std::string error);
    void handleStreamState(unsigned generation, pa_stream_state_t state, std::string error,
                           std::uint32_t sinkIndex, std::string sinkName, double rate);
    void handleStreamMove(unsigned generation, std::uint32_t index, std::string name);
    void handleServerInfo(unsigned generation, std::string defaultSinkName);
    void handleSink(unsigned generation, std::uint32_t index, Sink sink);
    void handleSinkRemoved(unsigned generation, std::uint32_t index);
    void handleMoveDone(unsigned generation, const std::optional<std::string>& error);
    void announceDefault();
    void toMainThread(std::function<void()> call);

    // The loop's thread.
    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamMoved(pa_stream* stream, void* self);
    static void serverEvent(pa_context* context, pa_subscription_event_type_t type,
                            std::uint32_t index, void* self);
    static void serverInfoRead(pa_context* context, const pa_server_info* info, void* self);
    static void sinkInfoRead(pa_context* context, const pa_sink_info* info, int last, void* self);
    static void moveAnswered(pa_context* context, int success, void* self);
    static void writeRequested(pa_stream* stream, std::size_t bytes, void* self);
    static void underflowed(pa_stream* stream, void* self);

    pa_sample_spec format_{};
    QObject mainThread_;
    QTimer startPatience_;
    StreamRenderer renderer_;
    pa_threaded_mainloop* loop_ = nullptr;
    // Made and dropped on the main thread with the loop locked; the loop's callbacks read them
    // with it locked too.
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    // Raised whenever the context or the stream is made or dropped, so that answers about an
    // old one are ignored.
    unsigned contextGeneration_ = 0;
    unsigned streamGeneration_ = 0;
    // The rest is the main thread's.
    bool contextReady_ = false;
    bool streamReady_ = false;
    bool corked_ = false;
    double rate_ = 0;
    std::vector<Done> starts_;
    // The last start did not fail.
    bool hopeful_ = true;
    std::deque<Move> moves_;
    std::map<std::uint32_t, Sink> sinks_;
    std::string defaultSinkName_;
    std::string announcedDefault_;
    std::optional<std::uint32_t> sink_;
    // The engine's sink as last heard of, for when the server cannot be asked.
    Sink chosen_;
    std::function<void()> onDefaultSinkChange_;
    std::function<void()> onConfigurationChange_;
};

} // namespace plinkora::audio
