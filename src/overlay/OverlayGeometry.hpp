#pragma once

#include "music/ZoneOrientation.hpp"

#include <QPointF>
#include <QRectF>
#include <string>
#include <vector>

class QWidget;

namespace plinkora::overlay {

// The overlay measures in points with the origin at the bottom-left corner and y growing
// upwards; Qt measures from the top-left. These helpers are the one place the two meet.

/// The zone under a point of a W × H area split into `count` zones; clamps to the end zones
/// and answers zone 0 along an axis of zero length.
int zoneAt(QPointF point, double width, double height, int count,
           music::ZoneOrientation orientation);

/// The centre line of each inner boundary along an extent of `extent` points, i = 1 … n − 1,
/// on the middle of a whole pixel so that a one-point line stays crisp.
std::vector<double> separatorOffsets(double extent, int count);

/// A whole zone of a W × H area split into `count` zones, in bottom-left coordinates: a band
/// climbing from the bottom edge, or a column running from the left one.
QRectF zoneFrame(int zone, int count, double width, double height,
                 music::ZoneOrientation orientation);

/// The frame of a zone's note name, in bottom-left coordinates.
QRectF labelFrame(int zone, int count, double width, double height,
                  music::ZoneOrientation orientation);

/// Converts between top-left and bottom-left coordinates of an area `height` tall (the same
/// flip both ways).
inline QPointF flipped(QPointF point, double height) {
    return {point.x(), height - point.y()};
}
inline QRectF flipped(const QRectF& rect, double height) {
    return {rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height()};
}

/// A position in `widget`'s top-level window (Qt's scene position) in the window's own
/// bottom-left coordinates.
QPointF windowPointUp(const QWidget& widget, QPointF scenePosition);
/// A global position in screen coordinates with the origin at the bottom-left corner of the
/// primary screen, y growing upwards.
QPointF screenPointUp(QPointF globalPosition);

/// "(x, y)" with whole numbers, as the touch diagnostic writes points.
std::string pointText(QPointF point);
/// A coordinate as a log line's whole number: truncated toward zero, 0 when not finite.
long truncated(double value);

} // namespace plinkora::overlay
