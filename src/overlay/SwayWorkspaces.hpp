#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace plinkora {

/// What each output of a sway session leaves for windows: the output less the space its bars
/// and other layer-shell panels reserve, as sway's IPC reports it ($SWAYSOCK). Those panels
/// are Wayland surfaces: XWayland, and so every X11 means of finding them, knows nothing of
/// them.
///
/// Main thread only. It never waits for sway: it asks, and acts on the answers as they come.
class SwayWorkspaces final : public QObject {
    Q_OBJECT
public:
    /// Connects when the session names a sway socket; otherwise it knows nothing.
    SwayWorkspaces();

    /// The usable area of the output shown as `screen`, as last reported. XWayland names its
    /// screens after itself, not after the outputs: they are matched by where they lie.
    std::optional<QRect> usableArea(const QRect& screen) const;
    /// Asks again (a bar may have come or gone without an event).
    void refresh();
    /// Called when an answer changes an output's usable area.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

private:
    void send(std::uint32_t type, const QByteArray& payload = {});
    void readMessages();
    void takeWorkspaces(const QByteArray& json);

    QLocalSocket socket_;
    QByteArray received_;
    std::map<QString, QRect> areas_;
    std::function<void()> onChange_;
};

} // namespace plinkora
