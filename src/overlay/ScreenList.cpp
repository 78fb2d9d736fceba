#include "overlay/ScreenList.hpp"

#include "overlay/SwayWorkspaces.hpp"
#include "overlay/X11Connection.hpp"

#include <QGuiApplication>
#include <QInputDevice>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace plinkora {

bool isBuiltIn(const ScreenInfo& screen) {
    return screen.name.startsWith(QStringLiteral("eDP")) ||
           screen.name.startsWith(QStringLiteral("LVDS")) ||
           screen.name.startsWith(QStringLiteral("DSI"));
}

std::optional<ScreenInfo> chooseTargetScreen(const std::vector<ScreenInfo>& screens,
                                             bool hasTouchScreen) {
    const ScreenInfo* builtIn = nullptr;
    const ScreenInfo* primary = nullptr;
    for (const ScreenInfo& screen : screens) {
        if (builtIn == nullptr && isBuiltIn(screen)) {
            builtIn = &screen;
        }
        if (primary == nullptr && screen.isPrimary) {
            primary = &screen;
        }
    }
    const ScreenInfo* touchCapable = nullptr;
    if (hasTouchScreen) {
        touchCapable = builtIn != nullptr ? builtIn : primary;
    }
    for (const ScreenInfo* choice : {touchCapable, builtIn, primary}) {
        if (choice != nullptr) {
            return *choice;
        }
    }
    if (screens.empty()) {
        return std::nullopt;
    }
    return screens.front();
}

QRect freeOfStruts(QRect screen, QSize root, const std::vector<Strut>& struts) {
    for (const Strut& strut : struts) {
        const auto span = [](int from, int to) { return to - from + 1; };
        if (strut.top > 0 &&
            screen.intersects(
                QRect(strut.topStartX, 0, span(strut.topStartX, strut.topEndX), strut.top))) {
            screen.setTop(std::max(screen.top(), strut.top));
        }
        if (strut.bottom > 0 &&
            screen.intersects(QRect(strut.bottomStartX, root.height() - strut.bottom,
                                    span(strut.bottomStartX, strut.bottomEndX), strut.bottom))) {
            screen.setBottom(std::min(screen.bottom(), root.height() - strut.bottom - 1));
        }
        if (strut.left > 0 && screen.intersects(QRect(0, strut.leftStartY, strut.left,
                                                      span(strut.leftStartY, strut.leftEndY)))) {
            screen.setLeft(std::max(screen.left(), strut.left));
        }
        if (strut.right > 0 &&
            screen.intersects(QRect(root.width() - strut.right, strut.rightStartY, strut.right,
                                    span(strut.rightStartY, strut.rightEndY)))) {
            screen.setRight(std::min(screen.right(), root.width() - strut.right - 1));
        }
    }
    return screen;
}

namespace {

using x11::atom;
using x11::ReplyPtr;

std::vector<std::uint32_t> cardinals(xcb_connection_t* x, xcb_window_t window, xcb_atom_t name) {
    ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(x, xcb_get_property(x, 0, window, name, XCB_ATOM_CARDINAL, 0, 64),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

/// Where the window manager publishes no work area (i3 does not), the struts its docks set,
/// read from the top-level windows and, under a reparenting manager, their children. Empty
/// where a work area is published: Qt's available geometry follows that one.
std::vector<Strut> strutsWithoutWorkArea() {
    xcb_connection_t* x = x11::connection();
    if (x == nullptr) {
        return {};
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    if (!cardinals(x, root, atom(x, "_NET_WORKAREA")).empty()) {
        return {};
    }
    const xcb_atom_t partial = atom(x, "_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t plain = atom(x, "_NET_WM_STRUT");
    std::vector<Strut> struts;
    const auto read = [&](xcb_window_t window) {
        std::vector<std::uint32_t> v = cardinals(x, window, partial);
        if (v.size() < 12) {
            v = cardinals(x, window, plain);
            if (v.size() < 4) {
                return;
            }
            v.resize(12, 0);
            v[5] = v[7] = v[9] = v[11] = 0x7fff;
        }
        const auto at = [&](std::size_t i) { return static_cast<int>(v[i]); };
        struts.push_back(
            {at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7), at(8), at(9), at(10), at(11)});
    };
    const auto children = [&](xcb_window_t parent) {
        ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(x, xcb_query_tree(x, parent), nullptr), &std::free);
        const xcb_window_t* first = tree ? xcb_query_tree_children(tree.get()) : nullptr;
        return first != nullptr ? std::vector<xcb_window_t>(
                                      first, first + xcb_query_tree_children_length(tree.get()))
                                : std::vector<xcb_window_t>();
    };
    for (const xcb_window_t window : children(root)) {
        read(window);
        for (const xcb_window_t child : children(window)) {
            read(child);
        }
    }
    return struts;
}

} // namespace

QtScreenList::QtScreenList()
    : sway_(std::make_unique<SwayWorkspaces>()) {
    sway_->setOnChange([this] { changed(); });
    const auto all = QGuiApplication::screens();
    for (QScreen* screen : all) {
        watch(screen);
    }
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtScreenList::changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &QtScreenList::changed);
}

QtScreenList::~QtScreenList() = default;

void QtScreenList::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &QtScreenList::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtScreenList::changed);
}

void QtScreenList::changed() {
    if (isChangePending_) {
        return;
    }
    isChangePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            isChangePending_ = false;
            if (onChange_) {
                onChange_();
            }
        },
        Qt::QueuedConnection);
}

std::vector<ScreenInfo> QtScreenList::screens() const {
    std::vector<ScreenInfo> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto all = QGuiApplication::screens();
    const std::vector<Strut> struts = strutsWithoutWorkArea();
    for (QScreen* screen : all) {
        QRect available = screen->availableGeometry();
        if (!struts.empty()) {
            // Struts are in the X screen's pixels; the geometry in Qt's.
            const double scale = screen->devicePixelRatio();
            const QRect native(screen->geometry().topLeft() * scale,
                               screen->geometry().size() * scale);
            const QRect free = freeOfStruts(native, screen->virtualSize() * scale, struts);
            available = QRect(free.topLeft() / scale, free.size() / scale);
        }
        if (const auto usable = sway_->usableArea(screen->geometry())) {
            available &= *usable;
        }
        result.push_back(
            ScreenInfo{screen->name(), screen->geometry(), available, screen == primary, screen});
    }
    // A bar may have come since the last answer without an event: the next answer says.
    sway_->refresh();
    return result;
}

bool QtScreenList::hasTouchScreen() const {
    const auto devices = QInputDevice::devices();
    for (const QInputDevice* device : devices) {
        if (device->type() == QInputDevice::DeviceType::TouchScreen) {
            return true;
        }
    }
    return false;
}

void QtScreenList::setOnChange(std::function<void()> onChange) {
    onChange_ = std::move(onChange);
}

} // namespace plinkora
