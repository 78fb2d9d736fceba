#pragma once

#include "music/NoteZone.hpp"

#include <QColor>
#include <QPointF>
#include <QRect>
#include <array>

class QPainter;

namespace plinkora {

/// One strike's glow: a soft ring that grows from radius 6 to 80 over 1.3 s under an
/// ease-out curve, fully opaque for the first 45 % of the eased time and then fading out.
///
/// The halo (stroke 16 in the zone colour blended with white, glowing in the zone colour)
/// and the blurred white core are folded into one radial profile. Each frame the band is
/// worked out from that profile, a quarter of it and mirrored, and blended as one image,
/// however many layers it imitates. Main thread only: the band's pixels are kept for the next
/// ring.
class GlowRing {
public:
    static constexpr double kDuration = 1.3;
    static constexpr double kStartRadius = 6;
    static constexpr double kEndRadius = 80;
    /// How far the soft edges reach either side of the ring's centre line.
    static constexpr int kReach = 32;

    /// `centre` in the painter's (top-left) coordinates; `startTime` on the view's clock.
    /// `strength` scales the ring's size (and, below 1, its brightness): 1 is the plain ring.
    GlowRing(QPointF centre, music::Rgb color, double startTime, double strength = 1.0);

    /// The ease-out curve, the cubic Bézier (0, 0, 0.58, 1), at a fraction of the duration.
    static double eased(double fraction);
    static double radiusAt(double elapsed);
    static double opacityAt(double elapsed);

    QPointF centre() const { return centre_; }
    /// The radius of the band's centre line at `now`, scaled by the strike's strength.
    double radius(double now) const { return radiusAt(now - startTime_) * strength_; }
    double startTime() const { return startTime_; }
    bool isAlive(double now) const { return now - startTime_ < kDuration; }
    /// The pixels the ring may touch at `now`; it only grows, so this covers earlier frames.
    QRect bounds(double now) const;
    void paint(QPainter& painter, double now) const;

private:
    static constexpr int kSamples = 2 * kReach + 1;

    QPointF centre_;
    double startTime_ = 0;
    double strength_ = 1;
    /// The ring's colour across its band, from kReach inside to kReach outside, one sample a
    /// pixel: alpha, red, green and blue, premultiplied, from 0 to 255.
    std::array<std::array<float, 4>, kSamples> profile_{};
};

} // namespace plinkora
