#include "ChildProcess.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace plinkora::testing {

namespace {

pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            int keepFd, int stdoutFd, const std::string& outputFile = {}) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    for (const auto& [name, value] : env) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    if (stdoutFd >= 0) {
        dup2(stdoutFd, STDOUT_FILENO);
    }
    if (!outputFile.empty()) {
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
    }
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
    }
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keepFd) {
            close(fd);
        }
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env, int keepFd,
                           const std::string& outputFile)
    : pid_(spawn(argv, env, keepFd, -1, outputFile)) {}

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::isRunning() {
    if (reaped_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        status_ = status;
        return false;
    }
    return true;
}

void ChildProcess::signal(int signo) {
    if (!reaped_ && pid_ > 0) {
        kill(pid_, signo);
    }
}

int ChildProcess::waitForExit(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (isRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

int ChildProcess::stop() {
    if (pid_ <= 0) {
        return -1;
    }
    if (isRunning()) {
        kill(pid_, SIGTERM);
        if (waitForExit(2.0) == -1 && isRunning()) {
            kill(pid_, SIGKILL);
            waitForExit(5.0);
        }
    }
    return status_;
}

int runAsAccount(uid_t uid, const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) {
            _exit(255);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

std::string runCommand(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env, int* exitStatus) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = spawn(argv, env, -1, fds[1]);
    close(fds[1]);
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (exitStatus != nullptr) {
        *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return output;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t countIn(const std::string& path, const std::string& fragment) {
    const std::string text = readFile(path);
    std::size_t n = 0;
    for (auto at = text.find(fragment); at != std::string::npos; at = text.find(fragment, at + 1)) {
        ++n;
    }
    return n;
}

bool waitUntil(const std::function<bool()>& condition, double seconds) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

} // namespace plinkora::testing
