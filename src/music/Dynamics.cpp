#include "music/Dynamics.hpp"

#include "music/RawValues.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace plinkora::music {

namespace {

// In the order of the enumeration: the persisted value and the label.
constexpr std::pair<std::string_view, const char*> kNames[] = {
    {"fixed", "Fixed"}, {"touch", "Touch"}, {"position", "Position"}};

std::uint8_t between(double share) {
    const double velocity =
        kSoftestVelocity + (kLoudestVelocity - kSoftestVelocity) * std::clamp(share, 0.0, 1.0);
    return static_cast<std::uint8_t>(std::lround(velocity));
}

} // namespace

std::string_view rawValue(Dynamics dynamics) {
    return kNames[static_cast<std::size_t>(dynamics)].first;
}

std::optional<Dynamics> dynamicsFromRaw(std::string_view raw) {
    return fromRawValue(kAllDynamics, raw);
}

std::string displayLabel(Dynamics dynamics) {
    return kNames[static_cast<std::size_t>(dynamics)].second;
}

std::uint8_t strikeVelocity(Dynamics dynamics, double across, std::optional<double> pressure) {
    if (dynamics == Dynamics::fixed) {
        return kFixedVelocity;
    }
    if (dynamics == Dynamics::touch && pressure && *pressure > 0) {
        // Screens report a light tap well below half their range and rarely reach the top:
        // the square root spreads what fingers actually do across the velocities.
        return between(std::sqrt(*pressure));
    }
    return between(across);
}

} // namespace plinkora::music
