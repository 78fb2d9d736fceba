#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace plinkora::music {

/// Major, or the natural (Aeolian) minor.
enum class ScaleMode { major, minor };

inline constexpr std::array<ScaleMode, 2> kAllModes{ScaleMode::major, ScaleMode::minor};

/// "major" or "minor": the persisted value and the word in a scale's title.
std::string_view rawValue(ScaleMode mode);
std::optional<ScaleMode> scaleModeFromRaw(std::string_view raw);
/// "Major" or "Minor".
std::string displayLabel(ScaleMode mode);
/// Semitones above the root, one per degree of the octave.
const std::array<int, 7>& intervals(ScaleMode mode);

} // namespace plinkora::music
