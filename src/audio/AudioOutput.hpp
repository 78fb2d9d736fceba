#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

namespace plinkora::audio {

/// The clock that note messages are stamped with and that outputs tell playing time by:
/// monotonic seconds, the same on every thread.
inline double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/// Fills the output with interleaved stereo 32-bit float frames.
class AudioRenderer {
public:
    /// For `heardAt` when no clock relates the frames to real time (rendering offline):
    /// every message already sent is due.
    static constexpr double kNoClock = std::numeric_limits<double>::infinity();
    /// For `heardAt` while the output is resting with a long buffer: no message is due yet,
    /// so none is spent on sound that is about to be thrown away.
    static constexpr double kNothingDue = -std::numeric_limits<double>::infinity();

    virtual ~AudioRenderer() = default;
    /// `heardAt` is the moment, on `monotonicSeconds()`, at which the first frame will be
    /// heard. Runs on the audio thread: no allocation, no locks, no waiting.
    virtual void render(float* interleaved, std::size_t frames, double heardAt) = 0;
    /// Messages are waiting to be rendered. Audio thread.
    virtual bool hasPendingMessages() const { return false; }
    /// Nothing sounds, nothing is waiting, and silence is all that will come until a message
    /// is sent. Audio thread.
    virtual bool isSilent() const { return false; }
    /// How long after it was sent a message is to be heard: the output's own delay, as it
    /// measures it. Audio thread.
    virtual void setSentToHeard(double /*seconds*/) {}
};

/// The sound server's side of the engine: one playback stream on one device (a sink).
/// Every operation is called on the main thread and returns at once, without waiting for the
/// server; outcomes and events are delivered on the main thread.
class AudioOutput {
public:
    /// The outcome of a request: nothing when it succeeded, else the error text. Runs on the
    /// main thread, possibly before the request returns; not at all once the output is
    /// stopped or destroyed.
    using Done = std::function<void(const std::optional<std::string>& error)>;

    virtual ~AudioOutput() = default;

    /// Connects what is not connected and lets the stream play.
    virtual void start(Done done) = 0;
    /// Holds the stream connected but silent, so that a later start resumes quickly.
    virtual void pause() = 0;
    /// Disconnects the stream.
    virtual void stop() = 0;
    /// Called after messages were sent to the renderer: an output that rests while silent
    /// gets ready to play them without delay.
    virtual void wakeForSound() {}
    /// The stream plays, or a start is under way and has not failed: notes sent now are heard
    /// once it plays.
    virtual bool isRunning() const = 0;
    /// The stream's sample rate in Hz.
    virtual double sampleRate() const = 0;

    /// The server's default sink as last heard of; nothing before the server has said, or when
    /// there is none.
    virtual std::optional<std::uint32_t> defaultSink() const = 0;
    /// The sink the engine plays to; nothing while none has been chosen.
    virtual std::optional<std::uint32_t> sink() const = 0;
    /// Makes `index` the engine's sink, moving a connected stream there. On failure the
    /// previous sink is kept.
    virtual void selectSink(std::uint32_t index, Done done) = 0;
    /// The sink's human-readable description as last heard of.
    virtual std::optional<std::string> sinkDescription(std::uint32_t index) const = 0;

    /// Called when the server's default sink has changed, and when it is first heard of.
    virtual void setOnDefaultSinkChange(std::function<void()> callback) = 0;
    /// Called when the stream or the connection failed or ended (the server restarted or
    /// went away).
    virtual void setOnConfigurationChange(std::function<void()> callback) = 0;
};

} // namespace plinkora::audio
