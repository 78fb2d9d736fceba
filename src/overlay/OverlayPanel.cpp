#include "overlay/OverlayPanel.hpp"

#include "app/Logger.hpp"
#include "overlay/X11Connection.hpp"
#include "overlay/X11OverlayWindow.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <xcb/xcb.h>

namespace plinkora {

namespace {

constexpr Qt::WindowFlags kFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                   Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;

constexpr auto kNoAtom = static_cast<xcb_atom_t>(XCB_ATOM_NONE);
using x11::atom;

} // namespace

OverlayPanel::OverlayPanel(QWidget* content)
    : QWidget(nullptr, kFlags)
    , content_(content) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Plinkora"));
    content_->setParent(this);
    content_->setGeometry(rect());
    content_->show();
    if (X11OverlayWindow::isAvailable()) {
        // Override-redirect: no window manager stacks it below others, tiles or focuses it.
        setWindowFlags(kFlags | Qt::X11BypassWindowManagerHint);
        x11_ = std::make_unique<X11OverlayWindow>(*this, *content_);
    }
    compositorWatch_.setInterval(1000);
    connect(&compositorWatch_, &QTimer::timeout, this, [this] { followCompositor(); });
}

OverlayPanel::~OverlayPanel() = default;

void OverlayPanel::present() {
    applyDesktopHints();
    show();
    raise();
    followCompositor();
    if (x11_) {
        x11_->follow();
        compositorWatch_.start();
    }
}

bool OverlayPanel::showsOnlyPainted() const {
    return x11_ && !x11_->isComposited();
}

void OverlayPanel::followCompositor() {
    if (!x11_) {
        return;
    }
    const bool composited = X11OverlayWindow::hasCompositor();
    if (composited_ == composited) {
        return;
    }
    composited_ = composited;
    if (!composited && paintedRegion_) {
        x11_->setPaintedRegion(paintedRegion_());
    }
    x11_->setComposited(composited);
    Logger::info(composited
                     ? "overlay: a compositing manager runs; the panel is clear where it draws "
                       "nothing"
                     : "overlay: no compositing manager; the panel shows only what it draws");
}

void OverlayPanel::paintedChanged() {
    if (showsOnlyPainted() && paintedRegion_) {
        x11_->setPaintedRegion(paintedRegion_());
    }
}

void OverlayPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    content_->setGeometry(rect());
    if (x11_ && isVisible()) {
        x11_->follow();
    }
}

void OverlayPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (x11_ && isVisible()) {
        x11_->follow();
    }
}

void OverlayPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    compositorWatch_.stop();
    if (x11_) {
        x11_->withdraw();
    }
}

void OverlayPanel::applyDesktopHints() {
    xcb_connection_t* connection = x11::connection();
    if (connection == nullptr) {
        return;
    }
    const auto window = static_cast<xcb_window_t>(winId());
    const xcb_atom_t wmState = atom(connection, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 4> states{atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                           atom(connection, "_NET_WM_STATE_SKIP_PAGER"),
                                           atom(connection, "_NET_WM_STATE_STICKY"),
                                           atom(connection, "_NET_WM_STATE_ABOVE")};
    const xcb_atom_t desktop = atom(connection, "_NET_WM_DESKTOP");
    if (wmState == kNoAtom || desktop == kNoAtom ||
        std::find(states.begin(), states.end(), kNoAtom) != states.end()) {
        // Without the atoms there is nothing a window manager could read; the panel still
        // shows, only without the hints.
        Logger::error("overlay panel: the X server gave no atoms for the window-manager hints");
        return;
    }
    constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;

    if (!isVisible()) {
        // Qt merges its own states into what it finds here when it maps the window.
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, wmState, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL,
                            32, 1, &kAllDesktops);
    } else {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        auto send = [&](xcb_atom_t type, std::array<std::uint32_t, 5> data) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = window;
            message.type = type;
            for (std::size_t i = 0; i < data.size(); ++i) {
                message.data.data32[i] = data[i];
            }
            xcb_send_event(connection, 0, root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&message));
        };
        constexpr std::uint32_t kAdd = 1;
        constexpr std::uint32_t kFromApplication = 1;
        send(wmState, {kAdd, states[0], states[1], kFromApplication, 0});
        send(wmState, {kAdd, states[2], states[3], kFromApplication, 0});
        send(desktop, {kAllDesktops, kFromApplication, 0, 0, 0});
    }
    xcb_flush(connection);
}

} // namespace plinkora
