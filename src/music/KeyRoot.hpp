#pragma once

#include "music/ScaleMode.hpp"

#include <array>
#include <optional>
#include <string>

namespace plinkora::music {

/// The twelve keys; the raw value is the number of semitones above C.
enum class KeyRoot { c, cSharp, d, eFlat, e, f, fSharp, g, aFlat, a, bFlat, b };

inline constexpr std::array<KeyRoot, 12> kAllKeys{
    KeyRoot::c,      KeyRoot::cSharp, KeyRoot::d,     KeyRoot::eFlat, KeyRoot::e,     KeyRoot::f,
    KeyRoot::fSharp, KeyRoot::g,      KeyRoot::aFlat, KeyRoot::a,     KeyRoot::bFlat, KeyRoot::b};

int rawValue(KeyRoot key);
/// Accepts 0 to 11.
std::optional<KeyRoot> keyRootFromRaw(long long raw);

/// Whether notes of this key in this mode are written with flats.
bool usesFlats(KeyRoot key, ScaleMode mode);
/// The key's name as spelt in the given mode ("D♭" in major, "C♯" in minor).
std::string keyLabel(KeyRoot key, ScaleMode mode);
/// The name of a pitch class (0 = C) from the sharp or the flat table.
const std::string& pitchClassName(int pitchClass, bool flats);

} // namespace plinkora::music
