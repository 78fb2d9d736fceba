#include "SingleInstance.hpp"

#include "app/Logger.hpp"

#include <QDateTime>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace plinkora {

namespace {

/// How long a launch waits for the instance to take its verb before calling it busy.
constexpr int kReplyTimeoutMs = 2000;
/// How long a launch keeps trying to reach an instance that holds the lock.
constexpr auto kReachTimeout = std::chrono::seconds(10);
/// A hand-over connection that sends no line within this long is closed.
constexpr int kIdleConnectionMs = 5000;

bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 0077) == 0;
}

std::string madePrivate(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
    return isPrivateFolder(path) ? path : std::string();
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

/// The socket's address: its path, or one through this process's handle on the folder when
/// the path is too long for sun_path.
bool addressOf(int folderFd, const std::string& folder, const std::string& name,
               sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    std::string path = folder + "/" + name;
    if (path.size() >= sizeof address.sun_path) {
        path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + name;
    }
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

long long nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

std::string SingleInstance::privateFolder() {
    std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && isPrivateFolder(runtime)) {
        return runtime;
    }
    std::string tmp = environment("TMPDIR");
    if (tmp.empty()) {
        tmp = "/tmp";
    }
    // Another account may have planted this one; then it is passed over, never used.
    if (auto folder = madePrivate(tmp + "/plinkora-" + std::to_string(::getuid()));
        !folder.empty()) {
        return folder;
    }
    const std::string home = environment("HOME");
    if (home.empty()) {
        return {};
    }
    ::mkdir((home + "/.cache").c_str(), 0700);
    ::mkdir((home + "/.cache/Plinkora").c_str(), 0700);
    return madePrivate(home + "/.cache/Plinkora/runtime");
}

SingleInstance::SingleInstance(std::string folder, QObject* parent)
    : QObject(parent)
    , folder_(std::move(folder)) {
    if (!folder_.empty()) {
        folderFd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
}

SingleInstance::~SingleInstance() {
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        // Removes the socket only if it is still the one this instance made.
        struct stat info {};
        if (::lstat(socketPath_.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
            info.st_ino == socketInode_) {
            ::unlink(socketPath_.c_str());
        }
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

bool SingleInstance::claim() {
    if (folderFd_ < 0) {
        return true;
    }
    if (lockFd_ < 0) {
        lockFd_ = ::openat(folderFd_, kLockName,
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    }
    if (lockFd_ < 0) {
        Logger::error("could not open the instance lock in " + folder_ + ": " +
                      std::strerror(errno));
        return true;
    }
    return ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
}

std::string SingleInstance::readSocketName() const {
    const int fd = ::openat(folderFd_, kLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char buffer[128] = {};
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    std::string name(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    // Only a plain name in the folder, never a path elsewhere.
    const bool plain = name.find('/') == std::string::npos && name.rfind("org.plinkora.", 0) == 0;
    return plain ? name : std::string();
}

int SingleInstance::handOver(Verb verb, const std::function<void(const char* english)>& tell) {
    const auto giveUp = std::chrono::steady_clock::now() + kReachTimeout;
    while (std::chrono::steady_clock::now() < giveUp) {
        const std::string name = readSocketName();
        sockaddr_un address{};
        const int fd = name.empty() || !addressOf(folderFd_, folder_, name, address)
                           ? -1
                           : ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0 &&
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const std::string line = verbName(verb) + " " + std::to_string(nowMs()) + "\n";
            const bool sent = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
                              static_cast<ssize_t>(line.size());
            pollfd watch{fd, POLLIN, 0};
            char reply[8] = {};
            const bool taken = sent && ::poll(&watch, 1, kReplyTimeoutMs) > 0 &&
                               ::recv(fd, reply, sizeof reply - 1, 0) > 0 &&
                               std::strncmp(reply, "ok", 2) == 0;
            ::close(fd);
            if (taken) {
                return 0;
            }
            if (sent) {
                tell(QT_TRANSLATE_NOOP("plinkora::CommandLine",
                                       "Plinkora is busy; the request will be handled when it is "
                                       "free.\n"));
                return 0;
            }
        } else if (fd >= 0) {
            ::close(fd);
        }
        // The instance may have quit, or still be starting.
        if (claim()) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    tell(QT_TRANSLATE_NOOP("plinkora::CommandLine",
                           "Plinkora is running but does not answer; the request was not "
                           "delivered.\n"));
    return 1;
}

void SingleInstance::listen() {
    if (folderFd_ < 0) {
        Logger::error("no private runtime folder: later launches cannot reach this one");
        return;
    }
    // Whatever sits at the usual name is left alone unless it is a socket of ours (a dead
    // instance's); a directory or file planted there sends this one to another name.
    std::string name = kSocketName;
    struct stat planted {};
    if (::fstatat(folderFd_, name.c_str(), &planted, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISSOCK(planted.st_mode) && planted.st_uid == ::getuid()) {
            ::unlinkat(folderFd_, name.c_str(), 0);
        } else {
            name = "org.plinkora.Plinkora-" + std::to_string(::getpid()) + ".socket";
            ::unlinkat(folderFd_, name.c_str(), 0);
        }
    }
    sockaddr_un address{};
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0 || !addressOf(folderFd_, folder_, name, address) ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        Logger::error("could not listen for later launches in " + folder_ + ": " +
                      std::strerror(errno));
        if (listenFd_ >= 0) {
            ::close(listenFd_);
            listenFd_ = -1;
        }
        return;
    }
    socketPath_ = address.sun_path;
    struct stat bound {};
    if (::fstatat(folderFd_, name.c_str(), &bound, AT_SYMLINK_NOFOLLOW) == 0) {
        socketInode_ = bound.st_ino;
        socketPath_ = folder_ + "/" + name;
    }
    // Later launches find the socket through the lock file.
    if (::ftruncate(lockFd_, 0) != 0 || ::pwrite(lockFd_, name.data(), name.size(), 0) < 0) {
        Logger::error("could not record the instance's socket: " +
                      std::string(std::strerror(errno)));
    }
    notifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
}

void SingleInstance::acceptConnections() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return;
        }
        auto* client = new QLocalSocket(this);
        client->setSocketDescriptor(fd);
        auto* idle = new QTimer(client);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, client, &QLocalSocket::abort);
        idle->start(kIdleConnectionMs);
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > 64) {
                    client->abort();
                }
                return;
            }
            const QList<QByteArray> words = client->readLine(64).trimmed().split(' ');
            const auto verb = verbFromName(words.value(0).toStdString());
            bool isNumber = false;
            const long long sentAt = words.value(1).toLongLong(&isNumber);
            const bool isStale = isNumber && nowMs() - sentAt > kVerbLifetimeSeconds * 1000LL;
            client->write(verb && !isStale ? "ok\n" : "unknown\n");
            client->flush();
            client->disconnectFromServer();
            if (isStale) {
                Logger::info("a request from a later launch waited more than 30 s and was "
                             "dropped");
            } else if (verb && onVerb_) {
                onVerb_(*verb);
            }
        });
    }
}

} // namespace plinkora
