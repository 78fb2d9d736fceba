#pragma once

#include "ChildProcess.hpp"
#include "TempHome.hpp"

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace plinkora::testing {

/// The base of the fixtures that run the program under test (PLINKORA_BINARY, set by the
/// build) in a private home, with its log lines in one file there.
class RealProgram {
protected:
    /// Starts the program with `arguments`; its output goes to the log file, or to `output` in
    /// the home.
    std::unique_ptr<ChildProcess> launch(const std::vector<std::string>& arguments,
                                         const std::map<std::string, std::string>& environment,
                                         const std::string& output = {}) const {
        std::vector<std::string> argv{binary_};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(argv, environment, -1,
                                              output.empty() ? logFile_ : path(output));
    }
    /// A file in the home.
    std::string path(const std::string& name) const {
        return home.path().toStdString() + "/" + name;
    }
    std::string log() const { return readFile(logFile_); }
    std::size_t count(const std::string& fragment) const { return countIn(logFile_, fragment); }
    /// Waits until the log holds `fragment` `times` times.
    bool waitForLog(const std::string& fragment, std::size_t times = 1, double seconds = 10) const {
        return waitUntil([&] { return count(fragment) >= times; }, seconds);
    }

    TempHome home;
    const std::string binary_ = [] {
        const char* binary = std::getenv("PLINKORA_BINARY");
        return binary != nullptr ? std::string(binary)
                                 : throw std::runtime_error("PLINKORA_BINARY names the program");
    }();
    const std::string logFile_ = path("plinkora.log");
};

} // namespace plinkora::testing
