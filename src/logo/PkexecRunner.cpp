#include "logo/PkexecRunner.hpp"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

namespace {

/// Enough for any message; a script that floods standard error keeps only its end.
constexpr qint64 kKeptErrorOutput = qint64{64} * 1024;
constexpr const char* kPkexecRefusal = "Error executing command as another user: ";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string trimmed(const std::string& line) {
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end && isBlank(line[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(line[end - 1])) {
        --end;
    }
    return line.substr(begin, end - begin);
}

/// Runs in the child between fork and exec: async-signal-safe calls only.
void detachFromTerminal() {
    ::setsid();
    ::umask(022);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
}

} // namespace

PkexecRunner::PkexecRunner(std::string pkexecPath)
    : pkexecPath_(std::move(pkexecPath)) {}

PkexecRunner::~PkexecRunner() {
    // The run goes on without us (it cannot be taken back half-way); its outcome is dropped.
    if (running_) {
        running_->disconnect();
        QObject::connect(running_, &QProcess::finished, running_, &QObject::deleteLater);
        running_->setParent(nullptr);
    }
}

void PkexecRunner::runAsAdministrator(const std::string& scriptText, Done done) {
    auto* process = new QProcess;
    process->setProgram(QString::fromStdString(pkexecPath_));
    process->setArguments({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                           QString::fromStdString(scriptText), QStringLiteral("plinkora-helper")});
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(QStringLiteral("/"));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setChildProcessModifier(detachFromTerminal);
    running_ = process;

    auto errorOutput = std::make_shared<std::string>();
    QObject::connect(process, &QProcess::readyReadStandardError, process, [process, errorOutput] {
        errorOutput->append(process->readAllStandardError().toStdString());
        if (errorOutput->size() > static_cast<std::size_t>(2 * kKeptErrorOutput)) {
            errorOutput->erase(0, errorOutput->size() - static_cast<std::size_t>(kKeptErrorOutput));
        }
    });
    // Whichever of finished and errorOccurred comes first answers; the other is ignored.
    auto answer = [process, errorOutput, done,
                   answered = std::make_shared<bool>(false)](std::optional<std::string> failure) {
        if (!*answered) {
            *answered = true;
            process->deleteLater();
            done(std::move(failure));
        }
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, errorOutput, answer](int exitCode, QProcess::ExitStatus status) {
                         errorOutput->append(process->readAllStandardError().toStdString());
                         if (process->error() == QProcess::FailedToStart) {
                             answer(std::string(kMissingPkexec));
                         } else if (status == QProcess::NormalExit && exitCode == 0) {
                             answer(std::nullopt);
                         } else {
                             answer(failureMessage(status == QProcess::NormalExit ? exitCode : -1,
                                                   *errorOutput));
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [answer](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             answer(std::string(kMissingPkexec));
                         }
                     });
    process->start();
}

std::string PkexecRunner::failureMessage(int exitCode, const std::string& errorOutput) {
    std::string lastLine;
    std::size_t begin = 0;
    while (begin <= errorOutput.size()) {
        std::size_t end = errorOutput.find('\n', begin);
        if (end == std::string::npos) {
            end = errorOutput.size();
        }
        const std::string line = trimmed(errorOutput.substr(begin, end - begin));
        if (line.rfind(kPkexecRefusal, 0) == 0) {
            std::string reason = line.substr(std::string(kPkexecRefusal).size());
            if (reason.find("dismissed") != std::string::npos) {
                return kDismissed;
            }
            if (reason.find("Not authorized") != std::string::npos) {
                return kNotAuthorised;
            }
            if (reason.find("authentication agent") != std::string::npos) {
                return kNoAgent;
            }
            return reason;
        }
        if (!line.empty()) {
            lastLine = line;
        }
        begin = end + 1;
    }
    if (lastLine.empty() && exitCode == 126) {
        return kDismissed;
    }
    return lastLine.empty() ? kDidNotFinish : lastLine;
}

} // namespace plinkora
