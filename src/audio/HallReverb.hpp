#pragma once

#include <cstddef>
#include <vector>

namespace plinkora::audio {

/// A large-hall algorithmic reverb: a pre-delay, eight damped feedback combs and four
/// all-passes per channel (Schroeder and Moorer's design), tuned so that the hall decays by
/// 60 dB in about three seconds. Mixes `wetShare` of the hall with the rest of the dry signal.
///
/// Buffers are made in the constructor (main thread); `process` runs on the audio thread.
/// Once the input is silent and the tail has fallen below -90 dBFS the reverb clears itself
/// and stops computing until sound arrives again.
class HallReverb {
public:
    HallReverb(double sampleRate, double wetShare, double decaySeconds = 3.4);

    /// Runs on the audio thread: no allocation, no locks, no waiting.
    void process(float* left, float* right, std::size_t frames);
    void reset();

    /// Whether the tail has died away and the reverb is passing the dry signal only.
    bool isIdle() const { return idle_; }
    double wetShare() const { return wet_; }

private:
    struct Comb {
        std::vector<float> buffer;
        std::size_t index = 0;
        float feedback = 0;
        float store = 0;
    };
    struct AllPass {
        std::vector<float> buffer;
        std::size_t index = 0;
    };
    struct Channel {
        std::vector<Comb> combs;
        std::vector<AllPass> allPasses;
    };

    float channelSample(Channel& channel, float input);

    double wet_;
    std::vector<float> preDelay_;
    std::size_t preDelayIndex_ = 0;
    Channel left_;
    Channel right_;
    std::size_t quietFrames_ = 0;
    std::size_t quietSpan_ = 0;
    bool idle_ = true;
};

} // namespace plinkora::audio
