#include "audio/MidiSampler.hpp"

namespace plinkora::audio {

void MidiSampler::sendController(std::uint8_t controller, std::uint8_t value) {
    builtIn_->sendController(controller, value);
    midi_.controller(channel_, controller, value);
}

void MidiSampler::startNote(std::uint8_t note, std::uint8_t velocity) {
    // The built-in sound first: the note a player hears is not held up by the port.
    if (midi_.playsBuiltInSound()) {
        builtIn_->startNote(note, velocity);
    }
    midi_.noteOn(channel_, note, velocity);
}

void MidiSampler::stopNote(std::uint8_t note) {
    builtIn_->stopNote(note);
    midi_.noteOff(channel_, note);
}

} // namespace plinkora::audio
