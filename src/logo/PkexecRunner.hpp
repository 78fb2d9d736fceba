#pragma once

#include "logo/PrivilegedRunner.hpp"

#include <QObject>
#include <QPointer>
#include <QProcess>

namespace plinkora {

/// Gets administrator rights through polkit's pkexec. Main thread only.
///
/// pkexec is started by its absolute path, in a new session with no controlling terminal (so
/// it can never ask for the password in a terminal and hang), with umask 022, no signal
/// blocked, and a small fixed environment: nothing of the user's PATH, SHELL or locale reaches
/// it or the script.
class PkexecRunner final : public PrivilegedRunner {
public:
    static constexpr const char* kPkexec = "/usr/bin/pkexec";
    static constexpr const char* kMissingPkexec =
        "Installing the helper needs pkexec (polkit), which is not installed.";
    static constexpr const char* kDidNotFinish = "The installer did not finish.";
    static constexpr const char* kDismissed = "The administrator password prompt was dismissed.";
    static constexpr const char* kNotAuthorised =
        "This account is not allowed to act as administrator here (not authorised).";
    static constexpr const char* kNoAgent =
        "No administrator password prompt could be shown: this desktop session has no polkit "
        "authentication agent running.";

    explicit PkexecRunner(std::string pkexecPath = kPkexec);
    ~PkexecRunner() override;

    void runAsAdministrator(const std::string& scriptText, Done done) override;

    /// The message for the user from how pkexec ended: its own reason when it refused (not
    /// authorised, dismissed, no agent), else the last line the script wrote to standard
    /// error, else kDidNotFinish.
    static std::string failureMessage(int exitCode, const std::string& errorOutput);

private:
    std::string pkexecPath_;
    QPointer<QProcess> running_;
};

} // namespace plinkora
