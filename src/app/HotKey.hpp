#pragma once

#include <QKeySequence>
#include <functional>
#include <memory>

namespace plinkora {

/// A system-wide key combination, registered for as long as the object lives.
class HotKey {
public:
    /// Whether a press reaches Plinkora.
    enum class State {
        /// From any application.
        active,
        /// Only while an X11 window is in front (a Wayland desktop without the portal).
        activeInX11Only,
        /// Another application holds the combination.
        taken,
        /// Not bound at all; the person has to bind it in the desktop.
        notBound,
    };

    virtual ~HotKey() = default;
    virtual State state() const { return State::active; }
    /// Called on the main thread after the state changed.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): a sink, kept by those that use it
    virtual void setOnStateChange(std::function<void()> /*callback*/) {}
    /// Tries again where the key is not grabbed: another application may have let the
    /// combination go, or a keyboard that has the key may have arrived.
    virtual void retry() {}
};

/// Makes the hot key for a Qt key with a modifier set; the action runs on the main thread once
/// per press, whichever application is in front.
using HotKeyFactory = std::function<std::unique_ptr<HotKey>(
    Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> action)>;

} // namespace plinkora
