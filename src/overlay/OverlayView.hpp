#pragma once

#include "app/Scheduler.hpp"
#include "app/StrikeSource.hpp"
#include "music/Dynamics.hpp"
#include "music/Scale.hpp"
#include "music/ZoneOrientation.hpp"
#include "overlay/DirectTouchRecognizer.hpp"
#include "overlay/GlowRing.hpp"

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plinkora {

class OverlayViewDelegate;

/// The overlay's one content view: splits itself into one zone per scale degree, draws the
/// guides and the glow of every strike, and turns touches and clicks into strikes.
///
/// All of its geometry, hit testing, diagnostics and log lines use points with the origin at
/// the bottom-left corner and y growing upwards; Qt's top-left positions are converted where
/// they come in. The guides are drawn once into a cached image; glow rings repaint only their
/// own rectangles, at the display's frame rate, and only while one is alive.
/// Main thread only.
class OverlayView final : public QWidget {
    Q_OBJECT
public:
    using DiagnosticCallback = std::function<void(const std::string&)>;

    static constexpr double kEchoWindow = 0.6;
    static constexpr double kEchoDistance = 48;

    /// `scheduler` gives the clock of echo records and glows, and the frame ticks.
    explicit OverlayView(Scheduler& scheduler, QWidget* parent = nullptr);
    ~OverlayView() override;

    /// Not owned; may be cleared with null.
    void setDelegate(OverlayViewDelegate* delegate) { delegate_ = delegate; }
    void setOnTouchDiagnostic(DiagnosticCallback callback) {
        onTouchDiagnostic_ = std::move(callback);
    }

    /// Every assignment rebuilds the guides.
    void setOrientation(music::ZoneOrientation orientation);
    music::ZoneOrientation orientation() const { return orientation_; }
    /// Every assignment rebuilds the guides.
    void setShowsGuides(bool showsGuides);
    bool showsGuides() const { return showsGuides_; }
    /// Rebuilds the guides only when root, mode or degree count change.
    void setScale(const music::Scale& scale);
    const music::Scale& scale() const { return scale_; }

    /// The zone under `point` (bottom-left coordinates), clamped to the end zones.
    int zone(QPointF point) const;
    void rebuildGuides();
    /// Starts one glow ring at `point` (bottom-left coordinates), sized by the velocity.
    void showGlow(QPointF point, music::Rgb color, std::uint8_t velocity = music::kFixedVelocity);
    void setDynamics(music::Dynamics dynamics) { dynamics_ = dynamics; }

    /// What is painted now, in device pixels: the guides' solid pixels and the bright middle
    /// of every live ring. Where nothing composites the panel, only this shows.
    QRegion paintedRegion() const;
    /// Called when the painted region may have changed: the guides were rebuilt, or a ring
    /// started, grew or ended.
    void setOnPaintedChange(std::function<void()> callback) {
        onPaintedChange_ = std::move(callback);
    }

    /// The cached separator lines and labels; null while nothing is to be drawn.
    const QImage& guidesImage() const { return guides_; }
    std::size_t glowCount() const { return glows_.size(); }
    /// The window's device pixel ratio, or 2.0 while the view has no window.
    double backingScale() const;
    bool isInWindow() const;

    /// The recognizer's handler: one batch of touches of one phase.
    void handleTouches(const DirectTouchRecognizer::Touches& touches, TouchPhase phase,
                       const QTouchEvent& event);
    /// The zone each finger that is down last struck, by touch point id.
    const std::map<int, int>& touchZones() const { return touchZones_; }
    bool mouseIsEcho() const { return mouseIsEcho_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct TouchRecord {
        QPointF point;
        double time = 0;
    };
    struct Resolved {
        QPointF point;
        std::string label;
    };

    QPointF up(QPointF topLeft) const;
    /// The touch's own position in the view.
    QPointF touchInView(const QEventPoint& touch) const;
    Resolved location(const QEventPoint& touch, const QTouchEvent& event) const;
    void report(const QEventPoint& touch, const QTouchEvent& event, const Resolved& resolved,
                int zone) const;
    void strike(int zone, QPointF point, StrikeSource source,
                std::optional<double> pressure = std::nullopt);
    /// The touch's pressure, or its contact size as a share of a firm press, where the screen
    /// reports either.
    std::optional<double> force(const QEventPoint& touch, const QTouchEvent& event);
    void pruneTouches(double now);
    void handleTouchEvent(QTouchEvent& event);
    /// The recognizer takes only touch events from touch screens.
    bool shouldAttemptToRecognize(const QEvent& event) const;
    /// Only direct touches reach the recognizer.
    bool shouldReceive(const QEventPoint& touch, const QTouchEvent& event) const;
    void tickGlows();

    Scheduler& scheduler_;
    OverlayViewDelegate* delegate_ = nullptr;
    DiagnosticCallback onTouchDiagnostic_;
    music::ZoneOrientation orientation_ = music::ZoneOrientation::vertical;
    bool showsGuides_ = false;
    music::Dynamics dynamics_ = music::Dynamics::fixed;
    music::Scale scale_;
    QImage guides_;
    /// Where the guides draw anything at all.
    QRegion guidesInk_;
    // The guides' solid pixels, made from the image when first asked for.
    mutable std::optional<QRegion> guidesRegion_;
    std::function<void()> onPaintedChange_;
    std::vector<GlowRing> glows_;
    ScheduledTask frameTicks_;
    DirectTouchRecognizer touchRecognizer_;
    std::map<int, int> touchZones_;
    std::optional<int> mouseZone_;
    std::vector<TouchRecord> recentTouches_;
    bool mouseIsEcho_ = false;
};

} // namespace plinkora
