#include "audio/FluidSampler.hpp"

#include "audio/FluidPiano.hpp"

namespace plinkora::audio {

namespace {

constexpr int kPianoProgram = 0;
// General MIDI 2's melodic bank; General MIDI fonts keep the same instruments in bank 0.
constexpr int kMelodicBank = 121;
constexpr int kGeneralMidiBank = 0;

} // namespace

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
    std::string error;
    const std::optional<int> font = piano_.soundFont(soundBankPath, error);
    if (!font) {
        return error;
    }
    fluid_sfont_t* sfont = fluid_synth_get_sfont_by_id(piano_.synth(), *font);
    int bank = -1;
    if (sfont != nullptr && fluid_sfont_get_preset(sfont, kMelodicBank, kPianoProgram)) {
        bank = kMelodicBank;
    } else if (sfont != nullptr && fluid_sfont_get_preset(sfont, kGeneralMidiBank, kPianoProgram)) {
        bank = kGeneralMidiBank;
    }
    if (bank < 0) {
        return "the SoundFont " + soundBankPath + " has no piano (program 0 in bank 121 or 0)";
    }
    if (fluid_synth_program_select(piano_.synth(), channel_, *font, bank, kPianoProgram) !=
        FLUID_OK) {
        return "FluidSynth could not select the piano of " + soundBankPath + " on channel " +
               std::to_string(channel_);
    }
    return std::nullopt;
}

} // namespace plinkora::audio
