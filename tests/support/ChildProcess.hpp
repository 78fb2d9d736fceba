#pragma once

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace plinkora::testing {

/// A helper program started by a test. It dies with the test process (even when the test
/// crashes) and is stopped when the object goes.
class ChildProcess {
public:
    /// Starts `argv` with `env` added to this process's environment. When `keepFd` is not -1
    /// that descriptor stays open in the child (for Xvfb's -displayfd, say).
    /// When `outputFile` is given, standard output and error go there.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env = {}, int keepFd = -1,
                 const std::string& outputFile = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool isRunning();
    /// Sends SIGTERM, waits up to two seconds, then SIGKILL; returns the exit status
    /// (as waitpid reports it), or -1 when it was already reaped.
    int stop();
    /// Waits up to `seconds` for the process to exit by itself; the waitpid status or -1.
    int waitForExit(double seconds);
    void signal(int signo);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = -1;
};

/// Runs `body` in a forked child as another local account (`uid`, with the same group id), and
/// returns its result, or -1 when the child could not become that account (it needs root).
int runAsAccount(uid_t uid, const std::function<int()>& body);

/// Runs a command to its end and returns what it printed on standard output.
std::string runCommand(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env = {},
                       int* exitStatus = nullptr);

/// A whole file, as a program under test left it; empty when it cannot be read.
std::string readFile(const std::string& path);
/// How often `fragment` occurs in the file at `path`, a program's log say.
std::size_t countIn(const std::string& path, const std::string& fragment);
/// Polls `condition` for up to `seconds` without running an event loop; whether it held.
bool waitUntil(const std::function<bool()>& condition, double seconds = 10);

} // namespace plinkora::testing
