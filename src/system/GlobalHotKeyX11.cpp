#include "system/GlobalHotKeyX11.hpp"

#include "app/Logger.hpp"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>

namespace plinkora {

namespace {

constexpr uint32_t kAltL = 0xffe9;
constexpr uint32_t kAltR = 0xffea;
constexpr uint32_t kSuperL = 0xffeb;
constexpr uint32_t kSuperR = 0xffec;
constexpr uint32_t kNumLock = 0xff7f;
constexpr uint16_t kModifierBits = 0xff;

// The X keysym of a Qt key: Latin-1 keys are their lower-case code points, the rest the
// keysyms of the function keys that a shortcut may sensibly use.
std::optional<uint32_t> keysymFor(Qt::Key key) {
    const int code = static_cast<int>(key);
    if (code >= 0x20 && code <= 0xff) {
        return static_cast<uint32_t>(code >= 'A' && code <= 'Z' ? code + ('a' - 'A') : code);
    }
    if (code >= Qt::Key_F1 && code <= Qt::Key_F35) {
        return 0xffbe + static_cast<uint32_t>(code - Qt::Key_F1);
    }
    switch (key) {
    case Qt::Key_Escape:
        return 0xff1b;
    case Qt::Key_Tab:
        return 0xff09;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Return:
        return 0xff0d;
    case Qt::Key_Enter:
        return 0xff8d;
    case Qt::Key_Insert:
        return 0xff63;
    case Qt::Key_Delete:
        return 0xffff;
    case Qt::Key_Pause:
        return 0xff13;
    case Qt::Key_Print:
        return 0xff61;
    case Qt::Key_Home:
        return 0xff50;
    case Qt::Key_End:
        return 0xff57;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    case Qt::Key_PageUp:
        return 0xff55;
    case Qt::Key_PageDown:
        return 0xff56;
    default:
        return std::nullopt;
    }
}

struct KeyboardMap {
    xcb_keycode_t minKeyCode = 0;
    uint8_t keysymsPerKeyCode = 0;
    std::vector<xcb_keysym_t> keysyms;

    // Every key code whose first shift level or its shifted one produces `keysym`.
    std::vector<xcb_keycode_t> keyCodesFor(uint32_t keysym, int levels = 2) const {
        std::vector<xcb_keycode_t> found;
        if (keysymsPerKeyCode == 0) {
            return found;
        }
        const std::size_t count = keysyms.size() / keysymsPerKeyCode;
        for (std::size_t i = 0; i < count; ++i) {
            for (int level = 0; level < levels && level < keysymsPerKeyCode; ++level) {
                if (keysyms[i * keysymsPerKeyCode + static_cast<std::size_t>(level)] == keysym) {
                    found.push_back(static_cast<xcb_keycode_t>(minKeyCode + i));
                    break;
                }
            }
        }
        return found;
    }
};

KeyboardMap readKeyboardMap(xcb_connection_t* connection) {
    KeyboardMap map;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    map.minKeyCode = setup->min_keycode;
    const auto cookie =
        xcb_get_keyboard_mapping(connection, setup->min_keycode,
                                 static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1));
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(connection, cookie, nullptr);
    if (reply == nullptr) {
        return map;
    }
    map.keysymsPerKeyCode = reply->keysyms_per_keycode;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    map.keysyms.assign(keysyms, keysyms + xcb_get_keyboard_mapping_keysyms_length(reply));
    std::free(reply);
    return map;
}

// Which of Mod1…Mod5 carries each of the given keysyms; Alt, Super and Num Lock move between
// them with the keymap.
struct ModifierMap {
    uint16_t alt = XCB_MOD_MASK_1;
    uint16_t super = XCB_MOD_MASK_4;
    uint16_t numLock = XCB_MOD_MASK_2;
};

ModifierMap readModifierMap(xcb_connection_t* connection, const KeyboardMap& keyboard) {
    ModifierMap result;
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (reply == nullptr) {
        return result;
    }
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    const auto maskOf = [&](std::initializer_list<uint32_t> keysyms) -> std::optional<uint16_t> {
        for (const uint32_t keysym : keysyms) {
            for (const xcb_keycode_t code :
                 keyboard.keyCodesFor(keysym, keyboard.keysymsPerKeyCode)) {
                // Shift, Lock and Control (indices 0–2) are fixed; only Mod1…Mod5 move.
                for (int index = 3; index < 8; ++index) {
                    for (int i = 0; i < perModifier; ++i) {
                        if (codes[index * perModifier + i] == code) {
                            return static_cast<uint16_t>(1u << index);
                        }
                    }
                }
            }
        }
        return std::nullopt;
    };
    result.alt = maskOf({kAltL, kAltR}).value_or(result.alt);
    result.super = maskOf({kSuperL, kSuperR}).value_or(result.super);
    result.numLock = maskOf({kNumLock}).value_or(result.numLock);
    std::free(reply);
    return result;
}

} // namespace

GlobalHotKeyX11::GlobalHotKeyX11(Qt::Key key, Qt::KeyboardModifiers modifiers,
                                 std::function<void()> pressed)
    : key_(key)
    , modifiers_(modifiers)
    , pressed_(std::move(pressed)) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 != nullptr && x11->connection() != nullptr) {
        connection_ = x11->connection();
    } else {
        int screenNumber = 0;
        privateConnection_ = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(privateConnection_) != 0) {
            Logger::debug("Global hot key: no X server to grab the key on");
            xcb_disconnect(privateConnection_);
            privateConnection_ = nullptr;
            return;
        }
        connection_ = privateConnection_;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    // Qt's connection may address a non-default screen; the grab belongs on its root, which
    // is the first one for every setup Plinkora runs on (one X screen, several monitors).
    root_ = screens.data->root;

    grab(key, modifiers);
    // Listened to even when the grab failed: a keymap change tries again.
    if (privateConnection_ != nullptr) {
        privateNotifier_ = std::make_unique<QSocketNotifier>(
            xcb_get_file_descriptor(privateConnection_), QSocketNotifier::Read);
        QObject::connect(privateNotifier_.get(), &QSocketNotifier::activated,
                         [this] { readPrivateEvents(); });
        readPrivateEvents();
    } else {
        // Qt's connection speaks XKB, and XKB clients hear of keymap changes through XKB's
        // own events instead of the core MappingNotify.
        const char name[] = "XKEYBOARD";
        std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> xkb(
            xcb_query_extension_reply(
                connection_, xcb_query_extension(connection_, sizeof name - 1, name), nullptr),
            &std::free);
        xkbEvent_ = xkb && xkb->present ? xkb->first_event : 0;
        qGuiApp->installNativeEventFilter(this);
        isFilterInstalled_ = true;
    }
}

GlobalHotKeyX11::~GlobalHotKeyX11() {
    if (isFilterInstalled_ && qGuiApp != nullptr) {
        qGuiApp->removeNativeEventFilter(this);
    }
    privateNotifier_.reset();
    // Qt's connection is closed together with the application; its grabs go with it.
    if (privateConnection_ != nullptr || qGuiApp != nullptr) {
        ungrab();
    }
    if (privateConnection_ != nullptr) {
        xcb_disconnect(privateConnection_);
    }
}

void GlobalHotKeyX11::grab(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    const std::optional<uint32_t> keysym = keysymFor(key);
    if (!keysym) {
        Logger::debug(Logger::format("Global hot key: key 0x%x has no X key code",
                                     static_cast<unsigned>(key)));
        return;
    }
    const KeyboardMap keyboard = readKeyboardMap(connection_);
    const ModifierMap mods = readModifierMap(connection_, keyboard);
    std::vector<xcb_keycode_t> codes = keyboard.keyCodesFor(*keysym);
    if (codes.empty()) {
        // A non-Latin first layout ("ru,us") keeps the Latin letters in a later group. Grabs
        // ignore the group, so the key that carries the letter there is the one to grab.
        codes = keyboard.keyCodesFor(*keysym, keyboard.keysymsPerKeyCode);
    }
    if (codes.empty()) {
        Logger::debug("Global hot key: the keymap has no key for the shortcut");
        return;
    }

    modifierMask_ = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        modifierMask_ |= XCB_MOD_MASK_SHIFT;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        modifierMask_ |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        modifierMask_ |= mods.alt;
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        modifierMask_ |= mods.super;
    }
    lockMask_ = static_cast<uint16_t>(XCB_MOD_MASK_LOCK | mods.numLock);
    const std::array<uint16_t, 4> lockVariants{
        0, XCB_MOD_MASK_LOCK, mods.numLock,
        static_cast<uint16_t>(XCB_MOD_MASK_LOCK | mods.numLock)};

    std::vector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : codes) {
        for (const uint16_t locks : lockVariants) {
            cookies.push_back(xcb_grab_key_checked(connection_, 0, root_,
                                                   static_cast<uint16_t>(modifierMask_ | locks),
                                                   code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool isComplete = true;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            isComplete = false;
            std::free(error);
        }
    }
    keyCodes_ = codes;
    isTaken_ = !isComplete;
    if (!isComplete) {
        // Half a shortcut (working only with Num Lock off, say) is worse than none.
        Logger::debug("Global hot key: the combination is taken by another application");
        ungrab();
    }
    if (onGrab_) {
        onGrab_();
    }
}

void GlobalHotKeyX11::retry() {
    if (connection_ == nullptr) {
        return;
    }
    ungrab();
    grab(key_, modifiers_);
}

void GlobalHotKeyX11::ungrab() {
    if (connection_ == nullptr || keyCodes_.empty()) {
        return;
    }
    const std::array<uint16_t, 4> lockVariants{
        0, XCB_MOD_MASK_LOCK, static_cast<uint16_t>(lockMask_ & ~XCB_MOD_MASK_LOCK), lockMask_};
    for (const xcb_keycode_t code : keyCodes_) {
        for (const uint16_t locks : lockVariants) {
            xcb_ungrab_key(connection_, code, root_, static_cast<uint16_t>(modifierMask_ | locks));
        }
    }
    xcb_flush(connection_);
    keyCodes_.clear();
}

bool GlobalHotKeyX11::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    return handle(static_cast<const xcb_generic_event_t*>(message));
}

void GlobalHotKeyX11::readPrivateEvents() {
    // The action may destroy this object; stop reading then, the connection is gone.
    const std::weak_ptr<int> alive = lifetime_;
    xcb_connection_t* connection = privateConnection_;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        handle(event);
        std::free(event);
        if (alive.expired()) {
            return;
        }
    }
}

bool GlobalHotKeyX11::handle(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    // XKB's new-keyboard and map notifications, told apart by the byte after the type.
    constexpr std::uint8_t kNewKeyboardNotify = 0;
    constexpr std::uint8_t kMapNotify = 1;
    if (xkbEvent_ != 0 && type == xkbEvent_) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        // Also when the keymap had no key for it: XWayland starts with an empty keymap until
        // the compositor has a keyboard.
        if (xkbType == kNewKeyboardNotify || xkbType == kMapNotify) {
            retry();
        }
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        // A new keyboard layout may put the key, or Alt and Super, elsewhere.
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        // A refused grab is tried again too: what held the key may have gone with the layout.
        if (mapping->request == XCB_MAPPING_KEYBOARD || mapping->request == XCB_MAPPING_MODIFIER) {
            retry();
        }
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    // Press and release events share one layout.
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->root != root_ || key->event != root_ ||
        std::find(keyCodes_.begin(), keyCodes_.end(), key->detail) == keyCodes_.end()) {
        return false;
    }
    if (type == XCB_KEY_RELEASE) {
        isHeld_ = false;
        lastReleasedKey_ = key->detail;
        lastReleaseTime_ = key->time;
        return true;
    }
    const uint16_t held = static_cast<uint16_t>(key->state & kModifierBits & ~lockMask_);
    if (held != modifierMask_) {
        return false;
    }
    // Auto-repeat either sends presses alone (detectable auto-repeat, as Qt asks for) or a
    // release and a press with the same time stamp; neither is a new press.
    const bool isRepeat =
        isHeld_ || (key->detail == lastReleasedKey_ && key->time == lastReleaseTime_);
    isHeld_ = true;
    if (!isRepeat) {
        // The action may end this object's life; it keeps its own copy alive for the call.
        const std::function<void()> pressed = pressed_;
        pressed();
    }
    return true;
}

} // namespace plinkora
