#include "PulseServer.hpp"

#include <QDir>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace plinkora::testing {

PulseServer::PulseServer(std::vector<std::string> sinkNames)
    : sinks_(std::move(sinkNames)) {
    if (!dir_.isValid()) {
        throw std::runtime_error("no temporary folder for the sound server");
    }
    address_ = "unix:" + dir_.path().toStdString() + "/pulse/native";
    if (const char* old = std::getenv("PULSE_SERVER")) {
        hadOldServer_ = true;
        oldServer_ = old;
    }
    setenv("PULSE_SERVER", address_.c_str(), 1);
    start();
}

PulseServer::~PulseServer() {
    stop();
    if (hadOldServer_) {
        setenv("PULSE_SERVER", oldServer_.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
}

void PulseServer::start() {
    if (process_) {
        return;
    }
    const std::string folder = dir_.path().toStdString();
    QDir().mkpath(dir_.path() + QStringLiteral("/pulse"));
    QDir().mkpath(dir_.path() + QStringLiteral("/home"));
    std::vector<std::string> argv{"pulseaudio",
                                  "-n",
                                  "--daemonize=no",
                                  "--exit-idle-time=-1",
                                  "--disallow-exit",
                                  "--use-pid-file=false",
                                  "--log-target=stderr",
                                  "--log-level=error",
                                  "-L",
                                  "module-native-protocol-unix auth-anonymous=1 socket=" + folder +
                                      "/pulse/native"};
    for (const auto& sink : sinks_) {
        argv.emplace_back("-L");
        argv.push_back("module-null-sink sink_name=" + sink +
                       " rate=48000 sink_properties=device."
                       "description=" +
                       sink);
    }
    process_ = std::make_unique<ChildProcess>(
        argv, std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", folder},
                                                 {"HOME", folder + "/home"},
                                                 {"PULSE_SERVER", address_}});
    for (int attempt = 0; attempt < 200; ++attempt) {
        int status = -1;
        pactl({"info"}, &status);
        if (status == 0) {
            return;
        }
        if (!process_->isRunning()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error("the PulseAudio server did not start");
}

void PulseServer::freeze(bool frozen) {
    if (process_) {
        process_->signal(frozen ? SIGSTOP : SIGCONT);
    }
}

void PulseServer::stop() {
    if (process_) {
        process_->stop();
        process_.reset();
    }
}

std::string PulseServer::pactl(const std::vector<std::string>& args, int* exitStatus) const {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv, {{"PULSE_SERVER", address_}}, exitStatus);
}

void PulseServer::setDefaultSink(const std::string& name) const {
    pactl({"set-default-sink", name});
}

std::string PulseServer::sinkDescription(const std::string& name) const {
    std::istringstream lines(pactl({"list", "sinks"}));
    std::string line;
    bool inSink = false;
    while (std::getline(lines, line)) {
        if (line.find("Name: ") != std::string::npos) {
            inSink = line.substr(line.find("Name: ") + 6) == name;
        } else if (inSink && line.find("Description: ") != std::string::npos) {
            return line.substr(line.find("Description: ") + 13);
        }
    }
    return {};
}

} // namespace plinkora::testing
