#include "audio/AudioCapture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace plinkora::audio {

AudioCapture::AudioCapture()
    // Zeroed pages that the system maps only once touched.
    : samples_(static_cast<std::int16_t*>(std::calloc(2 * kFrames, sizeof(std::int16_t)))) {
    if (samples_ == nullptr) {
        throw std::bad_alloc();
    }
}

AudioCapture::~AudioCapture() {
    std::free(samples_);
}

void AudioCapture::write(const float* interleaved, std::size_t frames) {
    const std::uint64_t written = written_.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::size_t frame = (written + i) % kFrames;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            const float sample = std::clamp(interleaved[2 * i + channel], -1.0f, 1.0f);
            std::atomic_ref<std::int16_t>(samples_[2 * frame + channel])
                .store(static_cast<std::int16_t>(std::lrint(sample * 32767.0f)),
                       std::memory_order_relaxed);
        }
    }
    written_.store(written + frames, std::memory_order_release);
}

std::vector<std::int16_t> AudioCapture::newest(std::size_t frames) const {
    const std::uint64_t end = written_.load(std::memory_order_acquire);
    const std::uint64_t count = std::min<std::uint64_t>({frames, end, kFrames});
    const std::uint64_t begin = end - count;
    std::vector<std::int16_t> out(2 * count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t frame = (begin + i) % kFrames;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            out[2 * i + channel] = std::atomic_ref<std::int16_t>(samples_[2 * frame + channel])
                                       .load(std::memory_order_relaxed);
        }
    }
    // Frames the writer reached again while they were copied are newer than the rest: drop
    // them from the front, with a margin for a block being written but not yet counted.
    constexpr std::uint64_t kMargin = 4800;
    const std::uint64_t now = written_.load(std::memory_order_acquire) + kMargin;
    const std::uint64_t overtaken =
        now > begin + kFrames ? std::min<std::uint64_t>(now - begin - kFrames, count) : 0;
    out.erase(out.begin(), out.begin() + static_cast<long>(2 * overtaken));
    return out;
}

} // namespace plinkora::audio
