#include "music/Scale.hpp"

namespace plinkora::music {

std::vector<std::uint8_t> Scale::midiNotes() const {
    std::vector<std::uint8_t> notes;
    if (degrees <= 0) {
        return notes;
    }
    const int raw = rawValue(root);
    // Keys from G upwards start below middle C, so every root lies in 55 ... 66.
    const int base = raw <= 6 ? 60 + raw : 48 + raw;
    // Each octave climbs the mode's steps again, whatever their number.
    const std::span<const int> steps = intervals(mode);
    const auto perOctave = static_cast<int>(steps.size());
    notes.reserve(static_cast<std::size_t>(degrees));
    for (int i = 0; i < degrees; ++i) {
        notes.push_back(static_cast<std::uint8_t>(base + 12 * (i / perOctave) +
                                                  steps[static_cast<std::size_t>(i % perOctave)]));
    }
    return notes;
}

std::string noteName(std::uint8_t note, bool flats) {
    return pitchClassName(note % 12, flats) + std::to_string(note / 12 - 1);
}

std::vector<std::string> Scale::names() const {
    const bool flats = usesFlats(root, mode);
    std::vector<std::string> result;
    for (auto note : midiNotes()) {
        result.push_back(noteName(note, flats));
    }
    return result;
}

std::string Scale::title() const {
    return keyLabel(root, mode) + " " + titleWord(mode);
}

} // namespace plinkora::music
