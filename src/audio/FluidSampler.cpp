#include "audio/FluidSampler.hpp"

#include "audio/FluidPiano.hpp"

namespace plinkora::audio {

void FluidSampler::sendController(std::uint8_t controller, std::uint8_t value) {
    piano_.send(FluidPiano::MessageKind::controller, channel_, controller, value);
}

void FluidSampler::startNote(std::uint8_t note, std::uint8_t velocity) {
    piano_.send(FluidPiano::MessageKind::noteOn, channel_, note, velocity);
}

void FluidSampler::stopNote(std::uint8_t note) {
    piano_.send(FluidPiano::MessageKind::noteOff, channel_, note, 0);
}

std::optional<std::string> FluidSampler::loadPiano(const std::string& soundBankPath) {
    return piano_.selectProgram(soundBankPath, channel_, 0);
}

} // namespace plinkora::audio
