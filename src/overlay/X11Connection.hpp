#pragma once

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <xcb/xcb.h>

/// The overlay's few X11 requests go over Qt's own connection. Main thread only.
namespace plinkora::x11 {

/// An xcb reply, freed as xcb wants.
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

/// Qt's X connection; null off X11 (offscreen, or before the application exists).
inline xcb_connection_t* connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

/// The atom named `name`; XCB_ATOM_NONE when the server gives none.
inline xcb_atom_t atom(xcb_connection_t* connection, std::string_view name) {
    ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
            nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace plinkora::x11
