#include "overlay/GlowRing.hpp"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        if (total.a > 0) {
            const double alpha = std::min(total.a, 1.0);
            const auto channel = [&](double premultiplied) {
                return static_cast<float>(std::min(premultiplied / total.a, 1.0) * alpha * 255);
            };
            profile_[static_cast<std::size_t>(i)] = {static_cast<float>(alpha * 255),
                                                     channel(total.r), channel(total.g),
                                                     channel(total.b)};
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
    const double outer = radius(now) + kReach + 1;
    return QRectF(centre_.x() - outer, centre_.y() - outer, 2 * outer, 2 * outer).toAlignedRect();
}

void GlowRing::paint(QPainter& painter, double now) const {
    const double elapsed = now - startTime_;
    const double opacity = opacityAt(elapsed) * std::min(1.0, strength_);
    if (!isAlive(now) || opacity <= 0) {
        return;
    }
    const double radius = this->radius(now);
    const double scale = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;

    // The band's colours by distance from the centre line, in steps of 1/kSteps of a pixel,
    // premultiplied and faded: one table look-up per pixel instead of a gradient's arithmetic.
    constexpr int kSteps = 16;
    constexpr int kEntries = 2 * kReach * kSteps + 1;
    // One entry more, left blank, for whatever falls outside the band.
    std::array<quint32, kEntries + 1> colours{};
    const auto fade = static_cast<float>(opacity);
    for (int k = 0; k < kEntries; ++k) {
        const auto& a = profile_[static_cast<std::size_t>(k / kSteps)];
        const auto& b = profile_[static_cast<std::size_t>(std::min(k / kSteps + 1, kSamples - 1))];
        const float t = static_cast<float>(k % kSteps) / kSteps;
        const auto byte = [&](int c) {
            // Never negative, so adding a half and truncating rounds, without a library call.
            // NOLINTNEXTLINE(bugprone-incorrect-roundings)
            return static_cast<quint32>(((1 - t) * a[c] + t * b[c]) * fade + 0.5f);
        };
        colours[static_cast<std::size_t>(k)] =
            byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    }

    // The ring is drawn about the device pixel nearest its centre, so that each quarter is a
    // mirror of the others and a row's colours are worked out once for all four. Half a device
    // pixel off is not to be seen.
    const int cx = static_cast<int>(std::floor(centre_.x() * scale));
    const int cy = static_cast<int>(std::floor(centre_.y() * scale));
    const double outer = (radius + kReach) * scale;
    const double inner = std::max(0.0, radius - kReach) * scale;
    const int reach = static_cast<int>(std::ceil(outer));
    const int side = 2 * reach + 1;
    // Reused from ring to ring and frame to frame: the painter has read it before the next.
    static thread_local std::vector<quint32> pixels;
    pixels.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0);
    const auto stepsPerDevicePixel = static_cast<float>(kSteps / scale);
    const auto firstStep = static_cast<float>((kReach - radius) * kSteps + 0.5);
    // Where each row's band begins and ends, right of the centre.
    static thread_local std::vector<int> froms;
    static thread_local std::vector<int> tos;
    froms.assign(static_cast<std::size_t>(reach) + 1, 0);
    tos.assign(static_cast<std::size_t>(reach) + 1, -1);
    for (int j = 0; j <= reach; ++j) {
        const double jj = double(j) * j;
        if (jj > outer * outer) {
            break;
        }
        const int from = inner * inner > jj ? static_cast<int>(std::sqrt(inner * inner - jj)) : 0;
        const int to = std::min(reach, static_cast<int>(std::ceil(std::sqrt(outer * outer - jj))));
        froms[static_cast<std::size_t>(j)] = from;
        tos[static_cast<std::size_t>(j)] = to;
        quint32* below = pixels.data() + static_cast<std::size_t>(reach + j) * side + reach;
        quint32* above = pixels.data() + static_cast<std::size_t>(reach - j) * side + reach;
        const auto rowSquared = static_cast<float>(jj);
        const auto colourAt = [&](int i) {
            const float step =
                std::sqrt(float(i) * float(i) + rowSquared) * stepsPerDevicePixel + firstStep;
            return step >= 0 && step < kEntries ? colours[static_cast<std::size_t>(step)] : 0u;
        };
        int i = from;
#if defined(__SSE2__)
        // Four pixels at a time; the look-ups stay one by one.
        const __m128 row = _mm_set1_ps(rowSquared);
        const __m128 perPixel = _mm_set1_ps(stepsPerDevicePixel);
        const __m128 offset = _mm_set1_ps(firstStep);
        for (; i + 3 <= to; i += 4) {
            const __m128 x = _mm_add_ps(_mm_set1_ps(float(i)), _mm_set_ps(3, 2, 1, 0));
            const __m128 step = _mm_add_ps(
                _mm_mul_ps(_mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(x, x), row)), perPixel), offset);
            // Outside the table (and below zero, which truncation would hide) reads the blank
            // entry at its end.
            const __m128i outside = _mm_castps_si128(_mm_or_ps(
                _mm_cmplt_ps(step, _mm_setzero_ps()), _mm_cmpge_ps(step, _mm_set1_ps(kEntries))));
            alignas(16) std::int32_t entries[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(entries),
                            _mm_or_si128(_mm_andnot_si128(outside, _mm_cvttps_epi32(step)),
                                         _mm_and_si128(outside, _mm_set1_epi32(kEntries))));
            const __m128i four =
                _mm_set_epi32(static_cast<int>(colours[static_cast<std::size_t>(entries[3])]),
                              static_cast<int>(colours[static_cast<std::size_t>(entries[2])]),
                              static_cast<int>(colours[static_cast<std::size_t>(entries[1])]),
                              static_cast<int>(colours[static_cast<std::size_t>(entries[0])]));
            const __m128i mirrored = _mm_shuffle_epi32(four, _MM_SHUFFLE(0, 1, 2, 3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(below + i), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(above + i), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(below - i - 3), mirrored);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(above - i - 3), mirrored);
        }
#endif
        for (; i <= to; ++i) {
            below[i] = below[-i] = above[i] = above[-i] = colourAt(i);
        }
    }
    QImage sprite(reinterpret_cast<const uchar*>(pixels.data()), side, side,
                  qsizetype{side} * qsizetype{sizeof(quint32)},
                  QImage::Format_ARGB32_Premultiplied);
    sprite.setDevicePixelRatio(scale);
    // Drawn in strips that leave out the corners and the hole, where there is nothing to blend.
    const int strip = static_cast<int>(24 * scale);
    const auto draw = [&](int x, int y, int width, int height) {
        painter.drawImage(QRectF((cx - reach + x) / scale, (cy - reach + y) / scale, width / scale,
                                 height / scale),
                          sprite, QRectF(x, y, width, height));
    };
    for (int first = 0; first <= reach; first += strip) {
        const int last = std::min(reach, first + strip - 1);
        const int to = tos[static_cast<std::size_t>(first)];
        if (to < 0) {
            break;
        }
        const int hole = froms[static_cast<std::size_t>(last)];
        for (const int sign : {1, -1}) {
            // Row 0 is drawn once, with the lower half.
            const int top = sign > 0 ? reach + first : reach - last;
            const int height = sign > 0 ? last - first + 1 : last - std::max(first, 1) + 1;
            if (height <= 0) {
                continue;
            }
            if (hole > 0) {
                draw(reach - to, top, to - hole + 1, height);
                draw(reach + hole, top, to - hole + 1, height);
            } else {
                draw(reach - to, top, 2 * to + 1, height);
            }
        }
    }
}

} // namespace plinkora
