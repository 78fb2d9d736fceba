#pragma once

#include "app/StrikeSource.hpp"
#include "music/Dynamics.hpp"
#include "music/Scale.hpp"
#include "music/ZoneOrientation.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace plinkora {

/// The full-screen zone panel as the application core drives it. Main thread only.
class Overlay {
public:
    /// Zone index, the point in the view's coordinates (origin bottom-left, y up), the source.
    using StrikeCallback = std::function<void(int zone, double x, double y, StrikeSource source,
                                              std::uint8_t velocity)>;
    using DiagnosticCallback = std::function<void(const std::string& diagnostic)>;

    virtual ~Overlay() = default;

    /// Lines are redrawn on every assignment.
    virtual void setOrientation(music::ZoneOrientation orientation) = 0;
    /// Separator lines and note names are drawn or removed at once.
    virtual void setShowsGuides(bool showsGuides) = 0;
    /// Zone count and labels follow the scale; nothing is redrawn when it is unchanged.
    virtual void setScale(const music::Scale& scale) = 0;
    /// How hard each strike plays, and so how large and bright its ring is.
    virtual void setDynamics(music::Dynamics dynamics) = 0;
    virtual void setOnTouchDiagnostic(DiagnosticCallback callback) = 0;
    /// Called synchronously, once per strike.
    virtual void setOnStrike(StrikeCallback callback) = 0;
    virtual void show() = 0;
    /// Hiding a never-shown overlay does nothing.
    virtual void hide() = 0;
};

} // namespace plinkora
