#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plinkora::testing {

/// The left channel of interleaved stereo samples.
std::vector<float> leftChannel(const std::vector<float>& interleaved);
/// The largest magnitude in dBFS (-inf for silence).
double peakDb(const float* samples, std::size_t count);
double peakDb(const std::vector<float>& samples);
double rms(const std::vector<float>& samples);
/// The fundamental of a periodic signal in Hz, by normalised autocorrelation between 50 and
/// 2000 Hz, refined between lags by a parabola.
double fundamental(const std::vector<float>& mono, double sampleRate);

/// The first channel of a sound file (WAV, FLAC…); empty where it cannot be read.
std::vector<float> readFirstChannel(const std::string& path);

} // namespace plinkora::testing
