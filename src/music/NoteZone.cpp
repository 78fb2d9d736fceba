#include "music/NoteZone.hpp"

#include <algorithm>
#include <cmath>

namespace plinkora::music {

const std::array<Rgb, 9>& NoteZone::colors() {
    static const std::array<Rgb, 9> kColors{{
        {1.00, 0.84, 0.25, 1.0}, // yellow
        {1.00, 0.58, 0.20, 1.0}, // orange
        {1.00, 0.36, 0.36, 1.0}, // coral red
        {0.38, 0.86, 0.42, 1.0}, // green
        {0.20, 0.80, 0.78, 1.0}, // teal
        {0.33, 0.62, 1.00, 1.0}, // blue
        {0.45, 0.42, 0.98, 1.0}, // indigo
        {0.72, 0.42, 0.98, 1.0}, // violet
        {0.98, 0.45, 0.80, 1.0}, // pink
    }};
    return kColors;
}

Rgb NoteZone::color(int zone, int count) {
    const auto& palette = colors();
    if (count < 2) {
        return palette[0];
    }
    const int last = count - 1;
    const int index = std::clamp(zone, 0, last);
    // Divide first, then scale: the order keeps the exact palette points exact.
    const double t = (static_cast<double>(index) / last) * static_cast<double>(palette.size() - 1);
    const auto k = static_cast<std::size_t>(std::floor(t));
    const double f = t - static_cast<double>(k);
    const std::size_t upper = std::min<std::size_t>(palette.size() - 1, k + 1);
    if (f > 0.001 && upper != k) {
        const Rgb& a = palette[k];
        const Rgb& b = palette[upper];
        return {(1 - f) * a.red + f * b.red, (1 - f) * a.green + f * b.green,
                (1 - f) * a.blue + f * b.blue, (1 - f) * a.alpha + f * b.alpha};
    }
    return palette[k];
}

} // namespace plinkora::music
