#include "SignalWatcher.hpp"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plinkora {

namespace {

int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent)
    , onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::drain);
    struct sigaction action {};
    action.sa_handler = &SignalWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : kSignals) {
        ::sigaction(signo, &action, nullptr);
    }
}

SignalWatcher::~SignalWatcher() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signo : kSignals) {
        ::sigaction(signo, &action, nullptr);
    }
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void SignalWatcher::handle(int signo) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[0], &byte, 1);
    errno = saved;
}

void SignalWatcher::drain() {
    unsigned char byte = 0;
    while (::read(pipeFds[1], &byte, 1) == 1) {
        if (onSignal_) {
            onSignal_(byte);
        }
    }
}

} // namespace plinkora
