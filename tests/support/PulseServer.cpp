#include "PulseServer.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace plinkora::testing {

PulseServer::PulseServer(std::vector<std::string> sinkNames)
    : sinks_(std::move(sinkNames))
    , address_("unix:" + dir_.path().toStdString() + "/pulse/native")
    , pointedAt_("PULSE_SERVER", address_) {
    if (!dir_.isValid()) {
        throw std::runtime_error("no temporary folder for the sound server");
    }
    start();
}

PulseServer::~PulseServer() {
    stop();
}

bool PulseServer::isPipeWire() {
    const char* wanted = std::getenv("PLINKORA_TEST_SOUND_SERVER");
    return wanted != nullptr && std::string(wanted) == "pipewire";
}

void PulseServer::start() {
    if (process_) {
        return;
    }
    const std::string folder = dir_.path().toStdString();
    QDir().mkpath(dir_.path() + QStringLiteral("/pulse"));
    QDir().mkpath(dir_.path() + QStringLiteral("/home"));
    const std::map<std::string, std::string> environment{
        {"XDG_RUNTIME_DIR", folder}, {"HOME", folder + "/home"}, {"PULSE_SERVER", address_}};
    if (isPipeWire()) {
        // PipeWire with its session manager and its PulseAudio server, on the same runtime
        // folder; the null sinks are made through the PulseAudio interface, as users' are.
        // WirePlumber will not run without a session bus: it gets a private one. Each part
        // starts once the sockets of those it talks to exist.
        auto withBus = environment;
        withBus["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + folder + "/bus";
        helpers_.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                     "--address=" + withBus["DBUS_SESSION_BUS_ADDRESS"]},
            environment));
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"pipewire"}, withBus);
        waitForFile(folder + "/bus");
        waitForFile(folder + "/pipewire-0");
        helpers_.push_back(
            std::make_unique<ChildProcess>(std::vector<std::string>{"wireplumber"}, withBus));
        helpers_.push_back(
            std::make_unique<ChildProcess>(std::vector<std::string>{"pipewire-pulse"}, withBus));
    } else {
        std::vector<std::string> argv{
            "pulseaudio",
            "-n",
            "--daemonize=no",
            "--exit-idle-time=-1",
            "--disallow-exit",
            "--use-pid-file=false",
            "--log-target=stderr",
            "--log-level=error",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + folder + "/pulse/native"};
        for (const auto& sink : sinks_) {
            argv.emplace_back("-L");
            argv.push_back("module-null-sink " + nullSinkArguments(sink));
        }
        process_ = std::make_unique<ChildProcess>(argv, environment);
    }
    int status = -1;
    waitUntil(
        [&] {
            pactl({"info"}, &status);
            return status == 0 || !process_->isRunning();
        },
        5);
    if (status == 0) {
        if (isPipeWire()) {
            waitForSinks();
        }
        return;
    }
    throw std::runtime_error("the sound server did not start");
}

void PulseServer::waitForFile(const std::string& path) {
    waitUntil([&] { return QFile::exists(QString::fromStdString(path)); }, 4);
}

std::string PulseServer::nullSinkArguments(const std::string& sink) {
    return "sink_name=" + sink + " rate=48000 sink_properties=device.description=" + sink;
}

void PulseServer::waitForSinks() {
    // Ready once the session manager has taken each sink as the default, the first one last: a
    // sink it has not set up is refused later, when a test asks for it, and a manager still
    // starting may apply a default after the test's own change. WirePlumber sometimes gives up
    // on a sink made while it starts ("proxy destroyed"); that sink is made again.
    std::vector<std::string> modules;
    for (const auto& sink : sinks_) {
        modules.push_back(pactl({"load-module", "module-null-sink", nullSinkArguments(sink)}));
    }
    for (std::size_t i = sinks_.size(); i-- > 0;) {
        const auto isDefault = [&] {
            int status = -1;
            pactl({"set-default-sink", sinks_[i]}, &status);
            return status == 0 && pactl({"get-default-sink"}).rfind(sinks_[i], 0) == 0;
        };
        for (int attempt = 0; attempt < 3 && !waitUntil(isDefault, 4); ++attempt) {
            pactl({"unload-module", modules[i].substr(0, modules[i].find('\n'))});
            modules[i] = pactl({"load-module", "module-null-sink", nullSinkArguments(sinks_[i])});
        }
    }
}

void PulseServer::freeze(bool frozen) {
    for (auto& helper : helpers_) {
        helper->signal(frozen ? SIGSTOP : SIGCONT);
    }
    if (process_) {
        process_->signal(frozen ? SIGSTOP : SIGCONT);
    }
}

void PulseServer::stop() {
    for (auto it = helpers_.rbegin(); it != helpers_.rend(); ++it) {
        (*it)->stop();
    }
    helpers_.clear();
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

std::unique_ptr<ChildProcess> PulseServer::recordMonitor(const std::string& sink,
                                                         const std::string& file) const {
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{"parecord", "--device=" + sink + ".monitor", "--rate=48000",
                                 "--channels=1", "--format=s16le", "--file-format=wav", file},
        std::map<std::string, std::string>{{"PULSE_SERVER", address_}}, -1, file + ".log");
}

double PulseServer::recordedSeconds(const std::string& file) {
    return static_cast<double>(QFileInfo(QString::fromStdString(file)).size()) / 2 / 48000;
}

} // namespace plinkora::testing
