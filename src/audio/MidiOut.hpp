#pragma once

#include "audio/MidiPort.hpp"
#include "audio/NoteJournal.hpp"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

namespace plinkora::audio {

/// The zones' notes as they go out on the MIDI output port while it is on, and what sounds
/// there, so that turning it off, switching off or quitting leaves no note hanging in the
/// instrument that receives them. Whether the port is on or not, the notes also go into the
/// journal of the last minutes, stamped by `now`. Main thread only.
class MidiOut {
public:
    using PortFactory = std::function<std::unique_ptr<MidiPort>()>;
    static constexpr std::uint8_t kAllNotesOff = 123;

    /// Without a factory, the port is the system's ("Plinkora", see `RtMidiPort`).
    explicit MidiOut(std::function<double()> now, PortFactory makePort = {});
    /// Silences what still sounds, then closes the port.
    ~MidiOut();
    MidiOut(const MidiOut&) = delete;
    MidiOut& operator=(const MidiOut&) = delete;

    /// Opens the port, or silences it and closes it.
    void setEnabled(bool enabled);
    bool isEnabled() const { return port_ != nullptr; }
    void setPlaysBuiltInSound(bool plays) { playsBuiltIn_ = plays; }
    /// Strikes sound on the built-in synth unless MIDI out is on and the player chose to drive
    /// only the external instrument: never a silent instrument by accident.
    bool playsBuiltInSound() const { return port_ == nullptr || playsBuiltIn_; }

    void controller(int channel, std::uint8_t controller, std::uint8_t value);
    void noteOn(int channel, std::uint8_t note, std::uint8_t velocity);
    /// Sent only for a note that sounds there.
    void noteOff(int channel, std::uint8_t note);
    /// Note off for every sounding note, then "all notes off" on every channel used.
    void silence();

    const NoteJournal& journal() const { return journal_; }

private:
    static constexpr int kChannels = 16;

    void record(std::uint8_t status, std::uint8_t first, std::uint8_t second);

    std::function<double()> now_;
    PortFactory makePort_;
    NoteJournal journal_;
    std::unique_ptr<MidiPort> port_;
    bool playsBuiltIn_ = true;
    std::array<std::bitset<128>, kChannels> sounding_{};
    std::bitset<kChannels> used_;
};

} // namespace plinkora::audio
