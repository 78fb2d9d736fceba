// The tone filter and the hall reverb, measured on signals they render.
#include "AudioTestSupport.hpp"
#include "audio/HallReverb.hpp"
#include "audio/PianoGraph.hpp"
#include "audio/ToneFilter.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace plinkora::testing {
namespace {

using audio::HallReverb;
using audio::PianoGraph;
using audio::ToneFilter;

constexpr double kRate = 48000;
constexpr std::size_t kBlock = PianoGraph::kBlockFrames;

/// Runs a stereo signal through `process` in the graph's block size.
template <typename Unit>
void processInBlocks(Unit& unit, std::vector<float>& left, std::vector<float>& right) {
    for (std::size_t at = 0; at < left.size(); at += kBlock) {
        const std::size_t frames = std::min(kBlock, left.size() - at);
        unit.process(left.data() + at, right.data() + at, frames);
    }
}

double toneGainDb(double frequency) {
    ToneFilter tone(kRate, PianoGraph::kToneFrequency, PianoGraph::kToneQ, PianoGraph::kToneGainDb);
    std::vector<float> left(static_cast<std::size_t>(kRate));
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
    }
    const std::vector<float> input(left.begin() + 24000, left.end());
    std::vector<float> right = left;
    processInBlocks(tone, left, right);
    const std::vector<float> output(left.begin() + 24000, left.end());
    return 20 * std::log10(rms(output) / rms(input));
}

TEST(ToneFilterTest, IsAButterworthLowPassAtItsCorner) {
    // Never louder than what goes in, anywhere: no bump below the corner.
    for (double frequency = 100; frequency < 20000; frequency *= 1.12) {
        EXPECT_LE(toneGainDb(frequency), 0.02) << frequency;
    }
    EXPECT_NEAR(toneGainDb(200), 0.0, 0.1);
    EXPECT_NEAR(toneGainDb(3400), -3.0, 0.2);
    EXPECT_LE(toneGainDb(10000), -15.0);
}

/// The level, in dB, of the energy still to come after each sample (Schroeder's integral).
std::vector<double> energyDecay(const std::vector<float>& response) {
    std::vector<double> remaining(response.size());
    double sum = 0;
    for (std::size_t i = response.size(); i-- > 0;) {
        sum += static_cast<double>(response[i]) * response[i];
        remaining[i] = sum;
    }
    std::vector<double> db(response.size());
    for (std::size_t i = 0; i < response.size(); ++i) {
        db[i] = 10 * std::log10(remaining[i] / remaining[0] + 1e-30);
    }
    return db;
}

double secondsToFallTo(const std::vector<double>& decay, double db) {
    for (std::size_t i = 0; i < decay.size(); ++i) {
        if (decay[i] <= db) {
            return static_cast<double>(i) / kRate;
        }
    }
    return std::numeric_limits<double>::infinity();
}

TEST(HallReverbTest, TheHallDecaysBySixtyDecibelsInTwoToFourSeconds) {
    HallReverb hall(kRate, 1.0);
    std::vector<float> left(static_cast<std::size_t>(8 * kRate), 0.0f);
    std::vector<float> right(left.size(), 0.0f);
    left[0] = right[0] = 1.0f;
    processInBlocks(hall, left, right);
    for (const auto* channel : {&left, &right}) {
        const std::vector<double> decay = energyDecay(*channel);
        // The reverberation time from the -5 to -35 dB stretch, as room acoustics measure it
        // (the tail below that is cut off once it falls under -90 dBFS).
        const double rt60 = 2 * (secondsToFallTo(decay, -35) - secondsToFallTo(decay, -5));
        EXPECT_GE(rt60, 2.0);
        EXPECT_LE(rt60, 4.0);
    }
    // The two sides are not copies of each other.
    double difference = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        difference += std::fabs(left[i] - right[i]);
    }
    EXPECT_GT(difference, 1.0);
}

bool hasSubnormal(const std::vector<float>& samples) {
    for (float sample : samples) {
        if (std::fpclassify(sample) == FP_SUBNORMAL) {
            return true;
        }
    }
    return false;
}

TEST(HallReverbTest, ALongSilentTailEndsInTrueSilenceAndTheHallWakesAgain) {
    // Through the graph's own chain, without a synth, with no flush-to-zero help from the CPU.
    ToneFilter tone(kRate, PianoGraph::kToneFrequency, PianoGraph::kToneQ, PianoGraph::kToneGainDb);
    HallReverb hall(kRate, PianoGraph::kReverbWetShare);
    std::vector<float> left(static_cast<std::size_t>(40 * kRate), 0.0f);
    std::vector<float> right(left.size(), 0.0f);
    left[0] = right[0] = 1.0f;
    processInBlocks(tone, left, right);
    EXPECT_FALSE(hasSubnormal(left));
    processInBlocks(hall, left, right);
    EXPECT_FALSE(hasSubnormal(left));
    EXPECT_FALSE(hasSubnormal(right));
    EXPECT_TRUE(hall.isIdle()) << "the hall stops computing once its tail is inaudible";
    const std::vector<float> lastSeconds(left.end() - static_cast<long>(20 * kRate), left.end());
    EXPECT_EQ(peakDb(lastSeconds), -std::numeric_limits<double>::infinity());

    std::vector<float> again(static_cast<std::size_t>(kRate), 0.0f);
    std::vector<float> againRight(again.size(), 0.0f);
    again[0] = againRight[0] = 1.0f;
    processInBlocks(hall, again, againRight);
    EXPECT_FALSE(hall.isIdle());
    const std::vector<float> tail(again.begin() + 4800, again.end());
    EXPECT_GT(peakDb(tail), -60.0) << "a new sound after the pause must ring again";
}

} // namespace
} // namespace plinkora::testing
