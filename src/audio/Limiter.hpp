#pragma once

#include <cstddef>

namespace plinkora::audio {

/// Keeps a stereo signal below a ceiling without look-ahead, which would add latency: on a
/// peak over the ceiling the gain drops at once to just what fits, then recovers smoothly.
/// Below the ceiling it leaves the signal as it is. Made on the main thread; `process` runs on
/// the audio thread: no allocation, no locks, no waiting.
class Limiter {
public:
    Limiter(double sampleRate, float ceiling, double releaseSeconds);

    void process(float* interleaved, std::size_t frames);

private:
    float ceiling_;
    float recovery_;
    float gain_ = 1.0f;
};

} // namespace plinkora::audio
