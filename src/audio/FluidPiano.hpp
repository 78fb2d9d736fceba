#pragma once

#include "audio/Sampler.hpp"

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
/// Made and destroyed on the main thread; `renderDry` runs on the audio thread.
class FluidPiano {
public:
    static constexpr double kSampleRate = 48000;
    static constexpr int kZones = 12;

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

    /// The MIDI channel that plays `zone`.
    static int channelForZone(int zone) { return zone < 9 ? zone : zone + 1; }

    /// Runs on the audio thread: no allocation, no locks, no waiting.
    void renderDry(float* left, float* right, int frames);

    fluid_synth_t* synth() const { return synth_; }
    /// How many voices are sounding now.
    int activeVoices() const;

private:
    FluidPiano() = default;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    bool fontTried_ = false;
    std::optional<int> fontId_;
    std::string fontError_;
};

} // namespace plinkora::audio
