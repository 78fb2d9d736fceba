#include "overlay/SwayWorkspaces.hpp"

#include "app/Logger.hpp"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <cstring>

namespace plinkora {

namespace {

// The i3 IPC framing sway speaks: magic, payload length, message type, in host byte order.
constexpr char kMagic[] = "i3-ipc";
constexpr qsizetype kMagicSize = sizeof kMagic - 1;
constexpr qsizetype kHeaderSize = kMagicSize + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t kGetWorkspaces = 1;
constexpr std::uint32_t kSubscribe = 2;
constexpr std::uint32_t kEvent = 0x80000000U;
// Longer than any workspace list: a stream that claims more is not sway's.
constexpr std::uint32_t kLongestPayload = 16U << 20;

} // namespace

SwayWorkspaces::SwayWorkspaces() {
    const char* path = std::getenv("SWAYSOCK");
    if (path == nullptr || *path == '\0') {
        return;
    }
    connect(&socket_, &QLocalSocket::readyRead, this, &SwayWorkspaces::readMessages);
    connect(&socket_, &QLocalSocket::connected, this, [this] {
        send(kSubscribe, QByteArrayLiteral(R"(["workspace","output"])"));
        send(kGetWorkspaces);
    });
    connect(&socket_, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError) {
        Logger::info("overlay: sway's IPC is not available (" +
                     socket_.errorString().toStdString() + "); its bars may be covered");
    });
    socket_.connectToServer(QString::fromLocal8Bit(path));
}

std::optional<QRect> SwayWorkspaces::usableArea(const QRect& screen) const {
    for (const auto& [output, area] : areas_) {
        if (screen.contains(area.center())) {
            return area;
        }
    }
    return std::nullopt;
}

void SwayWorkspaces::refresh() {
    if (socket_.state() == QLocalSocket::ConnectedState) {
        send(kGetWorkspaces);
    }
}

void SwayWorkspaces::send(std::uint32_t type, const QByteArray& payload) {
    QByteArray message(kMagic, kMagicSize);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message.append(payload);
    socket_.write(message);
}

void SwayWorkspaces::readMessages() {
    received_.append(socket_.readAll());
    while (received_.size() >= kHeaderSize) {
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        std::memcpy(&length, received_.constData() + kMagicSize, sizeof length);
        std::memcpy(&type, received_.constData() + kMagicSize + sizeof length, sizeof type);
        if (!received_.startsWith(kMagic) || length > kLongestPayload) {
            Logger::info("overlay: sway's IPC sent something unreadable; its bars may be covered");
            socket_.abort();
            received_.clear();
            return;
        }
        if (received_.size() < kHeaderSize + static_cast<qsizetype>(length)) {
            return;
        }
        const QByteArray payload = received_.mid(kHeaderSize, length);
        received_.remove(0, kHeaderSize + length);
        if (type == kGetWorkspaces) {
            takeWorkspaces(payload);
        } else if ((type & kEvent) != 0) {
            // A workspace or output changed: what is usable may have too.
            send(kGetWorkspaces);
        }
    }
}

void SwayWorkspaces::takeWorkspaces(const QByteArray& json) {
    std::map<QString, QRect> areas;
    const QJsonArray workspaces = QJsonDocument::fromJson(json).array();
    for (const auto& value : workspaces) {
        const QJsonObject workspace = value.toObject();
        if (!workspace.value(QStringLiteral("visible")).toBool()) {
            continue;
        }
        const QJsonObject rect = workspace.value(QStringLiteral("rect")).toObject();
        const QRect area(rect.value(QStringLiteral("x")).toInt(),
                         rect.value(QStringLiteral("y")).toInt(),
                         rect.value(QStringLiteral("width")).toInt(),
                         rect.value(QStringLiteral("height")).toInt());
        if (area.isValid()) {
            areas[workspace.value(QStringLiteral("output")).toString()] = area;
        }
    }
    if (areas != areas_) {
        areas_ = std::move(areas);
        if (onChange_) {
            onChange_();
        }
    }
}

} // namespace plinkora
