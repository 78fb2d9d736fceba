#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace plinkora::audio {

/// The last five minutes of what the graph rendered, 48 kHz stereo in 16-bit samples (55 MiB),
/// in a ring made once. Its pages are taken from the system as they are first written, so a
/// short session costs little.
///
/// The audio thread writes, without allocating, locking or waiting; any other thread may copy
/// the newest part out meanwhile. Samples are relaxed atomics, the count of frames written
/// publishes them, and a copy drops what the writer overtook while it was being made.
class AudioCapture {
public:
    static constexpr std::size_t kFrames = std::size_t{300} * 48000;

    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    /// Audio thread.
    void write(const float* interleaved, std::size_t frames);
    /// Any thread: the newest `frames` frames or fewer, interleaved.
    std::vector<std::int16_t> newest(std::size_t frames) const;

private:
    std::int16_t* samples_;
    std::atomic<std::uint64_t> written_{0};
};

} // namespace plinkora::audio
