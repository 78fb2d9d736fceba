#include "music/Sound.hpp"

#include "music/RawValues.hpp"

namespace plinkora::music {

namespace {

struct Entry {
    std::string_view raw;
    const char* label;
    int program;
};

// In the order of the enumeration. Programs are General MIDI's, which every GM bank has.
constexpr Entry kEntries[] = {
    {"piano", "Grand Piano", 0},
    {"electric-piano", "Electric Piano", 4},
    {"harpsichord", "Harpsichord", 6},
    {"celesta", "Celesta", 8},
    {"glockenspiel", "Glockenspiel", 9},
    {"music-box", "Music Box", 10},
    {"vibraphone", "Vibraphone", 11},
    {"marimba", "Marimba", 12},
    {"nylon-guitar", "Nylon Guitar", 24},
    {"harp", "Harp", 46},
    {"strings", "Strings", 48},
    {"choir", "Choir", 52},
    {"flute", "Flute", 73},
    {"pan-flute", "Pan Flute", 75},
    {"kalimba", "Kalimba", 108},
    {"steel-drums", "Steel Drums", 114},
};
static_assert(std::size(kEntries) == kAllSounds.size());

const Entry& entry(Sound sound) {
    return kEntries[static_cast<std::size_t>(sound)];
}

} // namespace

std::string_view rawValue(Sound sound) {
    return entry(sound).raw;
}

std::optional<Sound> soundFromRaw(std::string_view raw) {
    return fromRawValue(kAllSounds, raw);
}

std::string displayLabel(Sound sound) {
    return entry(sound).label;
}

int generalMidiProgram(Sound sound) {
    return entry(sound).program;
}

} // namespace plinkora::music
