#pragma once

#include <QEventPoint>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QTouchEvent;

namespace plinkora {

/// A touch's phase as a bit, so that sets of phases combine.
enum class TouchPhase : unsigned {
    began = 1,
    moved = 2,
    stationary = 4,
    ended = 8,
    cancelled = 16,
};

enum class RecognizerState : long { possible = 0, began, changed, ended, cancelled, failed };

/// Hands every batch of direct touches, sorted by phase, to its handler and follows the
/// fingers with its state, so the view sees each finger from its press to its release.
/// It recognises no gesture of its own. Main thread only.
class DirectTouchRecognizer {
public:
    using Touches = std::vector<QEventPoint>;
    using Handler =
        std::function<void(const Touches& touches, TouchPhase phase, const QTouchEvent& event)>;

    /// `view` may be null: window positions are then taken as they come.
    explicit DirectTouchRecognizer(QWidget* view = nullptr);

    void setHandler(Handler handler) { handler_ = std::move(handler); }

    /// Sorts one Qt touch event into the began, moved, ended and cancelled callbacks, given the
    /// event's touches that were let through (`touches`).
    void deliver(const QTouchEvent& event, const Touches& touches);

    void touchesBegan(const QTouchEvent& event, const Touches& touches);
    void touchesMoved(const QTouchEvent& event, const Touches& touches);
    void touchesEnded(const QTouchEvent& event, const Touches& touches);
    void touchesCancelled(const QTouchEvent& event, const Touches& touches);

    RecognizerState state() const { return state_; }
    /// The mean position of the touches last seen touching (kept after the fingers are
    /// lifted), in `view`'s bottom-left coordinates, or the window's for none.
    QPointF location(const QWidget* view) const;

    /// The phase of a touch within its event.
    static TouchPhase phaseOf(const QEventPoint& touch, const QTouchEvent& event);

private:
    void remember(const QTouchEvent& event, const Touches& touches);
    Touches inPhase(const QTouchEvent& event, const Touches& touches, TouchPhase phase) const;
    bool isInWindow() const;

    Handler handler_;
    QPointF lastWindowLocation_;
    RecognizerState state_ = RecognizerState::possible;
    QPointer<QWidget> view_;
};

} // namespace plinkora
