#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plinkora::audio {

/// One zone's instrument: the three MIDI messages the note logic sends, always on the
/// sampler's own channel, and loading the piano into it. Called on the main thread only.
class Sampler {
public:
    virtual ~Sampler() = default;

    virtual void sendController(std::uint8_t controller, std::uint8_t value) = 0;
    virtual void startNote(std::uint8_t note, std::uint8_t velocity) = 0;
    virtual void stopNote(std::uint8_t note) = 0;
    /// Loads the General MIDI grand piano from the sound bank; the error's description when
    /// that fails.
    virtual std::optional<std::string> loadPiano(const std::string& soundBankPath) = 0;
};

} // namespace plinkora::audio
