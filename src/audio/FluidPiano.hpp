#pragma once

#include "audio/Sampler.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <fluidsynth.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plinkora::audio {

/// The one FluidSynth synth that carries every zone's piano: the dry piano at 48 kHz with
/// FluidSynth's own reverb and chorus off, and only the samples of the selected presets in
/// memory. Its messages go to Plinkora's logger.
///
/// Note and controller messages are stamped with the moment they were sent and handed to the
/// render path, which gives each to the synth a set time after it was sent (`kStrikeToSound`
/// until the output measures its own delay), in the 64-frame block where that moment is
/// heard. A strike therefore waits the same time for its sound whatever block of the output
/// it falls in.
///
/// Made and loaded while no output renders it: the first on the main thread before the stream
/// starts, another sound's on a loader thread before it is offered to the graph. From its first
/// render on, only the audio thread calls its FluidSynth, so the API lock is off; it is
/// destroyed on the main thread once the graph has given it back, or after the stream ended.
class FluidPiano {
public:
    static constexpr double kSampleRate = 48000;
    static constexpr int kZones = 12;
    static constexpr int kBlockFrames = 64;
    /// From a message being sent to it being heard: covers the output's buffer and the time
    /// until the audio thread next renders.
    static constexpr double kStrikeToSound = 0.007;

    /// The time from a message being sent to it being heard, as the output measures it.
    /// Audio thread only, like renderBlock.
    void setStrikeToSound(double seconds) { strikeToSound_ = seconds; }
    double strikeToSound() const { return strikeToSound_; }

    enum class MessageKind : std::uint8_t { controller, noteOn, noteOff };

    /// The synth, or nothing with the reason in `error`.
    static std::unique_ptr<FluidPiano> create(std::string& error);
    ~FluidPiano();
    FluidPiano(const FluidPiano&) = delete;
    FluidPiano& operator=(const FluidPiano&) = delete;

    /// One sampler per zone, on its zone's MIDI channel (channel 9, General MIDI percussion,
    /// is skipped). Fewer than `kZones` when the synth has too few channels, with the reason
    /// in `error`.
    std::vector<std::unique_ptr<Sampler>> makeSamplers(std::string& error);

    /// Loads the sound bank once; later calls give the first call's result. The SoundFont's id,
    /// or nothing with the reason in `error`.
    std::optional<int> soundFont(const std::string& path, std::string& error);
    /// Whether the sound bank has General MIDI `program` (in bank 121 or 0).
    bool hasProgram(const std::string& path, int program);
    /// Plays `program` of the sound bank on `channel`; the error's description when that fails.
    /// Reads the program's samples from disk: before the first render, or on a synth that no
    /// output renders yet.
    std::optional<std::string> selectProgram(const std::string& path, int channel, int program);

    /// The MIDI channel that plays `zone`.
    static int channelForZone(int zone) { return zone < 9 ? zone : zone + 1; }

    /// Queues a message for the render path. Main thread only (the one producer).
    void send(MessageKind kind, int channel, std::uint8_t first, std::uint8_t second);

    /// Renders exactly `kBlockFrames` frames whose first is heard at `heardAt`, after giving
    /// the synth the messages due by the block's middle. Runs on the audio thread: no
    /// allocation, no locks of ours, no waiting.
    void renderBlock(float* left, float* right, double heardAt);

    fluid_synth_t* synth() const { return synth_; }
    /// How many voices are sounding now.
    int activeVoices() const;
    /// Messages are queued and not yet given to the synth. Audio thread.
    bool hasPendingMessages() const;
    /// No voice sounds and no message is queued. Audio thread.
    bool isSilent() const;

private:
    struct Message {
        double sentAt = 0;
        MessageKind kind = MessageKind::controller;
        std::uint8_t channel = 0;
        std::uint8_t first = 0;
        std::uint8_t second = 0;
    };
    // A power of two; far more than a storm of strikes and fades fills between two blocks.
    static constexpr std::uint32_t kQueueSize = 1024;
    // The audio thread's own.
    double strikeToSound_ = kStrikeToSound;

    FluidPiano() = default;
    void apply(const Message& message);
    std::optional<int> bankWith(int font, int program) const;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    bool fontTried_ = false;
    std::optional<int> fontId_;
    std::string fontError_;

    // One producer (the main thread), one consumer (the audio thread), no locks.
    std::array<Message, kQueueSize> queue_{};
    std::atomic<std::uint32_t> written_{0};
    std::atomic<std::uint32_t> read_{0};
};

} // namespace plinkora::audio
