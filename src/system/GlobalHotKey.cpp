#include "system/GlobalHotKey.hpp"

#include "app/Logger.hpp"
#include "system/GlobalHotKeyPortal.hpp"
#include "system/GlobalHotKeyX11.hpp"

#include <QCoreApplication>
#include <QGuiApplication>

namespace plinkora {

GlobalHotKey::Session GlobalHotKey::Session::current() {
    Session session;
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    session.isWayland =
        type == QLatin1String("wayland") ||
        (type.isEmpty() && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) ||
        (qGuiApp != nullptr && QGuiApplication::platformName() == QLatin1String("wayland"));
    session.bus = QDBusConnection::sessionBus();
    return session;
}

GlobalHotKey::GlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers,
                           std::function<void()> action)
    : GlobalHotKey(key, modifiers, std::move(action), Session::current()) {}

GlobalHotKey::GlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers,
                           std::function<void()> action, const Session& session)
    : key_(key)
    , modifiers_(modifiers)
    , action_(std::move(action))
    , isWayland_(session.isWayland) {
    if (!session.isWayland) {
        grabOnX11();
        return;
    }
    // The portal answers asynchronously; until it has, the shortcut is not yet registered.
    portal_ = std::make_unique<GlobalHotKeyPortal>(
        session.bus, GlobalHotKeyPortal::triggerFor(key, modifiers),
        QCoreApplication::translate("plinkora::GlobalHotKey", "Switch Plinkora on or off"),
        [this] { runAction(); },
        [this] {
            Logger::info("The global shortcuts portal is not available; the keyboard shortcut "
                         "works only while an X11 window is in front");
            grabOnX11();
        });
    portal_->setOnBound([this] { stateChanged(); });
}

GlobalHotKey::~GlobalHotKey() = default;

bool GlobalHotKey::isRegistered() const {
    return (portal_ && portal_->isBound()) || (x11_ && x11_->isGrabbed());
}

HotKey::State GlobalHotKey::state() const {
    if (portal_ && portal_->isBound()) {
        return State::active;
    }
    if (x11_ && x11_->isGrabbed()) {
        return isWayland_ ? State::activeInX11Only : State::active;
    }
    if (x11_ && x11_->isTaken()) {
        return State::taken;
    }
    return State::notBound;
}

void GlobalHotKey::retry() {
    if (x11_ && !x11_->isGrabbed()) {
        x11_->retry();
    }
}

void GlobalHotKey::grabOnX11() {
    x11_ = std::make_unique<GlobalHotKeyX11>(key_, modifiers_, [this] { runAction(); });
    x11_->setOnGrab([this] { stateChanged(); });
    stateChanged();
}

void GlobalHotKey::stateChanged() {
    if (onStateChange_) {
        onStateChange_();
    }
}

void GlobalHotKey::runAction() {
    // The action may end this object's life; its copy stays alive for the call.
    const std::function<void()> action = action_;
    action();
}

std::unique_ptr<HotKey> makeGlobalHotKey(Qt::Key key, Qt::KeyboardModifiers modifiers,
                                         std::function<void()> action) {
    return std::make_unique<GlobalHotKey>(key, modifiers, std::move(action));
}

} // namespace plinkora
