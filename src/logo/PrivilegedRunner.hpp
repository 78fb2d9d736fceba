#pragma once

#include <string>

namespace plinkora {

/// Runs a staged shell script as root, with the desktop's own password prompt. Main thread;
/// blocks until the prompt has been answered and the script has ended.
class PrivilegedRunner {
public:
    virtual ~PrivilegedRunner() = default;

    /// Runs "/bin/sh `scriptPath`" as administrator; throws HelperError when it did not
    /// succeed, with the message for the user.
    virtual void runAsAdministrator(const std::string& scriptPath) = 0;
};

} // namespace plinkora
