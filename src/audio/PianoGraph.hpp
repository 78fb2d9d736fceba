#pragma once

#include "audio/AudioCapture.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/HallReverb.hpp"
#include "audio/Limiter.hpp"
#include "audio/ToneFilter.hpp"

#include <array>
#include <atomic>

namespace plinkora::audio {

class FluidPiano;

/// The signal path after the samplers: the synth's dry sum (at unity volume), the tone filter
/// (3400 Hz Butterworth low-pass), the hall reverb (42 % wet), the main volume (0.9) with the
/// level gain that puts a single note near -12 dBFS, and a limiter that keeps a full chord
/// from clipping.
/// It computes whole 64-frame blocks, whatever the output asks for, so that the synth's
/// blocks stay on one grid and note messages land where they are due.
///
/// Made on the main thread before the output starts; `render` runs on the audio thread.
///
/// Another sound comes in as another synth: the main thread offers it, the audio thread takes
/// it at the start of a block and from then on renders both, the old one until it has rung
/// out, and then hands the old one back. Two atomic pointers carry the hand-over each way.
class PianoGraph final : public AudioRenderer {
public:
    static constexpr std::size_t kBlockFrames = 64;
    static constexpr double kToneFrequency = 3400;
    /// Butterworth: no bump near the corner, which a resonant filter would add to the piano.
    static constexpr double kToneQ = 0.70710678118654752;
    static constexpr double kToneGainDb = 0;
    static constexpr double kReverbWetShare = 0.42;
    static constexpr float kMainVolume = 0.9f;
    /// +8.5 dB: the General MIDI piano at velocity 92 otherwise peaks near -21 dBFS.
    static constexpr float kLevelGain = 2.66f;
    /// -1.5 dBFS.
    static constexpr float kCeiling = 0.84f;
    static constexpr double kLimiterRelease = 0.08;

    /// `piano` may be null (no synth could be made): the graph then renders silence.
    PianoGraph(FluidPiano* piano, double sampleRate);

    /// Runs on the audio thread: no allocation, no locks, no waiting.
    void render(float* interleaved, std::size_t frames, double heardAt) override;
    /// As `render`, also copying the signal as it enters the reverb into `preReverb`
    /// (interleaved, same length).
    void render(float* interleaved, std::size_t frames, double heardAt, float* preReverb);
    bool hasPendingMessages() const override;
    bool isSilent() const override;
    void setSentToHeard(double seconds) override;

    const HallReverb& reverb() const { return reverb_; }
    /// Every block the graph renders, as it leaves it.
    const std::shared_ptr<const AudioCapture>& capture() const { return captureView_; }

    /// Main thread: `piano` plays from the next block on, while the one playing now rings out.
    /// Offer the next only once the last hand-over is complete (`takeReleased` gave the old
    /// synth back).
    void offer(FluidPiano* piano);
    /// Main thread: the synth that rang out after an offer, once the audio thread no longer
    /// touches it, then null.
    FluidPiano* takeReleased();

private:
    void renderBlock(double heardAt);

    // The audio thread's, once it renders.
    FluidPiano* piano_;
    FluidPiano* retiring_ = nullptr;
    std::atomic<FluidPiano*> offered_{nullptr};
    std::atomic<FluidPiano*> released_{nullptr};
    double sampleRate_;
    ToneFilter tone_;
    HallReverb reverb_;
    Limiter limiter_;
    std::array<float, kBlockFrames> left_{};
    std::array<float, kBlockFrames> right_{};
    std::array<float, kBlockFrames> retiringLeft_{};
    std::array<float, kBlockFrames> retiringRight_{};
    // The current block, interleaved, after the whole graph and as it entered the reverb;
    // `served_` frames of it have been handed out.
    std::array<float, 2 * kBlockFrames> block_{};
    std::array<float, 2 * kBlockFrames> blockBeforeReverb_{};
    std::size_t served_ = kBlockFrames;
    std::shared_ptr<AudioCapture> capture_ = std::make_shared<AudioCapture>();
    std::shared_ptr<const AudioCapture> captureView_ = capture_;
};

} // namespace plinkora::audio
