#pragma once

#include <QAbstractNativeEventFilter>
#include <Qt>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

class QSocketNotifier;

namespace plinkora {

/// A passive grab of one key combination on the X root window, also with Caps Lock and Num
/// Lock held. Uses Qt's own X connection when Qt runs on X11 (the press then arrives through a
/// native event filter); otherwise, as under XWayland, a private connection to $DISPLAY.
///
/// `pressed` runs once per press, not for auto-repeat; it never runs once the object is gone.
/// When the combination cannot be grabbed (another client holds it, no X server, a key without
/// an X key code) the object stays silent. Main thread only.
class GlobalHotKeyX11 final : public QAbstractNativeEventFilter {
public:
    GlobalHotKeyX11(Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> pressed);
    ~GlobalHotKeyX11() override;
    GlobalHotKeyX11(const GlobalHotKeyX11&) = delete;
    GlobalHotKeyX11& operator=(const GlobalHotKeyX11&) = delete;

    bool isGrabbed() const { return !keyCodes_.empty(); }
    /// The last grab was refused, all or part of it: another client holds the combination.
    bool isTaken() const { return isTaken_; }
    /// Called after every grab: the first, after a keymap change, or on `retry`.
    void setOnGrab(std::function<void()> callback) { onGrab_ = std::move(callback); }
    /// Grabs anew: the client that held the combination may have let it go.
    void retry();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void grab(Qt::Key key, Qt::KeyboardModifiers modifiers);
    void ungrab();
    bool handle(const xcb_generic_event_t* event);
    void readPrivateEvents();

    Qt::Key key_;
    Qt::KeyboardModifiers modifiers_;
    std::function<void()> pressed_;
    std::function<void()> onGrab_;
    bool isTaken_ = false;
    xcb_connection_t* connection_ = nullptr;
    xcb_connection_t* privateConnection_ = nullptr;
    std::unique_ptr<QSocketNotifier> privateNotifier_;
    xcb_window_t root_ = 0;
    bool isFilterInstalled_ = false;
    // The first event number of the XKB extension on Qt's connection; 0 without it.
    std::uint8_t xkbEvent_ = 0;
    std::vector<xcb_keycode_t> keyCodes_;
    uint16_t modifierMask_ = 0;
    uint16_t lockMask_ = XCB_MOD_MASK_LOCK;
    bool isHeld_ = false;
    xcb_keycode_t lastReleasedKey_ = 0;
    xcb_timestamp_t lastReleaseTime_ = 0;
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

} // namespace plinkora
