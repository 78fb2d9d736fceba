#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace plinkora::music {

/// The modes a scale can be in: the church modes players reach for, the harmonic minor, the
/// pentatonics, the six-note blues scale and all twelve semitones.
enum class ScaleMode {
    major,
    minor,
    dorian,
    mixolydian,
    harmonicMinor,
    majorPentatonic,
    minorPentatonic,
    blues,
    chromatic,
};

inline constexpr std::array<ScaleMode, 9> kAllModes{
    ScaleMode::major,           ScaleMode::minor,         ScaleMode::dorian,
    ScaleMode::mixolydian,      ScaleMode::harmonicMinor, ScaleMode::majorPentatonic,
    ScaleMode::minorPentatonic, ScaleMode::blues,         ScaleMode::chromatic};

/// The persisted value ("major", "harmonic-minor").
std::string_view rawValue(ScaleMode mode);
std::optional<ScaleMode> scaleModeFromRaw(std::string_view raw);
/// "Major", "Harmonic Minor".
std::string displayLabel(ScaleMode mode);
/// The mode in a scale's title, lower case ("E♭ harmonic minor").
std::string titleWord(ScaleMode mode);
/// Semitones above the root, one per note of the octave (five to twelve of them).
std::span<const int> intervals(ScaleMode mode);
/// Semitones from the root up to the major key whose notes the mode borrows, and so whose
/// sharps or flats it is written with: 0 for major, 3 for the minors, 10 for Dorian.
int parentMajorOffset(ScaleMode mode);

} // namespace plinkora::music
