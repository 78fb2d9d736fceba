#include "app/SingleInstance.hpp"

#include "app/Logger.hpp"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plinkora {

namespace {

constexpr int kReplyTimeoutMs = 3000;

bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 0077) == 0;
}

} // namespace

std::string SingleInstance::defaultSocketPath() {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && isPrivateFolder(runtime)) {
        folder = runtime;
    } else {
        folder = "/tmp/plinkora-" + std::to_string(::getuid());
        ::mkdir(folder.c_str(), 0700);
        if (!isPrivateFolder(folder)) {
            return {};
        }
    }
    return folder + "/org.plinkora.Plinkora.socket";
}

bool SingleInstance::handOver(const std::string& socketPath, Verb verb) {
    if (socketPath.empty()) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    bool delivered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string line = verbName(verb) + "\n";
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(line.size())) {
            // The running instance answers once it has taken the verb.
            pollfd watch{fd, POLLIN, 0};
            char reply[8] = {};
            delivered = ::poll(&watch, 1, kReplyTimeoutMs) > 0 &&
                        ::recv(fd, reply, sizeof reply - 1, 0) > 0 &&
                        std::strncmp(reply, "ok", 2) == 0;
        }
    }
    ::close(fd);
    return delivered;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();
    }
}

bool SingleInstance::listen() {
    if (socketPath_.isEmpty()) {
        Logger::error("no private runtime folder: later launches cannot reach this one");
        return true;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        if (handOver(socketPath_.toStdString(), Verb::activate)) {
            return false;
        }
        // Nobody answers: the socket was left behind by an instance that died.
        QLocalServer::removeServer(socketPath_);
        if (!server_->listen(socketPath_)) {
            Logger::error("could not listen for later launches: " +
                          server_->errorString().toStdString());
            return true;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > 64) {
                    client->abort();
                }
                return;
            }
            const std::string line = client->readLine(64).trimmed().toStdString();
            const auto verb = verbFromName(line);
            client->write(verb ? "ok\n" : "unknown\n");
            client->flush();
            client->disconnectFromServer();
            if (verb && onVerb_) {
                onVerb_(*verb);
            }
        });
    }
}

} // namespace plinkora
