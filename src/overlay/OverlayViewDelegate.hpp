#pragma once

#include "app/StrikeSource.hpp"

#include <QPointF>

namespace plinkora {

/// Receives every strike of the overlay view, synchronously, on the main thread.
class OverlayViewDelegate {
public:
    virtual ~OverlayViewDelegate() = default;
    /// `point` in the view's bottom-left coordinates.
    virtual void didStrike(int zone, QPointF point, StrikeSource source) = 0;
};

} // namespace plinkora
