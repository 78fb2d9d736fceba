// The input half of OverlayView: touches and clicks become strikes.
#include "app/Logger.hpp"
#include "overlay/OverlayGeometry.hpp"
#include "overlay/OverlayView.hpp"
#include "overlay/OverlayViewDelegate.hpp"

#include <QCursor>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTouchEvent>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace plinkora {

namespace {

bool isDirect(const QTouchEvent& event) {
    const QInputDevice* device = event.device();
    return device != nullptr && device->type() == QInputDevice::DeviceType::TouchScreen;
}

bool isTouchEvent(QEvent::Type type) {
    return type == QEvent::TouchBegin || type == QEvent::TouchUpdate || type == QEvent::TouchEnd ||
           type == QEvent::TouchCancel;
}

short subtypeOf(const QEvent& event) {
    if (event.isPointerEvent() && !isTouchEvent(event.type())) {
        return static_cast<short>(static_cast<const QMouseEvent&>(event).source());
    }
    return 0;
}

} // namespace

QPointF OverlayView::touchInView(const QEventPoint& touch) const {
    return up(mapFromGlobal(touch.globalPosition()));
}

void OverlayView::handleTouchEvent(QTouchEvent& event) {
    // Whether the recogniser takes a touch depends on the device alone. It is asked, and
    // logged, once per touch as it begins, and only after the notes have gone: a finger's
    // directness does not change while it moves, and ten moving fingers would otherwise flood
    // the journal.
    const auto answerPresses = [&] {
        for (const QEventPoint& touch : event.points()) {
            if (touch.state() == QEventPoint::State::Pressed) {
                shouldReceive(touch, event);
            }
        }
    };
    DirectTouchRecognizer::Touches received;
    if (isDirect(event)) {
        received.assign(event.points().begin(), event.points().end());
    }
    if (received.empty() && !event.points().isEmpty()) {
        answerPresses();
        event.ignore();
        return;
    }
    if (!shouldAttemptToRecognize(event)) {
        event.ignore();
        return;
    }
    event.accept();
    touchRecognizer_.deliver(event, received);
    answerPresses();
    // A cancelled sequence that names no touches ends all of its fingers.
    if (event.type() == QEvent::TouchCancel && event.points().isEmpty()) {
        touchZones_.clear();
    }
}

bool OverlayView::shouldAttemptToRecognize(const QEvent& event) const {
    if (isTouchEvent(event.type()) && isDirect(static_cast<const QTouchEvent&>(event))) {
        return true;
    }
    Logger::info(Logger::format("recognizer declining event type %lu subtype %hd",
                                static_cast<unsigned long>(event.type()), subtypeOf(event)));
    return false;
}

bool OverlayView::shouldReceive(const QEventPoint& touch, const QTouchEvent& event) const {
    const bool direct = isDirect(event);
    Logger::info(Logger::format(
        "recognizer shouldReceive touch %s phase %lu: %s", direct ? "direct" : "indirect",
        static_cast<unsigned long>(DirectTouchRecognizer::phaseOf(touch, event)),
        Logger::boolText(direct)));
    return direct;
}

OverlayView::Resolved OverlayView::location(const QEventPoint& touch,
                                            const QTouchEvent& event) const {
    const auto inside = [this](QPointF p) {
        return p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() < height();
    };
    std::optional<Resolved> first;
    // True when `candidate` settles the answer.
    const auto consider = [&](const Resolved& candidate) {
        if (!first) {
            first = candidate;
        }
        return inside(candidate.point);
    };
    if (!isDirect(event)) {
        const QPointF normalized = touch.normalizedPosition();
        const double nx = normalized.x();
        const double ny = normalized.y();
        // Qt's normalised positions grow downwards.
        Resolved scaled{{nx * width(), (1 - ny) * height()}, "normalized"};
        if (std::isfinite(nx) && std::isfinite(ny) && nx >= 0 && nx <= 1 && ny >= 0 && ny <= 1 &&
            !(nx == 0 && ny == 0) && consider(scaled)) {
            return scaled;
        }
        if (Resolved own{touchInView(touch), "touch"}; consider(own)) {
            return own;
        }
    } else {
        if (Resolved own{touchInView(touch), "touch"}; consider(own)) {
            return own;
        }
        if (Resolved fromEvent{up(mapFrom(window(), touch.scenePosition())), "event"};
            consider(fromEvent)) {
            return fromEvent;
        }
        // Asked only when needed: on X11 the pointer position is a round trip to the server.
        if (isInWindow()) {
            if (Resolved pointer{up(mapFromGlobal(QPointF(QCursor::pos()))), "pointer"};
                consider(pointer)) {
                return pointer;
            }
        }
    }
    return {first->point, first->label + " (out of bounds)"};
}

void OverlayView::report(const QEventPoint& touch, const QTouchEvent& event,
                         const Resolved& resolved, int zone) const {
    if (!onTouchDiagnostic_) {
        return;
    }
    using overlay::pointText;
    const std::vector<std::string> names = scale_.names();
    const std::string name = zone >= 0 && zone < static_cast<int>(names.size())
                                 ? names[static_cast<std::size_t>(zone)]
                                 : std::to_string(zone);
    const QPointF inWindow = overlay::windowPointUp(*this, touch.scenePosition());
    const QPointF eventInView = up(mapFrom(window(), touch.scenePosition()));
    QRectF panel;
    if (isInWindow()) {
        const QRect frame = window()->frameGeometry();
        const QPointF origin =
            overlay::screenPointUp(QPointF(frame.x(), frame.y() + frame.height()));
        panel = QRectF(origin, QSizeF(frame.size()));
    }
    const std::string separator = " \u00B7 ";
    std::string text =
        "zone " + name + " at " + pointText(resolved.point) + " via " + resolved.label;
    text += separator + "touch view " + pointText(touchInView(touch)) + " window " +
            pointText(inWindow);
    text += separator + "event view " + pointText(eventInView) + " window " + pointText(inWindow);
    text += separator + "pointer screen " + pointText(overlay::screenPointUp(QCursor::pos()));
    text += separator + "type " + (isDirect(event) ? "direct" : "indirect");
    text += separator + Logger::format("bounds %.0f\u00D7%.0f", double(width()), double(height()));
    text += separator + Logger::format("panel %.0f\u00D7%.0f at ", panel.width(), panel.height()) +
            pointText(panel.topLeft());
    onTouchDiagnostic_(text);
}

void OverlayView::handleTouches(const DirectTouchRecognizer::Touches& touches, TouchPhase phase,
                                const QTouchEvent& event) {
    const double now = scheduler_.now();
    for (const QEventPoint& touch : touches) {
        const int key = touch.id();
        if (phase == TouchPhase::began) {
            const Resolved resolved = location(touch, event);
            const int z = zone(resolved.point);
            touchZones_[key] = z;
            recentTouches_.push_back({resolved.point, now});
            strike(z, resolved.point, StrikeSource::touch, force(touch, event));
            report(touch, event, resolved, z);
        } else if (phase == TouchPhase::moved) {
            const QPointF p = location(touch, event).point;
            const int z = zone(p);
            recentTouches_.push_back({p, now});
            const auto entry = touchZones_.find(key);
            if (entry != touchZones_.end() && entry->second == z) {
                continue;
            }
            touchZones_[key] = z;
            strike(z, p, StrikeSource::touch, force(touch, event));
        } else {
            recentTouches_.push_back({location(touch, event).point, now});
            touchZones_.erase(key);
        }
    }
    pruneTouches(now);
}

void OverlayView::pruneTouches(double now) {
    std::erase_if(recentTouches_,
                  [now](const TouchRecord& record) { return now - record.time > kEchoWindow; });
}

std::optional<double> OverlayView::force(const QEventPoint& touch, const QTouchEvent& event) {
    const QInputDevice* device = event.device();
    if (device == nullptr) {
        return std::nullopt;
    }
    if (device->capabilities().testFlag(QInputDevice::Capability::Pressure)) {
        return touch.pressure();
    }
    if (device->capabilities().testFlag(QInputDevice::Capability::Area)) {
        // A light fingertip touches about 6 mm across, a firm press about 14 mm.
        const double millimetres = touch.ellipseDiameters().width() * 25.4 /
                                   std::max(1.0, static_cast<double>(logicalDpiX()));
        return std::clamp((millimetres - 6.0) / 8.0, 0.01, 1.0);
    }
    return std::nullopt;
}

void OverlayView::strike(int zone, QPointF point, StrikeSource source,
                         std::optional<double> pressure) {
    // How far into its zone the strike lands, towards the far edge (top or right).
    const QRectF frame = overlay::zoneFrame(zone, scale_.degrees, width(), height(), orientation_);
    const bool vertical = orientation_ == music::ZoneOrientation::vertical;
    const double extent = vertical ? frame.height() : frame.width();
    const double across =
        extent > 0 ? ((vertical ? point.y() - frame.y() : point.x() - frame.x()) / extent) : 0.5;
    const std::uint8_t velocity = music::strikeVelocity(dynamics_, across, pressure);
    // The note is handed over before anything is drawn.
    if (delegate_ != nullptr) {
        delegate_->didStrike(zone, point, source, velocity);
    }
    showGlow(point, music::NoteZone::color(zone, scale_.degrees), velocity);
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPointF p = up(event->position());
    const double now = scheduler_.now();
    pruneTouches(now);
    // On X11 both the server and Qt make pointer events out of touches: a synthesized press
    // is a finger that the touch handling already played.
    mouseIsEcho_ =
        event->source() != Qt::MouseEventNotSynthesized ||
        std::any_of(recentTouches_.begin(), recentTouches_.end(), [p](const TouchRecord& record) {
            return std::hypot(record.point.x() - p.x(), record.point.y() - p.y()) < kEchoDistance;
        });
    if (!mouseIsEcho_) {
        const int z = zone(p);
        mouseZone_ = z;
        strike(z, p, StrikeSource::click);
    }
    // Logged after the note has gone, and with the pointer as the event carries it: asking
    // the X server where the pointer is would wait for its answer.
    const QPointF pointer = overlay::screenPointUp(event->globalPosition());
    Logger::info(Logger::format(
        "mouseDown subtype %hd at (%ld, %ld) in bounds %ld\u00D7%ld, pointer screen (%ld, %ld), "
        "echo %s",
        subtypeOf(*event), overlay::truncated(p.x()), overlay::truncated(p.y()),
        static_cast<long>(width()), static_cast<long>(height()), overlay::truncated(pointer.x()),
        overlay::truncated(pointer.y()), Logger::boolText(mouseIsEcho_)));
}

void OverlayView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || mouseIsEcho_) {
        return;
    }
    const QPointF p = up(event->position());
    const int z = zone(p);
    if (mouseZone_ == z) {
        return;
    }
    const std::optional<int> previous = std::exchange(mouseZone_, z);
    strike(z, p, StrikeSource::click);
    Logger::info(Logger::format("mouseDragged to zone %ld at (%ld, %ld), previous %s",
                                static_cast<long>(z), overlay::truncated(p.x()),
                                overlay::truncated(p.y()),
                                previous ? std::to_string(*previous).c_str() : "none"));
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    Logger::info(Logger::format("mouseUp subtype %hd", subtypeOf(*event)));
    mouseZone_.reset();
    mouseIsEcho_ = false;
}

} // namespace plinkora
