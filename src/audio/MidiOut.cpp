#include "audio/MidiOut.hpp"

#include "audio/RtMidiPort.hpp"

namespace plinkora::audio {

namespace {

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xB0;

bool isChannel(int channel) {
    return channel >= 0 && channel < 16;
}

std::uint8_t status(std::uint8_t kind, int channel) {
    return static_cast<std::uint8_t>(kind | channel);
}

} // namespace

MidiOut::MidiOut(std::function<double()> now, PortFactory makePort)
    : now_(std::move(now))
    , makePort_(std::move(makePort)) {
    if (!makePort_) {
        makePort_ = [] { return std::make_unique<RtMidiPort>(); };
    }
}

MidiOut::~MidiOut() {
    setEnabled(false);
}

void MidiOut::setEnabled(bool enabled) {
    if (enabled && !port_) {
        port_ = makePort_();
    } else if (!enabled && port_) {
        silence();
        port_.reset();
    }
}

void MidiOut::record(std::uint8_t status, std::uint8_t first, std::uint8_t second) {
    journal_.add({now_(), status, first, second});
    if (port_) {
        port_->send(status, first, second);
    }
}

void MidiOut::controller(int channel, std::uint8_t controller, std::uint8_t value) {
    if (isChannel(channel)) {
        record(status(kControlChange, channel), controller, value);
    }
}

void MidiOut::noteOn(int channel, std::uint8_t note, std::uint8_t velocity) {
    if (isChannel(channel) && note < 128) {
        record(status(kNoteOn, channel), note, velocity);
        sounding_[channel].set(note);
        used_.set(channel);
    }
}

void MidiOut::noteOff(int channel, std::uint8_t note) {
    if (isChannel(channel) && note < 128 && sounding_[channel].test(note)) {
        record(status(kNoteOff, channel), note, 0);
        sounding_[channel].reset(note);
    }
}

void MidiOut::silence() {
    if (!port_) {
        // The built-in notes ring out, and the journal keeps them as they end.
        return;
    }
    for (int channel = 0; channel < kChannels; ++channel) {
        for (std::uint8_t note = 0; note < 128; ++note) {
            noteOff(channel, note);
        }
    }
    for (int channel = 0; channel < kChannels; ++channel) {
        if (used_.test(channel)) {
            port_->send(status(kControlChange, channel), kAllNotesOff, 0);
        }
    }
    used_.reset();
}

} // namespace plinkora::audio
