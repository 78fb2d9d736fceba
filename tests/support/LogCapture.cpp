#include "LogCapture.hpp"

namespace plinkora::testing {

LogCapture::LogCapture() {
    Logger::setSinkForTesting([this](LogLevel level, const std::string& text) {
        const std::lock_guard lock(mutex_);
        lines_.push_back({level, text});
    });
}

LogCapture::~LogCapture() {
    Logger::setSinkForTesting({});
}

std::vector<LogCapture::Line> LogCapture::lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
}

void LogCapture::clear() {
    const std::lock_guard lock(mutex_);
    lines_.clear();
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> result;
    for (const auto& line : lines()) {
        result.push_back(line.text);
    }
    return result;
}

std::size_t LogCapture::count(const std::string& fragment) const {
    std::size_t n = 0;
    for (const auto& line : lines()) {
        if (line.text.find(fragment) != std::string::npos) {
            ++n;
        }
    }
    return n;
}

} // namespace plinkora::testing
