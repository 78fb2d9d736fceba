#pragma once

#include <functional>
#include <optional>
#include <string>

namespace plinkora {

/// Runs a shell script as root, with the desktop's own password prompt. Main thread only; it
/// never waits for the prompt or the script: `done` is called later, on the main thread.
class PrivilegedRunner {
public:
    /// Empty when the script succeeded; otherwise the message for the user.
    using Done = std::function<void(std::optional<std::string> failure)>;

    virtual ~PrivilegedRunner() = default;

    /// Runs "/bin/sh -c `scriptText`" as administrator; `done` gets the outcome. Dropping the
    /// runner before then drops the outcome, never the run.
    virtual void runAsAdministrator(const std::string& scriptText, Done done) = 0;
};

} // namespace plinkora
