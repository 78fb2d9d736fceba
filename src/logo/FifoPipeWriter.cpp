#include "logo/FifoPipeWriter.hpp"

#include "app/HelperStatus.hpp"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

namespace {

/// A reader that closes between our open and our write raises SIGPIPE, which must not end
/// the application: it is blocked around the write, and the one a failed write raised is
/// taken before the thread's mask is restored.
ssize_t writeWithoutSigpipe(int fd, std::string_view line) {
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &sigpipe, &previous);
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n < 0 && errno == EPIPE) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&sigpipe, nullptr, &noWait) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return n;
}

/// Waits until nobody holds the read end (the helper has taken its line and closed), which
/// poll reports on the write end as POLLERR.
void awaitReaderClose(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        pollfd watched{fd, 0, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready > 0 || (ready < 0 && errno != EINTR)) {
            return;
        }
    }
}

} // namespace

FifoPipeWriter::FifoPipeWriter(std::string pipePath)
    : FifoPipeWriter(std::move(pipePath), Retry{}) {}

FifoPipeWriter::FifoPipeWriter(std::string pipePath, Retry retry, LineFinished onLineFinished)
    : pipePath_(std::move(pipePath))
    , retry_(retry)
    , onLineFinished_(std::move(onLineFinished))
    , worker_([this] { run(); }) {}

FifoPipeWriter::~FifoPipeWriter() {
    {
        std::lock_guard lock(mutex_);
        isStopping_ = true;
        shutdownDeadline_ = std::chrono::steady_clock::now() + kShutdownGrace;
    }
    wake_.notify_one();
    worker_.join();
}

void FifoPipeWriter::write(Lamp command) {
    {
        std::lock_guard lock(mutex_);
        if (count_ == kQueueCapacity) {
            head_ = (head_ + 1) % kQueueCapacity;
            --count_;
        }
        queue_[(head_ + count_) % kQueueCapacity] = command;
        ++count_;
    }
    wake_.notify_one();
}

void FifoPipeWriter::run() {
    pthread_setname_np(pthread_self(), "logo-pipe");
    for (;;) {
        Lamp command;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return count_ > 0 || isStopping_; });
            if (count_ == 0) {
                return;
            }
            command = queue_[head_];
            head_ = (head_ + 1) % kQueueCapacity;
            --count_;
        }
        int attempts = 0;
        const bool delivered = deliver(command, attempts);
        if (onLineFinished_) {
            onLineFinished_(command, attempts, delivered);
        }
    }
}

bool FifoPipeWriter::deliver(Lamp command, int& attempts) {
    const std::string_view line = lampLine(command);
    for (attempts = 1;; ++attempts) {
        if (writeLineOnce(pipePath_, line, retry_.readerCloseWait)) {
            return true;
        }
        if (attempts >= retry_.attempts || isOutOfTime()) {
            return false;
        }
        std::this_thread::sleep_for(retry_.pause);
    }
}

bool FifoPipeWriter::isOutOfTime() {
    std::lock_guard lock(mutex_);
    return isStopping_ && std::chrono::steady_clock::now() >= shutdownDeadline_;
}

bool FifoPipeWriter::writeLineOnce(const std::string& path, std::string_view line,
                                   std::chrono::milliseconds readerCloseWait) {
    const int fd = HelperStatus::openListeningPipe(path);
    if (fd < 0) {
        return false;
    }
    const bool written = writeWithoutSigpipe(fd, line) >= 0;
    if (written) {
        awaitReaderClose(fd, readerCloseWait);
    }
    ::close(fd);
    return written;
}

} // namespace plinkora
