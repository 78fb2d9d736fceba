#include "audio/Limiter.hpp"

#include <algorithm>
#include <cmath>

namespace plinkora::audio {

Limiter::Limiter(double sampleRate, float ceiling, double releaseSeconds)
    : ceiling_(ceiling)
    , recovery_(static_cast<float>(1.0 - std::exp(-1.0 / (releaseSeconds * sampleRate)))) {}

void Limiter::process(float* interleaved, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        float& left = interleaved[2 * i];
        float& right = interleaved[2 * i + 1];
        const float peak = std::max(std::fabs(left), std::fabs(right));
        const float fits = peak > ceiling_ ? ceiling_ / peak : 1.0f;
        // Down at once, up gently: the gain never lets this frame past the ceiling.
        gain_ = fits < gain_ ? fits : gain_ + (fits - gain_) * recovery_;
        left *= gain_;
        right *= gain_;
    }
}

} // namespace plinkora::audio
