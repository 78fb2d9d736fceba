#pragma once

#include "logo/PipeWriter.hpp"

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace plinkora {

/// Writes command lines into the helper's FIFO from a serial worker thread of its own.
///
/// What runs where:
/// - Main thread: construction, write() and destruction. write() only queues and returns.
/// - The worker thread ("logo-pipe"): the blocking part, one line at a time in queue order:
///   open, write, close, and the pauses between retries. It touches nothing but the queue,
///   its own copies of the settings, and the pipe.
/// The queue's mutex and condition variable guard its only shared state and never any work:
/// they are held just to push or pop a command or to read whether the queue is closing. The queue
/// holds plain enum values in a fixed ring, so nothing is allocated or freed across threads.
///
/// The helper reads one line per opening of the pipe, so each line gets a fresh open. An open
/// succeeds only while the helper waits on the pipe; a line is tried `attempts` times,
/// `pause` apart, and then dropped silently.
class FifoPipeWriter final : public PipeWriter {
public:
    struct Retry {
        int attempts = 50;
        std::chrono::microseconds pause{20000};
        /// After a write, how long to wait for the reader to close its end before closing
        /// ours, so the next line cannot land in the same opening (and be discarded with it).
        std::chrono::milliseconds readerCloseWait{100};
    };
    /// Called on the worker thread when a line is done with: how many opens it took and
    /// whether it was written. For tests; production passes none.
    using LineFinished = std::function<void(Lamp, int attempts, bool delivered)>;

    explicit FifoPipeWriter(std::string pipePath);
    FifoPipeWriter(std::string pipePath, Retry retry, LineFinished onLineFinished = {});
    /// Lets the queued lines finish, but cuts their retries short after a grace of
    /// kShutdownGrace, so that quitting without a helper does not wait for every retry.
    ~FifoPipeWriter() override;
    FifoPipeWriter(const FifoPipeWriter&) = delete;
    FifoPipeWriter& operator=(const FifoPipeWriter&) = delete;

    void write(Lamp command) override;

    static constexpr std::chrono::milliseconds kShutdownGrace{300};
    /// Lines waiting behind the one being written; when a missing helper lets more pile up,
    /// the oldest waiting lines are dropped (the last line says how the logo ends up).
    static constexpr std::size_t kQueueCapacity = 16;

    /// One attempt: opens `path` write-only, non-blocking and without following a link, and
    /// writes `line` in one call only when what opened is a FIFO. Blocks for up to
    /// `readerCloseWait`; safe on any thread. Returns whether the line was written.
    static bool writeLineOnce(const std::string& path, std::string_view line,
                              std::chrono::milliseconds readerCloseWait);

private:
    void run();
    bool deliver(Lamp command, int& attempts);
    /// Whether the queue is shutting down and its grace has run out.
    bool isOutOfTime();

    const std::string pipePath_;
    const Retry retry_;
    const LineFinished onLineFinished_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::array<Lamp, kQueueCapacity> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool isStopping_ = false;
    std::chrono::steady_clock::time_point shutdownDeadline_{};

    std::thread worker_;
};

} // namespace plinkora
