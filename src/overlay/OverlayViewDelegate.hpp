#pragma once

#include "app/StrikeSource.hpp"

#include <QPointF>
#include <cstdint>

namespace plinkora {

/// Receives every strike of the overlay view, synchronously, on the main thread.
class OverlayViewDelegate {
public:
    virtual ~OverlayViewDelegate() = default;
    /// `point` in the view's bottom-left coordinates; `velocity` as the dynamics give it.
    virtual void didStrike(int zone, QPointF point, StrikeSource source, std::uint8_t velocity) = 0;
};

} // namespace plinkora
