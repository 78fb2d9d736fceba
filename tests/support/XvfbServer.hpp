#pragma once

#include "ChildProcess.hpp"

#include <memory>
#include <string>

namespace plinkora::testing {

/// A private X server on a free display number, for the life of the object.
class XvfbServer {
public:
    explicit XvfbServer(const std::string& screenSize = "1280x800x24");
    ~XvfbServer();

    /// ":N"
    const std::string& display() const { return display_; }
    /// Sets DISPLAY for this process (and so for Qt and the X tools the test runs).
    void exportDisplay() const;
    /// Ends the server, as a crash or a logout would.
    void stop() { process_.reset(); }

private:
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

} // namespace plinkora::testing
