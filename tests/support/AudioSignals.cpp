#include "AudioSignals.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sndfile.h>

namespace plinkora::testing {

std::vector<float> leftChannel(const std::vector<float>& interleaved) {
    std::vector<float> left(interleaved.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = interleaved[2 * i];
    }
    return left;
}

double peakDb(const float* samples, std::size_t count) {
    float peak = 0;
    for (std::size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak > 0 ? 20 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}

double peakDb(const std::vector<float>& samples) {
    return peakDb(samples.data(), samples.size());
}

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float sample : samples) {
        sum += static_cast<double>(sample) * sample;
    }
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

double fundamental(const std::vector<float>& mono, double sampleRate) {
    const auto minLag = static_cast<std::size_t>(sampleRate / 2000);
    const auto maxLag = static_cast<std::size_t>(sampleRate / 50);
    if (mono.size() < 2 * maxLag) {
        return 0;
    }
    const std::size_t window = mono.size() - maxLag - 1;
    std::vector<double> correlation(maxLag + 2, 0.0);
    double energy = 0;
    for (std::size_t i = 0; i < window; ++i) {
        energy += static_cast<double>(mono[i]) * mono[i];
    }
    if (energy == 0) {
        return 0;
    }
    for (std::size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        for (std::size_t i = 0; i < window; ++i) {
            sum += static_cast<double>(mono[i]) * mono[i + lag];
        }
        correlation[lag] = sum / energy;
    }
    const double best = *std::max_element(correlation.begin() + static_cast<long>(minLag),
                                          correlation.begin() + static_cast<long>(maxLag));
    // The first peak that comes close to the best one is the period (later ones are multiples).
    for (std::size_t lag = minLag + 1; lag < maxLag; ++lag) {
        if (correlation[lag] >= 0.9 * best && correlation[lag] >= correlation[lag - 1] &&
            correlation[lag] >= correlation[lag + 1]) {
            const double a = correlation[lag - 1];
            const double b = correlation[lag];
            const double c = correlation[lag + 1];
            const double denominator = a - 2 * b + c;
            const double shift = denominator != 0 ? 0.5 * (a - c) / denominator : 0;
            return sampleRate / (static_cast<double>(lag) + shift);
        }
    }
    return 0;
}

std::vector<float> readFirstChannel(const std::string& path) {
    SF_INFO format{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
    if (file == nullptr) {
        return {};
    }
    std::vector<float> frames(static_cast<std::size_t>(format.frames * format.channels));
    sf_readf_float(file, frames.data(), format.frames);
    sf_close(file);
    std::vector<float> first(static_cast<std::size_t>(format.frames));
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = frames[i * static_cast<std::size_t>(format.channels)];
    }
    return first;
}

} // namespace plinkora::testing
