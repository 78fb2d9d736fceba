#pragma once

#include "logo/PrivilegedRunner.hpp"

namespace plinkora {

/// Gets administrator rights through polkit's pkexec, found on PATH.
class PkexecRunner final : public PrivilegedRunner {
public:
    static constexpr const char* kMissingPkexec =
        "Installing the helper needs pkexec (polkit), which is not installed.";
    static constexpr const char* kDidNotFinish = "The installer did not finish.";

    /// Exit status 0 is success. Otherwise the message is the last non-empty line pkexec or
    /// the script wrote to standard error (pkexec's own says why: 126 when the prompt was
    /// dismissed, 127 when not authorised), or kDidNotFinish when there is none.
    void runAsAdministrator(const std::string& scriptPath) override;

    /// The last line of `errorOutput` with anything but white space, trimmed; empty if none.
    static std::string lastNonEmptyLine(const std::string& errorOutput);
};

} // namespace plinkora
