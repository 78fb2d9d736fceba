#include "music/KeyRoot.hpp"

namespace plinkora::music {

namespace {

const std::array<std::string, 12> kSharpNames{"C", "C\u266F", "D", "D\u266F", "E", "F", "F\u266F",
                                              "G", "G\u266F", "A", "A\u266F", "B"};
const std::array<std::string, 12> kFlatNames{"C", "D\u266D", "D", "E\u266D", "E", "F", "G\u266D",
                                             "G", "A\u266D", "A", "B\u266D", "B"};

} // namespace

int rawValue(KeyRoot key) {
    return static_cast<int>(key);
}

std::optional<KeyRoot> keyRootFromRaw(long long raw) {
    if (raw < 0 || raw > 11) {
        return std::nullopt;
    }
    return static_cast<KeyRoot>(raw);
}

bool usesFlats(KeyRoot key, ScaleMode mode) {
    const int parentMajor = (rawValue(key) + parentMajorOffset(mode)) % 12;
    switch (parentMajor) {
    case 1:
    case 3:
    case 5:
    case 8:
    case 10:
        return true;
    case 6:
        // Six sharps or six flats: F♯ major, but E♭ minor (and the scales built on it).
        return parentMajorOffset(mode) == 3;
    default:
        return false;
    }
}

const std::string& pitchClassName(int pitchClass, bool flats) {
    const auto index = static_cast<std::size_t>(((pitchClass % 12) + 12) % 12);
    return flats ? kFlatNames[index] : kSharpNames[index];
}

std::string keyLabel(KeyRoot key, ScaleMode mode) {
    return pitchClassName(rawValue(key), usesFlats(key, mode));
}

} // namespace plinkora::music
