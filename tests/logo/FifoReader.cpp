#include "FifoReader.hpp"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace plinkora::testing {

FifoReader::FifoReader(std::string path, std::size_t lines, std::chrono::milliseconds startAfter,
                       std::chrono::milliseconds busy)
    : path_(std::move(path))
    , wanted_(lines)
    , startAfter_(startAfter)
    , busy_(busy)
    , thread_([this] { run(); }) {}

FifoReader::~FifoReader() {
    finish(std::chrono::milliseconds(0));
}

std::vector<std::string> FifoReader::finish(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!isDone_ && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    isStopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return lines_;
}

void FifoReader::run() {
    const auto start = std::chrono::steady_clock::now() + startAfter_;
    while (!isStopping_ && std::chrono::steady_clock::now() < start) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    while (!isStopping_ && lines_.size() < wanted_) {
        // Non-blocking, so that the reader can be stopped; a writer sees it as waiting all
        // the same.
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        std::string line;
        bool hasLine = false;
        while (!isStopping_) {
            pollfd watched{fd, POLLIN, 0};
            if (::poll(&watched, 1, 20) <= 0) {
                continue;
            }
            if ((watched.revents & POLLIN) == 0) {
                break; // the writer closed without a line
            }
            char c = 0;
            const ssize_t n = ::read(fd, &c, 1);
            if (n == 1 && c == '\n') {
                hasLine = true;
                break;
            }
            if (n == 1) {
                line += c;
            } else if (n == 0 || errno != EAGAIN) {
                hasLine = !line.empty();
                break;
            }
        }
        ::close(fd);
        if (hasLine) {
            lines_.push_back(line);
        }
        std::this_thread::sleep_for(busy_);
    }
    isDone_ = true;
}

} // namespace plinkora::testing
