#pragma once

#include "audio/MidiOut.hpp"
#include "audio/Sampler.hpp"

#include <memory>

namespace plinkora::audio {

/// A zone's sampler that also plays its notes on the MIDI output, on the zone's own channel.
/// Controllers and note offs always reach the built-in sampler too, so a note it sounds fades
/// and stops as it should whatever is switched meanwhile. Main thread only.
class MidiSampler final : public Sampler {
public:
    MidiSampler(std::unique_ptr<Sampler> builtIn, int channel, MidiOut& midi)
        : builtIn_(std::move(builtIn))
        , channel_(channel)
        , midi_(midi) {}

    void sendController(std::uint8_t controller, std::uint8_t value) override;
    void startNote(std::uint8_t note, std::uint8_t velocity) override;
    void stopNote(std::uint8_t note) override;
    std::optional<std::string> loadPiano(const std::string& soundBankPath) override {
        return builtIn_->loadPiano(soundBankPath);
    }

private:
    std::unique_ptr<Sampler> builtIn_;
    int channel_;
    MidiOut& midi_;
};

} // namespace plinkora::audio
