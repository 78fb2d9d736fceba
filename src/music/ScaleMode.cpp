#include "music/ScaleMode.hpp"

#include "music/RawValues.hpp"

namespace plinkora::music {

namespace {

struct ModeFacts {
    std::string_view raw;
    const char* label;
    const char* title;
    std::span<const int> intervals;
    int parentMajorOffset;
};

constexpr int kMajor[] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinor[] = {0, 2, 3, 5, 7, 8, 10};
constexpr int kDorian[] = {0, 2, 3, 5, 7, 9, 10};
constexpr int kMixolydian[] = {0, 2, 4, 5, 7, 9, 10};
constexpr int kHarmonicMinor[] = {0, 2, 3, 5, 7, 8, 11};
constexpr int kMajorPentatonic[] = {0, 2, 4, 7, 9};
constexpr int kMinorPentatonic[] = {0, 3, 5, 7, 10};
constexpr int kBlues[] = {0, 3, 5, 6, 7, 10};
constexpr int kChromatic[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// In the order of the enumeration. The harmonic minor, the minor pentatonic and the blues
// scale borrow the natural minor's key signature; chromatic follows the key itself.
constexpr ModeFacts kFacts[] = {
    {"major", "Major", "major", kMajor, 0},
    {"minor", "Minor", "minor", kMinor, 3},
    {"dorian", "Dorian", "dorian", kDorian, 10},
    {"mixolydian", "Mixolydian", "mixolydian", kMixolydian, 5},
    {"harmonic-minor", "Harmonic Minor", "harmonic minor", kHarmonicMinor, 3},
    {"major-pentatonic", "Major Pentatonic", "major pentatonic", kMajorPentatonic, 0},
    {"minor-pentatonic", "Minor Pentatonic", "minor pentatonic", kMinorPentatonic, 3},
    {"blues", "Blues", "blues", kBlues, 3},
    {"chromatic", "Chromatic", "chromatic", kChromatic, 0},
};

const ModeFacts& facts(ScaleMode mode) {
    return kFacts[static_cast<std::size_t>(mode)];
}

} // namespace

std::string_view rawValue(ScaleMode mode) {
    return facts(mode).raw;
}

std::optional<ScaleMode> scaleModeFromRaw(std::string_view raw) {
    return fromRawValue(kAllModes, raw);
}

std::string displayLabel(ScaleMode mode) {
    return facts(mode).label;
}

std::string titleWord(ScaleMode mode) {
    return facts(mode).title;
}

std::span<const int> intervals(ScaleMode mode) {
    return facts(mode).intervals;
}

int parentMajorOffset(ScaleMode mode) {
    return facts(mode).parentMajorOffset;
}

} // namespace plinkora::music
