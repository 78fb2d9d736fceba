#include "overlay/OverlayGeometry.hpp"

#include "app/Logger.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

namespace plinkora::overlay {

int zoneAt(QPointF point, double width, double height, int count,
           music::ZoneOrientation orientation) {
    if (count <= 1) {
        return 0;
    }
    const double fx = width > 0 ? point.x() / width : 0;
    const double fy = height > 0 ? point.y() / height : 0;
    const double f = orientation == music::ZoneOrientation::horizontal ? fx : fy;
    const double k = std::floor(f * count);
    // Clamp before converting: a far-off or non-finite point must not overflow the cast.
    if (!(k > 0)) {
        return 0;
    }
    return static_cast<int>(std::min(k, static_cast<double>(count - 1)));
}

std::vector<double> separatorOffsets(double extent, int count) {
    std::vector<double> offsets;
    for (int i = 1; i < count; ++i) {
        offsets.push_back(std::round(static_cast<double>(i) / count * extent) + 0.5);
    }
    return offsets;
}

QRectF zoneFrame(int zone, int count, double width, double height,
                 music::ZoneOrientation orientation) {
    const int n = std::max(count, 1);
    if (orientation == music::ZoneOrientation::horizontal) {
        return {width / n * zone, 0, width / n, height};
    }
    return {0, height / n * zone, width, height / n};
}

QRectF labelFrame(int zone, int count, double width, double height,
                  music::ZoneOrientation orientation) {
    constexpr double kWidth = 36;
    constexpr double kHeight = 18;
    const int n = std::max(count, 1);
    if (orientation == music::ZoneOrientation::horizontal) {
        const double column = width / n;
        return {column * zone + (column - kWidth) * 0.5, 10, kWidth, kHeight};
    }
    return {10, height / n * zone + 8, kWidth, kHeight};
}

QPointF windowPointUp(const QWidget& widget, QPointF scenePosition) {
    return flipped(scenePosition, widget.window()->height());
}

QPointF screenPointUp(QPointF globalPosition) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    const double top = primary ? primary->geometry().y() + primary->geometry().height() : 0;
    return {globalPosition.x(), top - globalPosition.y()};
}

std::string pointText(QPointF point) {
    return Logger::format("(%.0f, %.0f)", point.x(), point.y());
}

long truncated(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;
    return static_cast<long>(std::clamp(value, -kLimit, kLimit));
}

} // namespace plinkora::overlay
