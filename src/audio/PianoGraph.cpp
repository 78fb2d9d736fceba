#include "audio/PianoGraph.hpp"

#include "audio/FluidPiano.hpp"

#include <algorithm>

namespace plinkora::audio {

static_assert(PianoGraph::kBlockFrames == FluidPiano::kBlockFrames);

PianoGraph::PianoGraph(FluidPiano* piano, double sampleRate)
    : piano_(piano)
    , sampleRate_(sampleRate)
    , tone_(sampleRate, kToneFrequency, kToneQ, kToneGainDb)
    , reverb_(sampleRate, kReverbWetShare)
    , limiter_(sampleRate, kCeiling, kLimiterRelease) {}

void PianoGraph::render(float* interleaved, std::size_t frames, double heardAt) {
    render(interleaved, frames, heardAt, nullptr);
}

void PianoGraph::render(float* interleaved, std::size_t frames, double heardAt, float* preReverb) {
    std::size_t done = 0;
    while (done < frames) {
        if (served_ == kBlockFrames) {
            renderBlock(heardAt + static_cast<double>(done) / sampleRate_);
            served_ = 0;
        }
        const std::size_t count = std::min(frames - done, kBlockFrames - served_);
        std::copy_n(block_.data() + 2 * served_, 2 * count, interleaved + 2 * done);
        if (preReverb != nullptr) {
            std::copy_n(blockBeforeReverb_.data() + 2 * served_, 2 * count, preReverb + 2 * done);
        }
        served_ += count;
        done += count;
    }
}

bool PianoGraph::hasPendingMessages() const {
    // An offered synth counts, so that the output stays awake to take it.
    return offered_.load(std::memory_order_acquire) != nullptr ||
           (piano_ != nullptr && piano_->hasPendingMessages()) ||
           (retiring_ != nullptr && retiring_->hasPendingMessages());
}

void PianoGraph::offer(FluidPiano* piano) {
    offered_.store(piano, std::memory_order_release);
}

FluidPiano* PianoGraph::takeReleased() {
    return released_.exchange(nullptr, std::memory_order_acquire);
}

void PianoGraph::setSentToHeard(double seconds) {
    for (FluidPiano* each : {piano_, retiring_}) {
        if (each != nullptr) {
            each->setStrikeToSound(seconds);
        }
    }
}

bool PianoGraph::isSilent() const {
    // What is left in the current block was computed when nothing sounded either.
    return reverb_.isIdle() && (piano_ == nullptr || piano_->isSilent()) && retiring_ == nullptr &&
           offered_.load(std::memory_order_acquire) == nullptr;
}

void PianoGraph::renderBlock(double heardAt) {
    if (retiring_ == nullptr) {
        if (FluidPiano* next = offered_.exchange(nullptr, std::memory_order_acq_rel)) {
            next->setStrikeToSound(piano_ != nullptr ? piano_->strikeToSound()
                                                     : FluidPiano::kStrikeToSound);
            retiring_ = piano_;
            piano_ = next;
        }
    }
    if (piano_ != nullptr) {
        piano_->renderBlock(left_.data(), right_.data(), heardAt);
    } else {
        left_.fill(0.0f);
        right_.fill(0.0f);
    }
    if (retiring_ != nullptr) {
        retiring_->renderBlock(retiringLeft_.data(), retiringRight_.data(), heardAt);
        for (std::size_t i = 0; i < kBlockFrames; ++i) {
            left_[i] += retiringLeft_[i];
            right_[i] += retiringRight_[i];
        }
        if (retiring_->isSilent()) {
            released_.store(retiring_, std::memory_order_release);
            retiring_ = nullptr;
        }
    }
    tone_.process(left_.data(), right_.data(), kBlockFrames);
    for (std::size_t i = 0; i < kBlockFrames; ++i) {
        blockBeforeReverb_[2 * i] = left_[i];
        blockBeforeReverb_[2 * i + 1] = right_[i];
    }
    reverb_.process(left_.data(), right_.data(), kBlockFrames);
    for (std::size_t i = 0; i < kBlockFrames; ++i) {
        block_[2 * i] = left_[i] * (kMainVolume * kLevelGain);
        block_[2 * i + 1] = right_[i] * (kMainVolume * kLevelGain);
    }
    limiter_.process(block_.data(), kBlockFrames);
    capture_->write(block_.data(), kBlockFrames);
}

} // namespace plinkora::audio
