#include "LogCapture.hpp"

namespace plinkora::testing {

LogCapture::LogCapture() {
    Logger::setSinkForTesting([this](LogLevel level, const std::string& text) {
        lines_.push_back({level, text});
    });
}

LogCapture::~LogCapture() {
    Logger::setSinkForTesting({});
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> result;
    for (const auto& line : lines_) {
        result.push_back(line.text);
    }
    return result;
}

std::size_t LogCapture::count(const std::string& fragment) const {
    std::size_t n = 0;
    for (const auto& line : lines_) {
        if (line.text.find(fragment) != std::string::npos) {
            ++n;
        }
    }
    return n;
}

} // namespace plinkora::testing
