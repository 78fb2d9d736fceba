#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plinkora::audio {

/// The last minutes of what the zones were sent, strikes, fade steps and note ends, each with
/// its moment, in a ring made once: the oldest go first. Main thread only.
class NoteJournal {
public:
    struct Event {
        double at = 0;
        std::uint8_t status = 0;
        std::uint8_t first = 0;
        std::uint8_t second = 0;
    };
    static constexpr double kSpanSeconds = 300;
    /// Twelve zones fading without a pause for five minutes send about 150,000; 4 MB.
    static constexpr std::size_t kCapacity = std::size_t{1} << 18;

    NoteJournal();

    void add(const Event& event);
    /// What was sent at `from` or later, oldest first.
    std::vector<Event> since(double from) const;

private:
    std::vector<Event> ring_;
    std::size_t written_ = 0;
};

/// A Standard MIDI File (format 1) of `events`: a tempo track, then one track per channel
/// used, in ticks of a millisecond counted from `start`.
std::vector<std::uint8_t> standardMidiFile(const std::vector<NoteJournal::Event>& events,
                                           double start);

} // namespace plinkora::audio
