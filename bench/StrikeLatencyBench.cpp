// Strike to sound through a real PulseAudio null sink: from play() until the first audible
// sample of the note is handed to the server, plus the latency the server reports for it.
// Usage: bench_strike_latency [font.sf2 [zone [spacing-ms [strikes [midi]]]]] (default: the
// small TimGM6mb font, zone 0, 200 strikes 250 ms apart; "midi" also plays every note on the
// MIDI output, to a private JACK server). Strikes 6000 ms apart find the output
// resting each time, so that they measure waking it.
#include "AudioBenchSupport.hpp"
#include "JackServer.hpp"
#include "ManualScheduler.hpp"
#include "PulseServer.hpp"
#include "app/Logger.hpp"
#include "audio/PianoEngine.hpp"
#include "audio/PulseOutput.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

using namespace plinkora;

namespace {

double monotonic() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr float kAudible = 0.001f; // -60 dBFS, before the reverb
constexpr std::size_t kTapFrames = 16384;

/// Renders the graph and watches the signal entering the reverb for the armed note's start.
class Probe final : public audio::AudioRenderer {
public:
    explicit Probe(audio::PianoGraph& graph)
        : graph_(graph)
        , tap_(2 * kTapFrames) {}

    void render(float* interleaved, std::size_t frames, double heardAt) override {
        const double now = monotonic();
        const std::size_t call = calls.fetch_add(1);
        if (call < intervals.size()) {
            intervals[call] = (now - lastCall) * 1000;
            chunkFrames[call] = static_cast<double>(frames);
        }
        lastCall = now;
        lastChunk.store(frames, std::memory_order_relaxed);
        while (frames > 0) {
            const std::size_t part = std::min(frames, kTapFrames);
            const double handedAt = monotonic();
            graph_.render(interleaved, part, heardAt, tap_.data());
            heardAt += static_cast<double>(part) / 48000;
            float peak = 0;
            for (std::size_t i = 0; i < 2 * part; ++i) {
                peak = std::max(peak, std::fabs(tap_[i]));
            }
            lastPeak.store(peak, std::memory_order_relaxed);
            if (armed.load(std::memory_order_acquire)) {
                for (std::size_t i = 0; i < part; ++i) {
                    if (std::fabs(tap_[2 * i]) > kAudible ||
                        std::fabs(tap_[2 * i + 1]) > kAudible) {
                        const double latency = output->latencyOnAudioThread();
                        handOver.store(handedAt + static_cast<double>(i) / 48000 - strikeAt.load());
                        serverLatency.store(latency);
                        armed.store(false, std::memory_order_release);
                        break;
                    }
                }
            }
            interleaved += 2 * part;
            frames -= part;
        }
    }

    bool hasPendingMessages() const override { return graph_.hasPendingMessages(); }
    bool isSilent() const override { return graph_.isSilent(); }

    audio::PulseOutput* output = nullptr;
    std::atomic<bool> armed{false};
    std::atomic<double> strikeAt{0};
    std::atomic<double> handOver{0};
    std::atomic<double> serverLatency{0};
    std::atomic<float> lastPeak{0};
    std::atomic<std::size_t> lastChunk{0};
    // How the server asks for data: milliseconds between requests and frames per request.
    std::atomic<std::size_t> calls{0};
    std::vector<double> intervals = std::vector<double>(20000);
    std::vector<double> chunkFrames = std::vector<double>(20000);
    double lastCall = 0;

private:
    audio::PianoGraph& graph_;
    std::vector<float> tap_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string font = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/TimGM6mb.sf2";
    // One zone for all strikes, or -1 to walk through nine (whose samples start differently).
    const int zone = argc > 2 ? std::atoi(argv[2]) : 0;
    const int spacing = argc > 3 ? std::atoi(argv[3]) : 250;
    const int strikes = argc > 4 ? std::atoi(argv[4]) : 200;
    testing::PulseServer server;
    // Underruns are counted, not printed: each grows the buffer, and so the figures.
    int underruns = 0;
    Logger::setSinkForTesting([&](LogLevel, const std::string& line) {
        if (line.find("audio output underrun") != std::string::npos) {
            ++underruns;
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    });
    testing::ManualScheduler clock;
    std::unique_ptr<Probe> probe;
    PianoEngine engine(clock, font, [&](audio::PianoGraph& graph) {
        probe = std::make_unique<Probe>(graph);
        auto output = std::make_unique<audio::PulseOutput>(*probe, 48000);
        probe->output = output.get();
        return output;
    });
    std::optional<testing::JackServer> jack;
    if (argc > 5 && std::string(argv[5]) == "midi") {
        jack.emplace();
        engine.setMidiOutput(true);
        if (!jack->listenTo("Plinkora:Plinkora")) {
            std::fprintf(stderr, "the MIDI output did not appear\n");
            return 1;
        }
    }
    engine.start();
    // An idle null sink renders in blocks of seconds and takes up a new stream only at the end
    // of the block under way: until the server asks for data again, every strike would wait
    // for it. Striking begins as soon as it asks, before the silent stream goes to rest.
    const QDeadlineTimer sinkAwake(5000);
    while (probe->calls.load() < 10 && !sinkAwake.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }

    std::vector<double> total;
    std::vector<double> handOvers;
    std::vector<double> latencies;
    std::vector<double> playCalls; // the main thread's own part of a strike
    int missed = 0;
    int resting = 0; // strikes that found the stream asking for long buffers
    const auto begin = std::chrono::steady_clock::now();
    for (int strike = 0; strike < strikes; ++strike) {
        std::this_thread::sleep_until(begin + std::chrono::milliseconds(spacing * strike));
        if (probe->lastPeak.load() > kAudible) {
            ++missed; // the last note has not died away; do not mistake it for this one
            continue;
        }
        if (probe->lastChunk.load() > 1000) {
            ++resting;
        }
        probe->strikeAt.store(monotonic());
        probe->armed.store(true, std::memory_order_release);
        const double calledAt = monotonic();
        engine.play(zone < 0 ? strike % 9 : zone, 92);
        playCalls.push_back((monotonic() - calledAt) * 1000);
        const double deadline = monotonic() + 0.2;
        while (probe->armed.load(std::memory_order_acquire) && monotonic() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (probe->armed.exchange(false)) {
            ++missed;
        } else {
            handOvers.push_back(probe->handOver.load() * 1000);
            latencies.push_back(probe->serverLatency.load() * 1000);
            total.push_back(handOvers.back() + latencies.back());
        }
        clock.advance(10); // hold and fade at once: the note stops
    }
    bench::runEventsFor(0.1); // the underruns' log lines come through the event loop
    std::printf("%zu strikes measured, %d missed, %d found the output resting, %d underruns\n",
                total.size(), missed, resting, underruns);
    std::printf("strike to sound: median %.2f ms, 1st percentile %.2f ms, 99th %.2f ms, "
                "spread %.2f ms\n",
                bench::median(total), bench::percentile(total, 0.01),
                bench::percentile(total, 0.99),
                bench::percentile(total, 0.99) - bench::percentile(total, 0.01));
    std::printf("  of which to the server: median %.2f ms (1st %.2f, 99th %.2f); "
                "server latency: median %.2f ms (1st %.2f, 99th %.2f)\n",
                bench::median(handOvers), bench::percentile(handOvers, 0.01),
                bench::percentile(handOvers, 0.99), bench::median(latencies),
                bench::percentile(latencies, 0.01), bench::percentile(latencies, 0.99));
    std::printf("  play() itself: median %.4f ms, 99th %.4f ms\n", bench::median(playCalls),
                bench::percentile(playCalls, 0.99));
    const std::size_t calls = std::min(probe->calls.load(), probe->intervals.size());
    const std::vector<double> intervals(probe->intervals.begin() + 10,
                                        probe->intervals.begin() + static_cast<long>(calls));
    const std::vector<double> chunks(probe->chunkFrames.begin() + 10,
                                     probe->chunkFrames.begin() + static_cast<long>(calls));
    std::printf("  the server asked every %.2f ms (median; 99th %.2f ms) for %.0f frames "
                "(median)\n",
                bench::median(intervals), bench::percentile(intervals, 0.99),
                bench::median(chunks));
    std::printf("  percentiles of strike to sound:");
    for (double share : {0.05, 0.10, 0.25, 0.75, 0.90, 0.95}) {
        std::printf(" %.0f%% %.2f ms", 100 * share, bench::percentile(total, share));
    }
    std::printf("\n");
    return 0;
}
