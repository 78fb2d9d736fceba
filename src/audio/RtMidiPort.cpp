#include "audio/RtMidiPort.hpp"

#include "app/Logger.hpp"

#include <RtMidi.h>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace plinkora::audio {

struct RtMidiPort::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<std::array<unsigned char, 3>> queue;
    bool closing = false;
    bool done = false;
};

namespace {

/// The port on the first system that takes it, with where it went; nothing, with the reasons,
/// when none does.
std::unique_ptr<RtMidiOut> openPort(std::string& where, std::string& reasons) {
    struct System {
        RtMidi::Api api;
        const char* name;
    };
    for (const System system :
         {System{RtMidi::UNIX_JACK, "JACK"}, System{RtMidi::LINUX_ALSA, "the ALSA sequencer"}}) {
        std::string failure;
        try {
            auto port = std::make_unique<RtMidiOut>(system.api, RtMidiPort::kPortName);
            // Reported here instead of thrown or printed, and the next system is tried.
            port->setErrorCallback(
                [](RtMidiError::Type, const std::string& text, void* sink) {
                    auto& seen = *static_cast<std::string*>(sink);
                    seen += (seen.empty() ? "" : "; ") + text;
                },
                &failure);
            port->openVirtualPort(RtMidiPort::kPortName);
            if (failure.empty()) {
                where = system.name;
                return port;
            }
        } catch (const RtMidiError& error) {
            failure = error.getMessage();
        }
        reasons += (reasons.empty() ? "" : "; ") + std::string(system.name) + ": " + failure;
    }
    return nullptr;
}

} // namespace

void RtMidiPort::serve(const std::shared_ptr<Shared>& shared) {
    pthread_setname_np(pthread_self(), "midi-out");
    std::string where;
    std::string reasons;
    std::unique_ptr<RtMidiOut> port = openPort(where, reasons);
    if (port) {
        Logger::info(std::string("MIDI output \"") + RtMidiPort::kPortName + "\" is on " + where);
    } else {
        Logger::notice("Plinkora: MIDI output is unavailable: neither JACK nor the ALSA sequencer "
                       "took the port (" +
                       reasons + ")");
    }
    for (;;) {
        std::deque<std::array<unsigned char, 3>> batch;
        bool closing = false;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return !shared->queue.empty() || shared->closing; });
            batch.swap(shared->queue);
            closing = shared->closing;
        }
        for (const auto& message : batch) {
            if (port) {
                port->sendMessage(message.data(), message.size());
            }
        }
        if (closing) {
            break;
        }
    }
    // Closing waits until JACK has carried the last messages out.
    port.reset();
    {
        const std::lock_guard lock(shared->mutex);
        shared->done = true;
    }
    shared->finished.notify_all();
}

RtMidiPort::RtMidiPort()
    : shared_(std::make_shared<Shared>()) {
    // Detached: the worker keeps what it shares alive, and the destructor waits for it only
    // as long as the main thread may.
    std::thread([shared = shared_] { serve(shared); }).detach();
}

RtMidiPort::~RtMidiPort() {
    std::unique_lock lock(shared_->mutex);
    shared_->closing = true;
    shared_->wake.notify_one();
    shared_->finished.wait_for(lock, std::chrono::milliseconds(kCloseGraceMs),
                               [this] { return shared_->done; });
}

void RtMidiPort::send(std::uint8_t status, std::uint8_t first, std::uint8_t second) {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back({status, first, second});
    }
    shared_->wake.notify_one();
}

} // namespace plinkora::audio
