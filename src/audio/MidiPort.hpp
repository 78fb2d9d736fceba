#pragma once

#include <cstdint>

namespace plinkora::audio {

/// A MIDI output port that other programs (synths, DAWs) connect to. Main thread only; sending
/// hands the message over and never waits.
class MidiPort {
public:
    virtual ~MidiPort() = default;

    /// One channel message of three bytes.
    virtual void send(std::uint8_t status, std::uint8_t first, std::uint8_t second) = 0;
};

} // namespace plinkora::audio
