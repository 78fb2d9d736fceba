#include "overlay/OverlayView.hpp"

#include "overlay/OverlayAccessible.hpp"
#include "overlay/OverlayGeometry.hpp"

#include <QApplication>
#include <QBitmap>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <vector>

namespace plinkora {

namespace {

QColor toQColor(const music::Rgb& color, double alpha) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue),
                            static_cast<float>(color.alpha * alpha));
}

void drawSeparator(QPainter& painter, QLineF line) {
    // A soft white glow under a faint one-point line.
    QColor glow(255, 255, 255);
    for (const auto& [width, alpha] : {std::pair{5.0, 0.10}, std::pair{3.0, 0.18}}) {
        glow.setAlphaF(static_cast<float>(alpha));
        painter.setPen(QPen(glow, width, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(line);
    }
    painter.setPen(QPen(QColor(255, 255, 255, 89), 1, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(line);
}

/// Where `image` has any pixel that is not fully transparent, in its logical coordinates, as
/// runs of tiles a few pixels square: a superset of what drawing the image changes.
QRegion inkRegion(const QImage& image) {
    constexpr int kTile = 8;
    const auto inked = [&image](int left, int top) {
        for (int y = top; y < std::min(top + kTile, image.height()); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = left; x < std::min(left + kTile, image.width()); ++x) {
                if (qAlpha(row[x]) != 0) {
                    return true;
                }
            }
        }
        return false;
    };
    const double scale = image.devicePixelRatio();
    QRegion ink;
    for (int top = 0; top < image.height(); top += kTile) {
        for (int left = 0; left < image.width(); left += kTile) {
            if (!inked(left, top)) {
                continue;
            }
            int right = left + kTile;
            while (right < image.width() && inked(right, top)) {
                right += kTile;
            }
            const QRectF tiles(left, top, std::min(right, image.width()) - left,
                               std::min(kTile, image.height() - top));
            ink += QRectF(tiles.topLeft() / scale, tiles.size() / scale).toAlignedRect();
            left = right;
        }
    }
    return ink;
}

/// A ring's band between two radii, in rows of `rowHeight` device pixels on one grid for all
/// rings. Each row follows the band at its middle. Without a compositor this region is the
/// window's shape, which the X server recomputes on every frame, and its work grows with
/// the square of the rectangles: exact one-pixel rows, misaligned between overlapping rings,
/// made it thousands, kept the server busy and held back every press behind it.
QRegion ringBand(QPointF centre, double outer, double inner, int rowHeight) {
    // Row by row, left to right: already the banded order a region keeps.
    const int x = static_cast<int>(std::lround(centre.x()));
    const int top = static_cast<int>(std::floor((centre.y() - outer) / rowHeight)) * rowHeight;
    std::vector<QRect> rows;
    // Two pieces a row at most: one allocation a ring and frame.
    rows.reserve(2 * static_cast<std::size_t>((centre.y() + outer - top) / rowHeight + 1));
    for (int y = top; y < centre.y() + outer; y += rowHeight) {
        const double dy = std::abs(y + rowHeight / 2.0 - centre.y());
        const int reach =
            dy < outer ? static_cast<int>(std::lround(std::sqrt(outer * outer - dy * dy))) : 0;
        if (reach == 0) {
            continue;
        }
        const int hole =
            dy < inner ? static_cast<int>(std::lround(std::sqrt(inner * inner - dy * dy))) : 0;
        if (hole == 0) {
            rows.emplace_back(x - reach, y, 2 * reach, rowHeight);
        } else if (reach > hole) {
            rows.emplace_back(x - reach, y, reach - hole, rowHeight);
            rows.emplace_back(x + hole, y, reach - hole, rowHeight);
        }
    }
    QRegion band;
    band.setRects(rows.data(), static_cast<int>(rows.size()));
    return band;
}

} // namespace

OverlayView::OverlayView(Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , scheduler_(scheduler)
    , touchRecognizer_(this) {
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    OverlayAccessible::install();
    touchRecognizer_.setHandler(
        [this](const DirectTouchRecognizer::Touches& touches, TouchPhase phase,
               const QTouchEvent& event) { handleTouches(touches, phase, event); });
}

OverlayView::~OverlayView() = default;

void OverlayView::setOrientation(music::ZoneOrientation orientation) {
    orientation_ = orientation;
    rebuildGuides();
}

void OverlayView::setShowsGuides(bool showsGuides) {
    showsGuides_ = showsGuides;
    rebuildGuides();
}

void OverlayView::setScale(const music::Scale& scale) {
    if (scale == scale_) {
        return;
    }
    scale_ = scale;
    rebuildGuides();
    // Zones came, went or were renamed.
    QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reordered);
}

int OverlayView::zone(QPointF point) const {
    return overlay::zoneAt(point, width(), height(), scale_.degrees, orientation_);
}

bool OverlayView::isInWindow() const {
    return window()->windowHandle() != nullptr;
}

double OverlayView::backingScale() const {
    const QWindow* handle = window()->windowHandle();
    return handle != nullptr ? handle->devicePixelRatio() : 2.0;
}

QPointF OverlayView::up(QPointF topLeft) const {
    return overlay::flipped(topLeft, height());
}

void OverlayView::rebuildGuides() {
    guides_ = QImage();
    guidesRegion_.reset();
    const double w = width();
    const double h = height();
    update();
    if (!showsGuides_ || w <= 0 || h <= 0) {
        if (onPaintedChange_) {
            onPaintedChange_();
        }
        return;
    }
    const double s = backingScale();
    QImage image(QSize(static_cast<int>(std::ceil(w * s)), static_cast<int>(std::ceil(h * s))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(s);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int n = scale_.degrees;
    const bool horizontal = orientation_ == music::ZoneOrientation::horizontal;
    for (double offset : overlay::separatorOffsets(horizontal ? w : h, n)) {
        drawSeparator(painter, horizontal ? QLineF(offset, 0, offset, h)
                                          : QLineF(0, h - offset, w, h - offset));
    }
    QFont font = QApplication::font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    painter.setFont(font);
    const std::vector<std::string> names = scale_.names();
    const Qt::Alignment alignment = Qt::AlignTop | (horizontal ? Qt::AlignHCenter : Qt::AlignLeft);
    for (int i = 0; i < n && i < static_cast<int>(names.size()); ++i) {
        painter.setPen(toQColor(music::NoteZone::color(i, n), 0.8));
        const QRectF frame = overlay::flipped(overlay::labelFrame(i, n, w, h, orientation_), h);
        painter.drawText(frame, static_cast<int>(alignment),
                         QString::fromStdString(names[static_cast<std::size_t>(i)]));
    }
    painter.end();
    guidesInk_ = inkRegion(image);
    guides_ = std::move(image);
    if (onPaintedChange_) {
        onPaintedChange_();
    }
}

QRegion OverlayView::paintedRegion() const {
    if (!guidesRegion_) {
        // Half-covered edge pixels are left out: shown unblended they would be dark.
        guidesRegion_ =
            guides_.isNull()
                ? QRegion()
                : QRegion(QBitmap::fromImage(guides_.createAlphaMask(Qt::ThresholdAlphaDither)));
    }
    QRegion region = *guidesRegion_;
    // The ring's bright middle; its soft edges would show as a dark band.
    constexpr double kHalfWidth = 8;
    const double s = backingScale();
    const double now = scheduler_.now();
    // Coarse enough to keep the shape's rectangles few, fine enough that its steps stay small.
    const int rowHeight = std::max(1, static_cast<int>(std::lround(4 * s)));
    for (const GlowRing& ring : glows_) {
        if (ring.isAlive(now)) {
            const double radius = ring.radius(now);
            region += ringBand(ring.centre() * s, (radius + kHalfWidth) * s,
                               std::max(0.0, radius - kHalfWidth) * s, rowHeight);
        }
    }
    return region;
}

void OverlayView::showGlow(QPointF point, music::Rgb color, std::uint8_t velocity) {
    const double now = scheduler_.now();
    // Velocity 92 is the plain ring; the softest and loudest strikes reach 30 % either side.
    const double strength = velocity >= music::kFixedVelocity
                                ? 1 + 0.3 * (velocity - music::kFixedVelocity) /
                                          double(music::kLoudestVelocity - music::kFixedVelocity)
                                : 1 - 0.3 * (music::kFixedVelocity - velocity) /
                                          double(music::kFixedVelocity - music::kSoftestVelocity);
    glows_.emplace_back(overlay::flipped(point, height()), color, now,
                        std::clamp(strength, 0.7, 1.3));
    update(glows_.back().bounds(now));
    if (onPaintedChange_) {
        onPaintedChange_();
    }
    if (!frameTicks_.isPending()) {
        const QScreen* display = screen();
        const double rate = display != nullptr ? display->refreshRate() : 60.0;
        const double interval = 1.0 / std::clamp(rate > 0 ? rate : 60.0, 24.0, 240.0);
        frameTicks_ =
            ScheduledTask(scheduler_, scheduler_.every(interval, [this] { tickGlows(); }));
    }
}

void OverlayView::tickGlows() {
    const double now = scheduler_.now();
    for (auto ring = glows_.begin(); ring != glows_.end();) {
        if (ring->isAlive(now)) {
            update(ring->bounds(now));
            ++ring;
        } else {
            // Its last frame is cleared; the ring is gone from then on.
            update(ring->bounds(ring->startTime() + GlowRing::kDuration));
            ring = glows_.erase(ring);
        }
    }
    if (glows_.empty()) {
        frameTicks_.cancel();
    }
    if (onPaintedChange_) {
        onPaintedChange_();
    }
}

bool OverlayView::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        handleTouchEvent(*static_cast<QTouchEvent*>(event));
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        // The note a press or a drag strikes goes out first; the line saying the event was
        // declined for touch follows it.
        const bool declines = static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton ||
                              event->type() != QEvent::MouseMove;
        const bool handled = QWidget::event(event);
        if (declines) {
            shouldAttemptToRecognize(*event);
        }
        return handled;
    }
    case QEvent::ScreenChangeInternal:
        // The new screen may have another pixel density.
        rebuildGuides();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void OverlayView::paintEvent(QPaintEvent* event) {
    if (!guides_.isNull() && !qFuzzyCompare(guides_.devicePixelRatio(), backingScale())) {
        rebuildGuides();
    }
    QPainter painter(this);
    if (!guides_.isNull()) {
        // The repainted parts were cleared already: the guides' empty pixels need no blending.
        painter.setClipRegion(guidesInk_);
        painter.drawImage(QPointF(0, 0), guides_);
        painter.setClipping(false);
    }
    const double now = scheduler_.now();
    const QRect area = event->rect();
    for (const GlowRing& ring : glows_) {
        if (ring.isAlive(now) && ring.bounds(now).intersects(area)) {
            ring.paint(painter, now);
        }
    }
}

void OverlayView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuildGuides();
}

} // namespace plinkora
