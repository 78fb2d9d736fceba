#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace plinkora::music {

/// The axis along which the zones run; zone 0 (the lowest note) is at the bottom or left edge.
enum class ZoneOrientation { vertical, horizontal };

inline constexpr std::array<ZoneOrientation, 2> kAllOrientations{ZoneOrientation::vertical,
                                                                 ZoneOrientation::horizontal};

/// "vertical" or "horizontal", as persisted.
std::string_view rawValue(ZoneOrientation orientation);
/// Accepts exactly the two persisted strings (case-sensitive).
std::optional<ZoneOrientation> zoneOrientationFromRaw(std::string_view raw);
/// The label shown in the menu and the settings window.
std::string displayLabel(ZoneOrientation orientation);

} // namespace plinkora::music
