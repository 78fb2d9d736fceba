#include "audio/ToneFilter.hpp"

#include <cmath>
#include <numbers>

namespace plinkora::audio {

namespace {

// State this small is inaudible; clearing it keeps a decaying tail from turning subnormal,
// which costs a hundred times the work per sample on x86.
constexpr double kFlushBelow = 1e-20;

void flush(double& value) {
    if (std::fabs(value) < kFlushBelow) {
        value = 0;
    }
}

} // namespace

ToneFilter::ToneFilter(double sampleRate, double frequency, double q, double gainDb) {
    // The cookbook low-pass, its resonance set by Q.
    const double w0 = 2 * std::numbers::pi * frequency / sampleRate;
    const double sinW0 = std::sin(w0);
    const double cosW0 = std::cos(w0);
    const double alpha = sinW0 / (2 * q);
    const double gain = std::pow(10.0, gainDb / 20);
    const double a0 = 1 + alpha;
    b0_ = gain * (1 - cosW0) / 2 / a0;
    b1_ = gain * (1 - cosW0) / a0;
    b2_ = b0_;
    a1_ = -2 * cosW0 / a0;
    a2_ = (1 - alpha) / a0;
}

float ToneFilter::step(State& state, float input) {
    // Transposed direct form II: two state values and good behaviour at low frequencies.
    const double x = input;
    const double y = b0_ * x + state.z1;
    state.z1 = b1_ * x - a1_ * y + state.z2;
    state.z2 = b2_ * x - a2_ * y;
    return static_cast<float>(y);
}

void ToneFilter::process(float* left, float* right, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = step(left_, left[i]);
        right[i] = step(right_, right[i]);
    }
    flush(left_.z1);
    flush(left_.z2);
    flush(right_.z1);
    flush(right_.z2);
}

void ToneFilter::reset() {
    left_ = {};
    right_ = {};
}

} // namespace plinkora::audio
