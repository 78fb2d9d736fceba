#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace plinkora::testing {

/// Reads a FIFO the way the helper does, on a thread of its own: each opening yields at most
/// one line (read byte by byte up to the line feed), then the FIFO is closed, and the reader
/// stays away for `busy` before opening it again. What it read is for the test's thread only
/// after finish().
class FifoReader {
public:
    FifoReader(std::string path, std::size_t lines,
               std::chrono::milliseconds startAfter = std::chrono::milliseconds(0),
               std::chrono::milliseconds busy = std::chrono::milliseconds(0));
    ~FifoReader();
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    /// Waits up to `limit` for the expected number of lines, stops the reader and returns
    /// every line it read (without line feeds).
    std::vector<std::string> finish(std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
    void run();

    const std::string path_;
    const std::size_t wanted_;
    const std::chrono::milliseconds startAfter_;
    const std::chrono::milliseconds busy_;
    std::atomic<bool> isStopping_{false};
    std::atomic<bool> isDone_{false};
    std::vector<std::string> lines_;
    std::thread thread_;
};

} // namespace plinkora::testing
