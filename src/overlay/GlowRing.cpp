#include "overlay/GlowRing.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace plinkora {

namespace {

struct Premultiplied {
    double r = 0, g = 0, b = 0, a = 0;
};

Premultiplied over(const Premultiplied& top, const Premultiplied& bottom) {
    const double keep = 1 - top.a;
    return {top.r + bottom.r * keep, top.g + bottom.g * keep, top.b + bottom.b * keep,
            top.a + bottom.a * keep};
}

Premultiplied tinted(const music::Rgb& color, double alpha) {
    const double a = std::clamp(alpha * color.alpha, 0.0, 1.0);
    return {color.red * a, color.green * a, color.blue * a, a};
}

double normalCdf(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

/// A band of half-width `half` about the centre line, blurred with a Gaussian of `sigma`.
double blurredBand(double u, double half, double sigma) {
    return normalCdf((u + half) / sigma) - normalCdf((u - half) / sigma);
}

/// A band of half-width `half` with a one-pixel antialiased edge.
double sharpBand(double u, double half) {
    return std::clamp(half + 0.5 - std::abs(u), 0.0, 1.0);
}

// Shadow and blur radii are read as two standard deviations, the way compositors size them.
constexpr double kHaloHalfWidth = 8;
constexpr double kHaloGlowSigma = 8;
constexpr double kCoreHalfWidth = 3.6;
constexpr double kCoreAlpha = 0.75;
constexpr double kCoreBlurSigma = 2.5;
constexpr double kCoreGlowOpacity = 0.6;
constexpr double kBlendWithWhite = 0.22;
constexpr double kOpaqueUntil = 0.45;

} // namespace

GlowRing::GlowRing(QPointF centre, music::Rgb color, double startTime, double strength)
    : centre_(centre)
    , startTime_(startTime)
    , strength_(strength) {
    const music::Rgb white{1, 1, 1, 1};
    const music::Rgb ring{color.red + (1 - color.red) * kBlendWithWhite,
                          color.green + (1 - color.green) * kBlendWithWhite,
                          color.blue + (1 - color.blue) * kBlendWithWhite, color.alpha};
    const double coreGlowSigma = std::hypot(kCoreBlurSigma, 3.0);
    for (int i = 0; i < kSamples; ++i) {
        const double u = i - kReach;
        const Premultiplied halo =
            over(tinted(ring, sharpBand(u, kHaloHalfWidth)),
                 tinted(color, blurredBand(u, kHaloHalfWidth, kHaloGlowSigma)));
        const double core = kCoreAlpha * blurredBand(u, kCoreHalfWidth, kCoreBlurSigma);
        const double coreGlow =
            kCoreGlowOpacity * kCoreAlpha * blurredBand(u, kCoreHalfWidth, coreGlowSigma);
        const Premultiplied total = over(over(tinted(white, core), tinted(white, coreGlow)), halo);
        if (total.a <= 0) {
            profile_[static_cast<std::size_t>(i)] = QColor(0, 0, 0, 0);
        } else {
            profile_[static_cast<std::size_t>(i)] =
                QColor::fromRgbF(static_cast<float>(std::min(total.r / total.a, 1.0)),
                                 static_cast<float>(std::min(total.g / total.a, 1.0)),
                                 static_cast<float>(std::min(total.b / total.a, 1.0)),
                                 static_cast<float>(std::min(total.a, 1.0)));
        }
    }
}

double GlowRing::eased(double fraction) {
    if (fraction <= 0) {
        return 0;
    }
    if (fraction >= 1) {
        return 1;
    }
    // x(s) = 3·0.58·(1 − s)s² + s³ rises monotonically, so bisection finds s for x exactly
    // enough in a fixed number of steps.
    constexpr double kX2 = 0.58;
    double low = 0;
    double high = 1;
    double s = fraction;
    for (int step = 0; step < 40; ++step) {
        s = (low + high) / 2;
        const double x = 3 * kX2 * (1 - s) * s * s + s * s * s;
        (x < fraction ? low : high) = s;
    }
    return 3 * (1 - s) * s * s + s * s * s;
}

double GlowRing::radiusAt(double elapsed) {
    return kStartRadius + (kEndRadius - kStartRadius) * eased(elapsed / kDuration);
}

double GlowRing::opacityAt(double elapsed) {
    const double e = eased(elapsed / kDuration);
    if (e <= kOpaqueUntil) {
        return elapsed < kDuration ? 1.0 : 0.0;
    }
    return std::max(0.0, 1.0 - (e - kOpaqueUntil) / (1.0 - kOpaqueUntil));
}

QRect GlowRing::bounds(double now) const {
    const double outer = radiusAt(now - startTime_) * strength_ + kReach + 1;
    return QRectF(centre_.x() - outer, centre_.y() - outer, 2 * outer, 2 * outer).toAlignedRect();
}

void GlowRing::paint(QPainter& painter, double now) const {
    const double elapsed = now - startTime_;
    const double opacity = opacityAt(elapsed) * std::min(1.0, strength_);
    if (!isAlive(now) || opacity <= 0) {
        return;
    }
    const double radius = radiusAt(elapsed) * strength_;
    const double outer = radius + kReach;
    QRadialGradient gradient(centre_, outer);
    for (int i = 0; i < kSamples; ++i) {
        const double distance = radius + (i - kReach);
        if (distance >= 0) {
            gradient.setColorAt(distance / outer, profile_[static_cast<std::size_t>(i)]);
        }
    }
    QPainterPath band;
    band.addEllipse(centre_, outer, outer);
    const double inner = radius - kReach;
    if (inner > 0) {
        band.addEllipse(centre_, inner, inner);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setOpacity(opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawPath(band);
    painter.restore();
}

} // namespace plinkora
