#pragma once

#include "audio/MidiPort.hpp"

#include <memory>
#include <string>

namespace plinkora::audio {

/// The "Plinkora" MIDI output port through RtMidi: a JACK MIDI port while a JACK server (or
/// PipeWire's JACK service) runs, otherwise a port on the ALSA sequencer. Opening, sending and
/// closing talk to the JACK server or the sequencer, so all of it runs on a serial worker
/// thread of the port's own ("midi-out"), in the order asked.
///
/// What runs where:
/// - Main thread: construction, send() and destruction. send() queues and returns; the
///   destructor queues the close and waits at most kCloseGrace for it, then leaves the worker
///   to finish alone, so a stalled JACK server cannot hold the main thread.
/// - The worker: everything RtMidi does, and the log line saying where the port is.
/// A mutex and condition variable guard the queue only; no work runs under them.
class RtMidiPort final : public MidiPort {
public:
    static constexpr const char* kPortName = "Plinkora";
    static constexpr int kCloseGraceMs = 100;

    RtMidiPort();
    ~RtMidiPort() override;
    RtMidiPort(const RtMidiPort&) = delete;
    RtMidiPort& operator=(const RtMidiPort&) = delete;

    void send(std::uint8_t status, std::uint8_t first, std::uint8_t second) override;

private:
    struct Shared;
    /// The worker's whole life: open, send in order, close.
    static void serve(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
};

} // namespace plinkora::audio
