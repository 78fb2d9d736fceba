#pragma once

#include "ChildProcess.hpp"

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace plinkora::testing {

/// A private JACK server on its dummy driver, under a name of its own, with a real JACK MIDI
/// monitor (jack_midi_dump) on it. While it lives, JACK_DEFAULT_SERVER points this process's
/// JACK clients at it.
class JackServer {
public:
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    /// Connects the monitor to `port` once that port exists; whether it did in time.
    bool listenTo(const std::string& port, double seconds = 10);
    struct Received {
        /// The JACK frame it arrived in, counted from the monitor's start.
        long frame = 0;
        /// Its bytes, such as "90 3c 5c".
        std::string bytes;
    };
    /// What the monitor has received, in order.
    std::vector<Received> received() const;
    /// The same, bytes only.
    std::vector<std::string> messages() const;
    static constexpr long kPeriodFrames = 1024;
    /// The ports the server has now, one a line.
    std::string ports() const;

private:
    std::string name_;
    QTemporaryDir dir_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> monitor_;
};

} // namespace plinkora::testing
