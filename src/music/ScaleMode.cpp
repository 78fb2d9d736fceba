#include "music/ScaleMode.hpp"

namespace plinkora::music {

std::string_view rawValue(ScaleMode mode) {
    return mode == ScaleMode::major ? "major" : "minor";
}

std::optional<ScaleMode> scaleModeFromRaw(std::string_view raw) {
    for (auto mode : kAllModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string displayLabel(ScaleMode mode) {
    return mode == ScaleMode::major ? "Major" : "Minor";
}

const std::array<int, 7>& intervals(ScaleMode mode) {
    static constexpr std::array<int, 7> kMajor{0, 2, 4, 5, 7, 9, 11};
    static constexpr std::array<int, 7> kMinor{0, 2, 3, 5, 7, 8, 10};
    return mode == ScaleMode::major ? kMajor : kMinor;
}

} // namespace plinkora::music
