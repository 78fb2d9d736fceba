#pragma once

#include <array>

namespace plinkora::music {

/// An sRGB colour with components from 0 to 1.
struct Rgb {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const Rgb&) const = default;
};

/// The zone colour palette, stretched over however many zones the screen has.
class NoteZone {
public:
    NoteZone() = delete;

    /// Nine hues from yellow (the lowest zone) to pink (the highest).
    static const std::array<Rgb, 9>& colors();
    /// The colour of a zone; never fails for any pair of integers.
    static Rgb color(int zone, int count);
};

} // namespace plinkora::music
