#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plinkora::music {

/// How hard a strike plays.
enum class Dynamics {
    /// Always velocity 92.
    fixed,
    /// From the touch's pressure, where the screen reports it; otherwise as `position`.
    touch,
    /// From where the strike lands in its zone: louder towards the far edge.
    position,
};

inline constexpr std::array<Dynamics, 3> kAllDynamics{Dynamics::fixed, Dynamics::touch,
                                                      Dynamics::position};
inline constexpr std::uint8_t kFixedVelocity = 92;
inline constexpr std::uint8_t kSoftestVelocity = 40;
inline constexpr std::uint8_t kLoudestVelocity = 127;

/// "fixed", "touch" or "position": the persisted value.
std::string_view rawValue(Dynamics dynamics);
std::optional<Dynamics> dynamicsFromRaw(std::string_view raw);
/// "Fixed", "Touch" or "Position".
std::string displayLabel(Dynamics dynamics);

/// The velocity of a strike landing `across` its zone (0 at the near edge, 1 at the far one),
/// with the touch's `pressure` (0 to 1) where the screen reports one.
std::uint8_t strikeVelocity(Dynamics dynamics, double across, std::optional<double> pressure);

} // namespace plinkora::music
