#pragma once

#include "audio/Sampler.hpp"

namespace plinkora::audio {

class FluidPiano;

/// A zone's sampler: one MIDI channel of the shared synth. Its messages travel to the render
/// path stamped with their moment (see `FluidPiano`).
class FluidSampler final : public Sampler {
public:
    FluidSampler(FluidPiano& piano, int channel)
        : piano_(piano)
        , channel_(channel) {}

    void sendController(std::uint8_t controller, std::uint8_t value) override;
    void startNote(std::uint8_t note, std::uint8_t velocity) override;
    void stopNote(std::uint8_t note) override;
    std::optional<std::string> loadPiano(const std::string& soundBankPath) override;

    int channel() const { return channel_; }

private:
    FluidPiano& piano_;
    int channel_;
};

} // namespace plinkora::audio
