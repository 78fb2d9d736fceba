#include "audio/HallReverb.hpp"

#include <algorithm>
#include <cmath>

namespace plinkora::audio {

namespace {

// Delay lengths in samples at 44.1 kHz (mutually prime, so that echoes do not pile up);
// the right channel's are a little longer, which decorrelates the two sides.
constexpr int kCombLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllPassLengths[] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;
// A hall is larger than the room the lengths above were tuned for.
constexpr double kHallSize = 1.3;
constexpr double kPreDelaySeconds = 0.022;
constexpr float kDamping = 0.35f;
constexpr float kAllPassFeedback = 0.5f;
// Gives the hall about the loudness of the dry signal for sustained sound.
constexpr float kInputGain = 0.015f;
// -90 dBFS.
constexpr float kSilence = 3.1623e-5f;

std::size_t scaled(int length, double sampleRate) {
    return static_cast<std::size_t>(std::lround(length * kHallSize * sampleRate / 44100.0));
}

float peak(const float* samples, std::size_t frames) {
    float result = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        result = std::max(result, std::fabs(samples[i]));
    }
    return result;
}

} // namespace

HallReverb::HallReverb(double sampleRate, double wetShare, double decaySeconds)
    : wet_(wetShare) {
    preDelay_.assign(static_cast<std::size_t>(std::lround(kPreDelaySeconds * sampleRate)), 0.0f);
    std::size_t longest = 0;
    for (Channel* channel : {&left_, &right_}) {
        const int spread = channel == &right_ ? kStereoSpread : 0;
        for (int length : kCombLengths) {
            Comb comb;
            comb.buffer.assign(scaled(length + spread, sampleRate), 0.0f);
            // Each comb loses 60 dB in `decaySeconds`, whatever its length.
            const double loops =
                decaySeconds * sampleRate / static_cast<double>(comb.buffer.size());
            comb.feedback = static_cast<float>(std::pow(10.0, -3.0 / loops));
            longest = std::max(longest, comb.buffer.size());
            channel->combs.push_back(std::move(comb));
        }
        for (int length : kAllPassLengths) {
            AllPass allPass;
            allPass.buffer.assign(scaled(length + spread, sampleRate), 0.0f);
            longest += allPass.buffer.size();
            channel->allPasses.push_back(std::move(allPass));
        }
    }
    // Quiet for longer than any sound can stay inside the delay lines.
    quietSpan_ = preDelay_.size() + longest;
}

float HallReverb::channelSample(Channel& channel, float input) {
    float sum = 0;
    for (Comb& comb : channel.combs) {
        const float out = comb.buffer[comb.index];
        comb.store = out * (1 - kDamping) + comb.store * kDamping;
        comb.buffer[comb.index] = input + comb.store * comb.feedback;
        if (++comb.index == comb.buffer.size()) {
            comb.index = 0;
        }
        sum += out;
    }
    for (AllPass& allPass : channel.allPasses) {
        const float delayed = allPass.buffer[allPass.index];
        allPass.buffer[allPass.index] = sum + delayed * kAllPassFeedback;
        sum = delayed - sum;
        if (++allPass.index == allPass.buffer.size()) {
            allPass.index = 0;
        }
    }
    return sum;
}

void HallReverb::process(float* left, float* right, std::size_t frames) {
    const float dry = static_cast<float>(1 - wet_);
    const float wet = static_cast<float>(wet_);
    const float inputPeak = std::max(peak(left, frames), peak(right, frames));
    if (idle_ && inputPeak < kSilence) {
        for (std::size_t i = 0; i < frames; ++i) {
            left[i] *= dry;
            right[i] *= dry;
        }
        return;
    }
    idle_ = false;
    float wetPeak = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const float input = (left[i] + right[i]) * kInputGain;
        const float delayed = preDelay_[preDelayIndex_];
        preDelay_[preDelayIndex_] = input;
        if (++preDelayIndex_ == preDelay_.size()) {
            preDelayIndex_ = 0;
        }
        const float wetLeft = channelSample(left_, delayed);
        const float wetRight = channelSample(right_, delayed);
        wetPeak = std::max({wetPeak, std::fabs(wetLeft), std::fabs(wetRight)});
        left[i] = left[i] * dry + wetLeft * wet;
        right[i] = right[i] * dry + wetRight * wet;
    }
    if (inputPeak < kSilence && wetPeak < kSilence) {
        quietFrames_ += frames;
        if (quietFrames_ >= quietSpan_) {
            reset();
        }
    } else {
        quietFrames_ = 0;
    }
}

void HallReverb::reset() {
    std::fill(preDelay_.begin(), preDelay_.end(), 0.0f);
    for (Channel* channel : {&left_, &right_}) {
        for (Comb& comb : channel->combs) {
            std::fill(comb.buffer.begin(), comb.buffer.end(), 0.0f);
            comb.store = 0;
        }
        for (AllPass& allPass : channel->allPasses) {
            std::fill(allPass.buffer.begin(), allPass.buffer.end(), 0.0f);
        }
    }
    quietFrames_ = 0;
    idle_ = true;
}

} // namespace plinkora::audio
