#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace plinkora::music {

/// The instrument every zone plays: General MIDI programs that suit striking and sustaining.
enum class Sound {
    grandPiano,
    electricPiano,
    harpsichord,
    celesta,
    glockenspiel,
    musicBox,
    vibraphone,
    marimba,
    nylonGuitar,
    harp,
    strings,
    choir,
    flute,
    panFlute,
    kalimba,
    steelDrums,
};

inline constexpr std::array<Sound, 16> kAllSounds{
    Sound::grandPiano,   Sound::electricPiano, Sound::harpsichord, Sound::celesta,
    Sound::glockenspiel, Sound::musicBox,      Sound::vibraphone,  Sound::marimba,
    Sound::nylonGuitar,  Sound::harp,          Sound::strings,     Sound::choir,
    Sound::flute,        Sound::panFlute,      Sound::kalimba,     Sound::steelDrums};

/// "piano", "electric-piano" …: the persisted value.
std::string_view rawValue(Sound sound);
std::optional<Sound> soundFromRaw(std::string_view raw);
/// "Grand Piano", "Electric Piano" …
std::string displayLabel(Sound sound);
/// The General MIDI program, counted from 0 (the grand piano).
int generalMidiProgram(Sound sound);

} // namespace plinkora::music
