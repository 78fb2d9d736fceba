#pragma once

#include "app/HotKey.hpp"

#include <QDBusConnection>
#include <functional>
#include <memory>

namespace plinkora {

class GlobalHotKeyPortal;
class GlobalHotKeyX11;

/// The system-wide shortcut. On X11 a passive grab on the root window; on a Wayland session
/// the desktop portal's GlobalShortcuts binding where the desktop offers it, otherwise the
/// X11 grab through XWayland (which sees only keys typed into X11 windows).
///
/// The action runs on the main thread once per press, never for auto-repeat and never once
/// the object is gone. A registration that fails leaves the shortcut silent. Main thread only.
class GlobalHotKey final : public HotKey {
public:
    /// Where the shortcut is registered.
    struct Session {
        bool isWayland = false;
        /// The bus the desktop portal is on.
        QDBusConnection bus{QString()};

        /// This process's desktop session and session bus.
        static Session current();
    };

    GlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> action);
    GlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> action,
                 const Session& session);
    ~GlobalHotKey() override;

    /// Whether a press reaches the action now: the grab is in place or the portal has bound
    /// the shortcut (which it does some time after construction).
    bool isRegistered() const;
    State state() const override;
    void setOnStateChange(std::function<void()> callback) override {
        onStateChange_ = std::move(callback);
    }
    void retry() override;

private:
    void grabOnX11();
    void runAction();
    void stateChanged();

    Qt::Key key_;
    Qt::KeyboardModifiers modifiers_;
    std::function<void()> action_;
    std::function<void()> onStateChange_;
    bool isWayland_ = false;
    std::unique_ptr<GlobalHotKeyPortal> portal_;
    std::unique_ptr<GlobalHotKeyX11> x11_;
};

/// The production factory for `AppState`.
std::unique_ptr<HotKey> makeGlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers,
                                         std::function<void()> action);

} // namespace plinkora
