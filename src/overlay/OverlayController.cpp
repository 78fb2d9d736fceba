#include "overlay/OverlayController.hpp"

#include "app/QtScheduler.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

namespace plinkora {

OverlayController::OverlayController()
    : OverlayController(QtScheduler::instance()) {}

OverlayController::OverlayController(Scheduler& scheduler)
    : OverlayController(scheduler, std::make_unique<QtScreenList>()) {}

OverlayController::OverlayController(Scheduler& scheduler, std::unique_ptr<ScreenList> screens)
    : screens_(std::move(screens))
    , view_(std::make_unique<OverlayView>(scheduler)) {
    view_->setDelegate(this);
    screens_->setOnChange([this] { screensChanged(); });
}

OverlayController::~OverlayController() {
    screens_->setOnChange({});
    view_->setDelegate(nullptr);
    if (panel_) {
        // The view belongs to the controller, not to the panel that shows it.
        view_->setOnPaintedChange({});
        view_->setParent(nullptr);
        panel_.reset();
    }
}

void OverlayController::setOrientation(music::ZoneOrientation orientation) {
    view_->setOrientation(orientation);
}

void OverlayController::setShowsGuides(bool showsGuides) {
    view_->setShowsGuides(showsGuides);
}

void OverlayController::setScale(const music::Scale& scale) {
    view_->setScale(scale);
}

void OverlayController::setOnTouchDiagnostic(DiagnosticCallback callback) {
    view_->setOnTouchDiagnostic(std::move(callback));
}

void OverlayController::setDynamics(music::Dynamics dynamics) {
    view_->setDynamics(dynamics);
}

void OverlayController::setOnStrike(StrikeCallback callback) {
    onStrike_ = std::move(callback);
}

std::optional<ScreenInfo> OverlayController::targetScreen(const ScreenList& screens) {
    return chooseTargetScreen(screens.screens(), screens.hasTouchScreen());
}

void OverlayController::show() {
    if (!panel_) {
        panel_ = std::make_unique<OverlayPanel>(view_.get());
        panel_->setPaintedRegionSource([this] { return view_->paintedRegion(); });
        view_->setOnPaintedChange([this] { panel_->paintedChanged(); });
    }
    fitToTargetScreen();
    panel_->present();
    isShowing_ = true;
}

void OverlayController::hide() {
    if (panel_) {
        panel_->hide();
    }
    isShowing_ = false;
}

void OverlayController::fitToTargetScreen() {
    const std::optional<ScreenInfo> target = targetScreen(*screens_);
    if (!target) {
        return;
    }
    if (target->screen) {
        panel_->setScreen(target->screen);
    }
    // The available geometry leaves the desktop's panels, and the tray icon in one of them,
    // usable.
    panel_->setGeometry(target->availableGeometry);
}

void OverlayController::screensChanged() {
    if (isShowing_ && panel_) {
        fitToTargetScreen();
    }
}

void OverlayController::didStrike(int zone, QPointF point, StrikeSource source,
                                  std::uint8_t velocity) {
    if (onStrike_) {
        onStrike_(zone, point.x(), point.y(), source, velocity);
    }
}

} // namespace plinkora
