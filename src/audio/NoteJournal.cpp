#include "audio/NoteJournal.hpp"

#include <algorithm>
#include <cmath>

namespace plinkora::audio {

namespace {

// 500 ticks a quarter note at 500,000 µs a quarter note: a tick is a millisecond.
constexpr std::uint16_t kTicksPerQuarter = 500;
constexpr std::uint32_t kMicrosecondsPerQuarter = 500000;

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1) {
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    }
    out.push_back(groups[0]);
}

void appendTrack(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& body) {
    static constexpr std::uint8_t kEnd[] = {0x00, 0xFF, 0x2F, 0x00};
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    appendBigEndian(out, static_cast<std::uint32_t>(body.size() + sizeof kEnd), 4);
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), std::begin(kEnd), std::end(kEnd));
}

} // namespace

NoteJournal::NoteJournal()
    : ring_(kCapacity) {}

void NoteJournal::add(const Event& event) {
    ring_[written_ % kCapacity] = event;
    ++written_;
}

std::vector<NoteJournal::Event> NoteJournal::since(double from) const {
    std::vector<Event> events;
    const std::size_t kept = std::min(written_, kCapacity);
    for (std::size_t i = written_ - kept; i < written_; ++i) {
        if (const Event& event = ring_[i % kCapacity]; event.at >= from) {
            events.push_back(event);
        }
    }
    return events;
}

std::vector<std::uint8_t> standardMidiFile(const std::vector<NoteJournal::Event>& events,
                                           double start) {
    std::vector<bool> used(16, false);
    for (const auto& event : events) {
        used[event.status & 0x0F] = true;
    }
    const auto tracks = static_cast<std::uint32_t>(1 + std::count(used.begin(), used.end(), true));
    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    appendBigEndian(out, tracks, 2);
    appendBigEndian(out, kTicksPerQuarter, 2);

    std::vector<std::uint8_t> tempo{0x00, 0xFF, 0x51, 0x03};
    appendBigEndian(tempo, kMicrosecondsPerQuarter, 3);
    appendTrack(out, tempo);
    for (int channel = 0; channel < 16; ++channel) {
        if (!used[static_cast<std::size_t>(channel)]) {
            continue;
        }
        std::vector<std::uint8_t> body;
        std::uint32_t last = 0;
        for (const auto& event : events) {
            if ((event.status & 0x0F) != channel) {
                continue;
            }
            const auto tick = static_cast<std::uint32_t>(
                std::max<long>(std::lround((event.at - start) * 1000), static_cast<long>(last)));
            appendVariableLength(body, tick - last);
            last = tick;
            body.insert(body.end(), {event.status, event.first, event.second});
        }
        appendTrack(out, body);
    }
    return out;
}

} // namespace plinkora::audio
