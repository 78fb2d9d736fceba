#include "overlay/X11OverlayWindow.hpp"

#include "overlay/X11Connection.hpp"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTouchEvent>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace plinkora {

namespace {

using x11::connection;
using x11::ReplyPtr;

/// The screen number DISPLAY names (":0.1" is screen 1); 0 when it names none.
int screenNumber() {
    const char* display = std::getenv("DISPLAY");
    const char* colon = display != nullptr ? std::strrchr(display, ':') : nullptr;
    const char* dot = colon != nullptr ? std::strchr(colon, '.') : nullptr;
    return dot != nullptr ? std::atoi(dot + 1) : 0;
}

xcb_window_t rootOf(xcb_connection_t* connection) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = screenNumber(); i > 0 && screens.rem > 1; --i) {
        xcb_screen_next(&screens);
    }
    return screens.data->root;
}

Qt::MouseButton qtButton(int button) {
    switch (button) {
    case 1:
        return Qt::LeftButton;
    case 2:
        return Qt::MiddleButton;
    case 3:
        return Qt::RightButton;
    default:
        return Qt::NoButton;
    }
}

Qt::MouseButtons qtButtons(std::uint16_t state) {
    Qt::MouseButtons buttons;
    buttons.setFlag(Qt::LeftButton, (state & XCB_BUTTON_MASK_1) != 0);
    buttons.setFlag(Qt::MiddleButton, (state & XCB_BUTTON_MASK_2) != 0);
    buttons.setFlag(Qt::RightButton, (state & XCB_BUTTON_MASK_3) != 0);
    return buttons;
}

} // namespace

bool X11OverlayWindow::isAvailable() {
    return connection() != nullptr;
}

bool X11OverlayWindow::hasCompositor() {
    xcb_connection_t* x = connection();
    if (x == nullptr) {
        return true;
    }
    const xcb_atom_t selection = x11::atom(x, "_NET_WM_CM_S" + std::to_string(screenNumber()));
    if (selection == XCB_ATOM_NONE) {
        return true;
    }
    ReplyPtr<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, selection), nullptr),
        &std::free);
    return !owner || owner->owner != XCB_NONE;
}

X11OverlayWindow::X11OverlayWindow(QWidget& panel, QWidget& content)
    : panel_(panel)
    , content_(content) {
    xcb_connection_t* x = connection();
    if (x == nullptr) {
        return;
    }
    const xcb_window_t root = rootOf(x);
    root_ = root;
    // Added to what Qt's connection already asks of the root window, not in its place.
    ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, root), nullptr),
        &std::free);
    const std::uint32_t rootEvents[] = {(attributes ? attributes->your_event_mask : 0U) |
                                        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, rootEvents);
    input_ = xcb_generate_id(x);
    // Values in the order of their mask bits: override-redirect, then the event mask.
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                           XCB_EVENT_MASK_BUTTON_MOTION};
    xcb_create_window(x, 0, input_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    selectTouches();
    xcb_flush(x);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void X11OverlayWindow::selectTouches() {
    xcb_connection_t* x = connection();
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(x, &xcb_input_id);
    if (xinput == nullptr || xinput->present == 0) {
        return;
    }
    ReplyPtr<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(x, xcb_input_xi_query_version(x, 2, 2), nullptr),
        &std::free);
    if (!version || version->major_version * 100 + version->minor_version < 202) {
        return;
    }
    xinputOpcode_ = xinput->major_opcode;
    // A window that asks for touches gets every finger as itself, where it would otherwise
    // get the first finger only, as a pointer.
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } touches{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
              XCB_INPUT_XI_EVENT_MASK_TOUCH_BEGIN | XCB_INPUT_XI_EVENT_MASK_TOUCH_UPDATE |
                  XCB_INPUT_XI_EVENT_MASK_TOUCH_END};
    xcb_input_xi_select_events(x, input_, 1, &touches.head);
    touchscreen_ = std::make_unique<QPointingDevice>(
        QStringLiteral("touch screen beneath the overlay"), 0,
        QInputDevice::DeviceType::TouchScreen, QPointingDevice::PointerType::Finger,
        QInputDevice::Capability::Position, 10, 0);
}

X11OverlayWindow::~X11OverlayWindow() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
    if (xcb_connection_t* x = connection(); x != nullptr && input_ != 0) {
        xcb_destroy_window(x, input_);
        xcb_flush(x);
    }
}

void X11OverlayWindow::setComposited(bool composited) {
    composited_ = composited;
    if (panel_.isVisible()) {
        follow();
    }
}

void X11OverlayWindow::setPaintedRegion(const QRegion& devicePixels) {
    painted_ = devicePixels;
    if (!composited_) {
        applyShape();
    }
}

void X11OverlayWindow::applyShape() {
    xcb_connection_t* x = connection();
    if (x == nullptr || !panel_.testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const auto panel = static_cast<xcb_window_t>(panel_.winId());
    if (composited_) {
        // Whole again, for the compositor to blend.
        xcb_shape_mask(x, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, panel, 0, 0, XCB_NONE);
        xcb_flush(x);
        return;
    }
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(static_cast<std::size_t>(painted_.rectCount()));
    for (const QRect& rect : painted_) {
        rectangles.push_back(
            {static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
             static_cast<std::uint16_t>(rect.width()), static_cast<std::uint16_t>(rect.height())});
    }
    // No rectangles is an empty shape: nothing of the panel shows, the input window takes it all.
    xcb_shape_rectangles(x, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                         panel, 0, 0, static_cast<std::uint32_t>(rectangles.size()),
                         rectangles.data());
    xcb_flush(x);
}

void X11OverlayWindow::follow() {
    xcb_connection_t* x = connection();
    if (x == nullptr) {
        return;
    }
    const double scale = panel_.devicePixelRatioF();
    const QRect frame = panel_.geometry();
    const std::uint32_t geometry[] = {static_cast<std::uint32_t>(frame.x() * scale),
                                      static_cast<std::uint32_t>(frame.y() * scale),
                                      static_cast<std::uint32_t>(frame.width() * scale),
                                      static_cast<std::uint32_t>(frame.height() * scale)};
    xcb_configure_window(x, input_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         geometry);
    if (composited_) {
        touches_.clear();
        xcb_unmap_window(x, input_);
    } else {
        xcb_map_window(x, input_);
    }
    applyShape();
    raise();
}

void X11OverlayWindow::withdraw() {
    // Fingers still down when the window goes get no end from the server.
    touches_.clear();
    if (xcb_connection_t* x = connection(); x != nullptr) {
        xcb_unmap_window(x, input_);
        xcb_flush(x);
    }
}

void X11OverlayWindow::raise() {
    xcb_connection_t* x = connection();
    if (x == nullptr || !panel_.isVisible()) {
        return;
    }
    const auto panel = static_cast<xcb_window_t>(panel_.winId());
    const std::uint32_t top[] = {XCB_STACK_MODE_ABOVE};
    xcb_configure_window(x, panel, XCB_CONFIG_WINDOW_STACK_MODE, top);
    const std::uint32_t beneath[] = {panel, XCB_STACK_MODE_BELOW};
    xcb_configure_window(x, input_, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                         beneath);
    xcb_flush(x);
}

void X11OverlayWindow::forwardPointer(int type, int x, int y, int button, std::uint16_t state) {
    const double scale = panel_.devicePixelRatioF();
    const QPointF local(x / scale, y / scale);
    Qt::MouseButtons buttons = qtButtons(state);
    const Qt::MouseButton changed = qtButton(button);
    QEvent::Type kind = QEvent::MouseMove;
    if (type == XCB_BUTTON_PRESS) {
        kind = QEvent::MouseButtonPress;
        buttons |= changed;
    } else if (type == XCB_BUTTON_RELEASE) {
        kind = QEvent::MouseButtonRelease;
        buttons &= ~changed;
    }
    if (kind != QEvent::MouseMove && changed == Qt::NoButton) {
        return; // the wheel
    }
    QMouseEvent event(kind, local, content_.mapToGlobal(local),
                      kind == QEvent::MouseMove ? Qt::NoButton : changed, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&content_, &event);
}

void X11OverlayWindow::forwardTouch(int type, std::uint32_t id, QPointF devicePixels) {
    const QPointF local = devicePixels / panel_.devicePixelRatioF();
    QEventPoint::State state = QEventPoint::Updated;
    if (type == XCB_INPUT_TOUCH_BEGIN) {
        state = QEventPoint::Pressed;
    } else if (type == XCB_INPUT_TOUCH_END) {
        state = QEventPoint::Released;
    }
    QEvent::Type kind = QEvent::TouchUpdate;
    if (state == QEventPoint::Pressed && touches_.empty()) {
        kind = QEvent::TouchBegin;
    } else if (state == QEventPoint::Released && touches_.size() == 1 && touches_.contains(id)) {
        kind = QEvent::TouchEnd;
    }
    touches_[id] = local;
    // Like the platform's own touch events: every finger down, each in its own state.
    QList<QEventPoint> points;
    for (const auto& [finger, at] : touches_) {
        points.append(QEventPoint(static_cast<int>(finger),
                                  finger == id ? state : QEventPoint::Stationary, at,
                                  content_.mapToGlobal(at)));
    }
    if (state == QEventPoint::Released) {
        touches_.erase(id);
    }
    QTouchEvent event(kind, touchscreen_.get(), Qt::NoModifier, points);
    QCoreApplication::sendEvent(&content_, &event);
}

bool X11OverlayWindow::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type != "xcb_generic_event_t" || input_ == 0 ||
        !panel_.testAttribute(Qt::WA_WState_Created)) {
        return false;
    }
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
        auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (press->event != input_) {
            return false;
        }
        forwardPointer(event->response_type & 0x7f, press->event_x, press->event_y, press->detail,
                       press->state);
        return true;
    }
    case XCB_MOTION_NOTIFY: {
        auto* motion = reinterpret_cast<xcb_motion_notify_event_t*>(event);
        if (motion->event != input_) {
            return false;
        }
        forwardPointer(XCB_MOTION_NOTIFY, motion->event_x, motion->event_y, 0, motion->state);
        return true;
    }
    case XCB_GE_GENERIC: {
        auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event);
        if (xinputOpcode_ == 0 || generic->extension != xinputOpcode_ ||
            generic->event_type < XCB_INPUT_TOUCH_BEGIN ||
            generic->event_type > XCB_INPUT_TOUCH_END) {
            return false;
        }
        auto* touch = reinterpret_cast<xcb_input_touch_begin_event_t*>(event);
        if (touch->event != input_) {
            return false;
        }
        forwardTouch(generic->event_type, touch->detail,
                     QPointF(touch->event_x / 65536.0, touch->event_y / 65536.0));
        return true;
    }
    case XCB_MAP_NOTIFY: {
        auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
        if (map->event == root_ && map->override_redirect == 0) {
            raise();
        }
        return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // Whatever a window manager does to a managed window (raise it, make it full-screen,
        // restack it beside another) may have put it above the panel: the panel goes back on
        // top. Other override-redirect windows (menus) may stay above it.
        auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
        if (configure->event == root_ && configure->override_redirect == 0) {
            raise();
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace plinkora
