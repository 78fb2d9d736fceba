// What the main thread and the audio thread share, under ThreadSanitizer: the engine strikes,
// holds, fades and re-strikes every zone on this thread while another thread renders the graph
// as an output's thread would, waking from rest and going back to it. Built with
// -fsanitize=thread (PLINKORA_TSAN); any race on our side of the line ends it with a report.
// Qt, libpulse and FluidSynth are not instrumented, so only Plinkora's own code is checked.
//
//   bench_audio_threads [seconds]
#include "ManualScheduler.hpp"
#include "audio/AudioOutput.hpp"
#include "audio/PianoEngine.hpp"
#include "audio/PianoGraph.hpp"

#include <QCoreApplication>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using namespace plinkora;

/// An output whose render runs on a thread of its own, as PulseAudio's loop thread does.
class ThreadedOutput final : public audio::AudioOutput {
public:
    explicit ThreadedOutput(audio::PianoGraph& graph)
        : graph_(graph) {}
    ~ThreadedOutput() override { stop(); }

    void start(Done done) override {
        if (!thread_.joinable()) {
            running_ = true;
            thread_ = std::thread([this] { renderUntilStopped(); });
        }
        done(std::nullopt);
    }
    void pause() override {}
    void stop() override {
        running_ = false;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool isRunning() const override { return running_; }
    double sampleRate() const override { return 48000; }
    std::optional<std::uint32_t> defaultSink() const override { return std::nullopt; }
    std::optional<std::uint32_t> sink() const override { return std::nullopt; }
    void selectSink(std::uint32_t, Done done) override { done(std::nullopt); }
    std::optional<std::string> sinkDescription(std::uint32_t) const override {
        return std::nullopt;
    }
    void setOnDefaultSinkChange(std::function<void()>) override {}
    void setOnConfigurationChange(std::function<void()>) override {}
    void wakeForSound() override { woken_.fetch_add(1); }

    unsigned long blocks = 0; // the audio thread's; read after stop()

private:
    void renderUntilStopped() {
        std::array<float, 2 * 256> buffer{};
        while (running_) {
            // Messages are due a little after they are sent, as with a real output's delay.
            graph_.setSentToHeard(0.004);
            graph_.render(buffer.data(), 256, audio::monotonicSeconds());
            ++blocks;
            if (graph_.isSilent() && !graph_.hasPendingMessages()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    }

    audio::PianoGraph& graph_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<unsigned> woken_{0};
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    testing::ManualScheduler clock;
    ThreadedOutput* output = nullptr;
    PianoEngine engine(clock, "/usr/share/sounds/sf2/TimGM6mb.sf2",
                       [&output](audio::PianoGraph& graph) {
                           auto made = std::make_unique<ThreadedOutput>(graph);
                           output = made.get();
                           return made;
                       });
    engine.setNoteLength(0.5);
    engine.start();
    if (!engine.isEngineRunning() || output == nullptr) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    unsigned long strikes = 0;
    while (std::chrono::steady_clock::now() < end) {
        // Chords, re-strikes while holding and while fading, and pauses long enough to rest.
        for (int zone = 0; zone < 9; zone += 1 + static_cast<int>(strikes % 3)) {
            engine.play(zone, static_cast<std::uint8_t>(40 + strikes % 80));
            ++strikes;
        }
        for (int tick = 0; tick < 8; ++tick) {
            clock.advance(0.025);
            std::this_thread::sleep_for(std::chrono::milliseconds(strikes % 7 == 0 ? 40 : 3));
        }
    }
    clock.advance(2.0);
    output->stop();
    std::printf("%lu strikes on this thread, %lu blocks rendered on the audio thread\n", strikes,
                output->blocks);
    return 0;
}
