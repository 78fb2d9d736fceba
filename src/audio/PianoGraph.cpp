#include "audio/PianoGraph.hpp"

#include "audio/FluidPiano.hpp"

#include <algorithm>

namespace plinkora::audio {

PianoGraph::PianoGraph(FluidPiano* piano, double sampleRate)
    : piano_(piano)
    , tone_(sampleRate, kToneFrequency, kToneBandwidth, kToneGainDb)
    , reverb_(sampleRate, kReverbWetShare) {}

void PianoGraph::render(float* interleaved, std::size_t frames) {
    render(interleaved, frames, nullptr);
}

void PianoGraph::render(float* interleaved, std::size_t frames, float* preReverb) {
    while (frames > 0) {
        // Small blocks keep the synth's note events close to where they were sent.
        const std::size_t block = std::min(frames, kBlockFrames);
        if (piano_ != nullptr) {
            piano_->renderDry(left_.data(), right_.data(), static_cast<int>(block));
        } else {
            std::fill_n(left_.data(), block, 0.0f);
            std::fill_n(right_.data(), block, 0.0f);
        }
        tone_.process(left_.data(), right_.data(), block);
        if (preReverb != nullptr) {
            for (std::size_t i = 0; i < block; ++i) {
                preReverb[2 * i] = left_[i];
                preReverb[2 * i + 1] = right_[i];
            }
            preReverb += 2 * block;
        }
        reverb_.process(left_.data(), right_.data(), block);
        for (std::size_t i = 0; i < block; ++i) {
            interleaved[2 * i] = left_[i] * kMainVolume;
            interleaved[2 * i + 1] = right_[i] * kMainVolume;
        }
        interleaved += 2 * block;
        frames -= block;
    }
}

} // namespace plinkora::audio
