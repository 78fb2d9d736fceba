#include "logo/PkexecRunner.hpp"

#include "logo/HelperError.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plinkora {

namespace {

/// Enough for any message; a script that floods standard error keeps only its end.
constexpr std::size_t kKeptErrorOutput = 64 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

/// Starts pkexec with standard error into `errorFd` and no standard input or output; -1 when
/// it could not be found or started.
pid_t startPkexec(const std::string& scriptPath, int errorFd) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    // An argument list, not a command line: the path stays one argument whatever it holds.
    std::string program = "pkexec";
    std::string shell = "/bin/sh";
    std::string script = scriptPath;
    char* argv[] = {program.data(), shell.data(), script.data(), nullptr};
    // The script starts with no signal blocked and SIGPIPE at its default, whatever this
    // process does with them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::string readUntilClosed(int fd) {
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
            if (output.size() > 2 * kKeptErrorOutput) {
                output.erase(0, output.size() - kKeptErrorOutput);
            }
        } else if (n == 0 || errno != EINTR) {
            return output;
        }
    }
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return status;
}

} // namespace

void PkexecRunner::runAsAdministrator(const std::string& scriptPath) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw HelperError::scriptFailed(kMissingPkexec);
    }
    const pid_t pid = startPkexec(scriptPath, fds[1]);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        throw HelperError::scriptFailed(kMissingPkexec);
    }
    const std::string errorOutput = readUntilClosed(fds[0]);
    ::close(fds[0]);
    const int status = waitForExit(pid);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return;
    }
    const std::string message = lastNonEmptyLine(errorOutput);
    throw HelperError::scriptFailed(message.empty() ? kDidNotFinish : message);
}

std::string PkexecRunner::lastNonEmptyLine(const std::string& errorOutput) {
    std::size_t end = errorOutput.size();
    while (end > 0 && isBlank(errorOutput[end - 1])) {
        --end;
    }
    if (end == 0) {
        return {};
    }
    const std::size_t newline = errorOutput.rfind('\n', end - 1);
    std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
    while (isBlank(errorOutput[begin])) {
        ++begin;
    }
    return errorOutput.substr(begin, end - begin);
}

} // namespace plinkora
