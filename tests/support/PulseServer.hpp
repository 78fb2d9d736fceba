#pragma once

#include "ChildProcess.hpp"
#include "TempHome.hpp"

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace plinkora::testing {

/// A private sound server with null sinks, in a private runtime folder: PulseAudio, or, when
/// PLINKORA_TEST_SOUND_SERVER=pipewire, PipeWire with WirePlumber and pipewire-pulse. While it
/// lives, PULSE_SERVER points this process (and the programs it starts) at it.
class PulseServer {
public:
    explicit PulseServer(std::vector<std::string> sinkNames = {"plinkora_a", "plinkora_b"});
    ~PulseServer();

    /// Stops the server (as a crash or a restart of the sound service would).
    void stop();
    /// Starts it again with the same sinks and socket.
    void start();
    /// Stops or resumes the running server with SIGSTOP and SIGCONT: a stalled server that
    /// keeps its connections but answers nothing.
    void freeze(bool frozen);
    bool isRunning() const { return process_ != nullptr; }
    /// Whether the tests run against PipeWire rather than PulseAudio.
    static bool isPipeWire();
    /// The server's process, for measuring what it costs; -1 while stopped.
    pid_t pid() const { return process_ ? process_->pid() : -1; }

    /// "unix:<folder>/pulse/native"
    const std::string& serverAddress() const { return address_; }
    /// Runs pactl against this server; returns its standard output.
    std::string pactl(const std::vector<std::string>& args, int* exitStatus = nullptr) const;
    void setDefaultSink(const std::string& name) const;
    const std::vector<std::string>& sinkNames() const { return sinks_; }
    /// Records a sink's monitor beside the test, as another client of the server would:
    /// parecord writes 16-bit mono WAV at 48 kHz to `file` until it is stopped.
    std::unique_ptr<ChildProcess> recordMonitor(const std::string& sink,
                                                const std::string& file) const;
    /// The seconds in such a recording so far, however slowly a loaded machine started it.
    static double recordedSeconds(const std::string& file);

private:
    static std::string nullSinkArguments(const std::string& sink);
    static void waitForFile(const std::string& path);
    void waitForSinks();

    QTemporaryDir dir_;
    std::vector<std::string> sinks_;
    std::string address_;
    ScopedEnv pointedAt_;
    std::unique_ptr<ChildProcess> process_;
    /// PipeWire's session manager and PulseAudio server.
    std::vector<std::unique_ptr<ChildProcess>> helpers_;
};

} // namespace plinkora::testing
