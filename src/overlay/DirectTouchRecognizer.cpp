#include "overlay/DirectTouchRecognizer.hpp"

#include "app/Logger.hpp"
#include "overlay/OverlayGeometry.hpp"

#include <QTouchEvent>

namespace plinkora {

namespace {

bool isTouching(TouchPhase phase) {
    return static_cast<unsigned>(phase) < 8;
}

} // namespace

DirectTouchRecognizer::DirectTouchRecognizer(QWidget* view)
    : view_(view) {}

TouchPhase DirectTouchRecognizer::phaseOf(const QEventPoint& touch, const QTouchEvent& event) {
    if (event.type() == QEvent::TouchCancel) {
        return TouchPhase::cancelled;
    }
    switch (touch.state()) {
    case QEventPoint::Pressed:
        return TouchPhase::began;
    case QEventPoint::Updated:
        return TouchPhase::moved;
    case QEventPoint::Released:
        return TouchPhase::ended;
    default:
        return TouchPhase::stationary;
    }
}

void DirectTouchRecognizer::deliver(const QTouchEvent& event, const Touches& touches) {
    // The gesture is over once it ended or was cancelled; the next touch starts afresh.
    if (state_ == RecognizerState::ended || state_ == RecognizerState::cancelled) {
        state_ = RecognizerState::possible;
    }
    if (event.type() == QEvent::TouchCancel) {
        touchesCancelled(event, touches);
        return;
    }
    bool anyBegan = false;
    bool anyMoved = false;
    bool anyEnded = false;
    for (const QEventPoint& touch : touches) {
        const TouchPhase phase = phaseOf(touch, event);
        anyBegan |= phase == TouchPhase::began;
        anyMoved |= phase == TouchPhase::moved;
        anyEnded |= phase == TouchPhase::ended;
    }
    if (anyBegan) {
        touchesBegan(event, touches);
    }
    // A batch of resting fingers still counts as a move, so the handler sees it.
    if (anyMoved || (!anyBegan && !anyEnded)) {
        touchesMoved(event, touches);
    }
    if (anyEnded) {
        touchesEnded(event, touches);
    }
}

void DirectTouchRecognizer::touchesBegan(const QTouchEvent& event, const Touches& touches) {
    // Said after the handler has played the notes, with the state they found.
    const RecognizerState found = state_;
    const bool inWindow = isInWindow();
    remember(event, touches);
    if (handler_) {
        const Touches began = inPhase(event, touches, TouchPhase::began);
        // A began callback without a beginning touch treats every touch as a new finger.
        handler_(began.empty() ? touches : began, TouchPhase::began, event);
    }
    std::string phases;
    for (const QEventPoint& touch : touches) {
        if (!phases.empty()) {
            phases += ',';
        }
        phases += std::to_string(static_cast<unsigned>(phaseOf(touch, event)));
    }
    Logger::info(Logger::format(
        "recognizer touchesBegan: %ld touches (all: %ld), phases [%s], state %ld, window %s",
        static_cast<long>(touches.size()), static_cast<long>(event.pointCount()), phases.c_str(),
        static_cast<long>(found), Logger::boolText(inWindow)));
    state_ =
        state_ == RecognizerState::possible ? RecognizerState::began : RecognizerState::changed;
}

void DirectTouchRecognizer::touchesMoved(const QTouchEvent& event, const Touches& touches) {
    remember(event, touches);
    if (handler_) {
        handler_(inPhase(event, touches, TouchPhase::moved), TouchPhase::moved, event);
    }
    if (state_ == RecognizerState::began || state_ == RecognizerState::changed) {
        state_ = RecognizerState::changed;
    }
}

void DirectTouchRecognizer::touchesEnded(const QTouchEvent& event, const Touches& touches) {
    if (handler_) {
        handler_(inPhase(event, touches, TouchPhase::ended), TouchPhase::ended, event);
    }
    if (state_ == RecognizerState::began || state_ == RecognizerState::changed) {
        bool anyTouching = false;
        for (const QEventPoint& touch : touches) {
            anyTouching |= isTouching(phaseOf(touch, event));
        }
        state_ = anyTouching ? RecognizerState::changed : RecognizerState::ended;
    }
}

void DirectTouchRecognizer::touchesCancelled(const QTouchEvent& event, const Touches& touches) {
    if (handler_) {
        handler_(inPhase(event, touches, TouchPhase::cancelled), TouchPhase::cancelled, event);
    }
    if (state_ == RecognizerState::began || state_ == RecognizerState::changed) {
        state_ = RecognizerState::cancelled;
    }
}

QPointF DirectTouchRecognizer::location(const QWidget* view) const {
    if (view == nullptr) {
        return lastWindowLocation_;
    }
    const QWidget* window = view->window();
    const QPointF inWindow = overlay::flipped(lastWindowLocation_, window->height());
    return overlay::flipped(view->mapFrom(window, inWindow), view->height());
}

void DirectTouchRecognizer::remember(const QTouchEvent& event, const Touches& touches) {
    double sumX = 0;
    double sumY = 0;
    int count = 0;
    for (const QEventPoint& touch : touches) {
        if (!isTouching(phaseOf(touch, event))) {
            continue;
        }
        const QPointF location =
            view_ ? overlay::windowPointUp(*view_, touch.scenePosition()) : touch.scenePosition();
        sumX += location.x();
        sumY += location.y();
        ++count;
    }
    if (count > 0) {
        lastWindowLocation_ = QPointF(sumX / count, sumY / count);
    }
}

DirectTouchRecognizer::Touches DirectTouchRecognizer::inPhase(const QTouchEvent& event,
                                                              const Touches& touches,
                                                              TouchPhase phase) const {
    Touches result;
    for (const QEventPoint& touch : touches) {
        if (phaseOf(touch, event) == phase) {
            result.push_back(touch);
        }
    }
    return result;
}

bool DirectTouchRecognizer::isInWindow() const {
    return view_ && view_->window()->windowHandle() != nullptr;
}

} // namespace plinkora
