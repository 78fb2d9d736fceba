#pragma once

#include <cstddef>

namespace plinkora::audio {

/// A stereo second-order low-pass. With Q = 1/sqrt(2) it is a Butterworth filter: flat below
/// the corner, never above 0 dB, and 3 dB down at the corner frequency.
/// Set up on the main thread before rendering starts; `process` runs on the audio thread.
class ToneFilter {
public:
    ToneFilter(double sampleRate, double frequency, double q, double gainDb);

    /// Runs on the audio thread: no allocation, no locks, no waiting.
    void process(float* left, float* right, std::size_t frames);
    void reset();

private:
    struct State {
        double z1 = 0;
        double z2 = 0;
    };
    float step(State& state, float input);

    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    State left_;
    State right_;
};

} // namespace plinkora::audio
