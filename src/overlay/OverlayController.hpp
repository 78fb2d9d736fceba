#pragma once

#include "app/Overlay.hpp"
#include "overlay/OverlayViewDelegate.hpp"
#include "overlay/ScreenList.hpp"

#include <memory>
#include <optional>

namespace plinkora {

class OverlayPanel;
class OverlayView;
class Scheduler;

/// Owns the overlay: the panel over the target screen, the zone view inside it, and the road
/// of every strike from the view to `onStrike`. Main thread only.
class OverlayController final : public Overlay, private OverlayViewDelegate {
public:
    /// The application's overlay: Qt's screens and event-loop clock.
    OverlayController();
    explicit OverlayController(Scheduler& scheduler);
    OverlayController(Scheduler& scheduler, std::unique_ptr<ScreenList> screens);
    ~OverlayController() override;
    OverlayController(const OverlayController&) = delete;
    OverlayController& operator=(const OverlayController&) = delete;

    void setOrientation(music::ZoneOrientation orientation) override;
    void setShowsGuides(bool showsGuides) override;
    void setScale(const music::Scale& scale) override;
    void setOnTouchDiagnostic(DiagnosticCallback callback) override;
    void setOnStrike(StrikeCallback callback) override;
    void setDynamics(music::Dynamics dynamics) override;
    void show() override;
    void hide() override;

    /// The screen to cover, by the order of `chooseTargetScreen`.
    static std::optional<ScreenInfo> targetScreen(const ScreenList& screens);

    OverlayView& view() { return *view_; }
    /// Null until the first `show()`.
    OverlayPanel* panel() { return panel_.get(); }

private:
    void didStrike(int zone, QPointF point, StrikeSource source, std::uint8_t velocity) override;
    void fitToTargetScreen();
    void screensChanged();

    StrikeCallback onStrike_;
    bool isShowing_ = false;
    std::unique_ptr<ScreenList> screens_;
    std::unique_ptr<OverlayView> view_;
    std::unique_ptr<OverlayPanel> panel_;
};

} // namespace plinkora
