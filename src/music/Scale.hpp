#pragma once

#include "music/KeyRoot.hpp"
#include "music/ScaleMode.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace plinkora::music {

/// What the screen plays: a key, a mode and one degree per zone.
struct Scale {
    KeyRoot root = KeyRoot::c;
    ScaleMode mode = ScaleMode::major;
    int degrees = 9;

    /// MIDI note numbers, zone 0 first, ascending; empty for zero or fewer degrees.
    std::vector<std::uint8_t> midiNotes() const;
    /// One name per note in scientific pitch notation ("C4", "B♭3").
    std::vector<std::string> names() const;
    /// Key label, a space and the lower-case mode words ("E♭ minor", "D harmonic minor").
    std::string title() const;

    bool operator==(const Scale&) const = default;
};

/// The name of one MIDI note, spelt with flats or sharps.
std::string noteName(std::uint8_t note, bool flats);

} // namespace plinkora::music
