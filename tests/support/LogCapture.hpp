#pragma once

#include "app/Logger.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace plinkora::testing {

/// Collects every log line written while it lives, from any thread.
class LogCapture {
public:
    struct Line {
        LogLevel level;
        std::string text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const;
    /// The texts only, in order.
    std::vector<std::string> texts() const;
    /// How many lines contain `fragment`.
    std::size_t count(const std::string& fragment) const;
    bool contains(const std::string& fragment) const { return count(fragment) > 0; }
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Line> lines_;
};

} // namespace plinkora::testing
