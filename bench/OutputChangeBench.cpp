// What is heard when the default output changes in the middle of a note: a flute note held
// for seconds while the default moves between two outputs, recorded where both end up. The
// second output is a remapping of the first, so one monitor hears the note before, during and
// after each move, on one clock. Reports the longest hole in the note and the largest step
// between two samples against the note's own largest step away from the moves (a click shows
// as a step many times larger). Usage: bench_output_change [font.sf2 [moves]]
#include "AudioBenchSupport.hpp"
#include "ChildProcess.hpp"
#include "ManualScheduler.hpp"
#include "PulseServer.hpp"
#include "app/Logger.hpp"
#include "audio/PianoEngine.hpp"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace plinkora;

namespace {

constexpr double kRate = 48000;

std::vector<float> leftOf(const std::string& raw) {
    std::vector<float> left(raw.size() / (2 * sizeof(float)));
    for (std::size_t i = 0; i < left.size(); ++i) {
        std::memcpy(&left[i], raw.data() + i * 2 * sizeof(float), sizeof(float));
    }
    return left;
}

/// The longest run of 1 ms windows, between `from` and `to`, whose level falls below a tenth
/// of the note's median level there.
double longestHoleMs(const std::vector<float>& mono, std::size_t from, std::size_t to) {
    constexpr std::size_t kWindow = 48;
    std::vector<double> levels;
    for (std::size_t at = from; at + kWindow <= to; at += kWindow) {
        double sum = 0;
        for (std::size_t i = at; i < at + kWindow; ++i) {
            sum += static_cast<double>(mono[i]) * mono[i];
        }
        levels.push_back(std::sqrt(sum / kWindow));
    }
    const double typical = bench::median(levels);
    int run = 0;
    int longest = 0;
    for (const double level : levels) {
        run = level < 0.1 * typical ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

double largestStep(const std::vector<float>& mono, std::size_t from, std::size_t to) {
    double largest = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
        largest = std::max(largest, static_cast<double>(std::fabs(mono[i] - mono[i - 1])));
    }
    return largest;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string font = bench::soundFontArgument(argc, argv);
    const int moves = argc > 2 ? std::atoi(argv[2]) : 3;
    Logger::setSinkForTesting([](LogLevel, const std::string&) {});
    testing::PulseServer server({"plinkora_a"});
    server.pactl({"load-module", "module-remap-sink",
                  "sink_name=plinkora_b master=plinkora_a "
                  "sink_properties=device.description=plinkora_b"});
    QTemporaryDir folder;
    const std::string recording = folder.filePath(QStringLiteral("monitor.raw")).toStdString();

    testing::ManualScheduler clock;
    PianoEngine engine(clock, font);
    engine.setNoteLength(8.0);
    engine.setSound(music::Sound::flute);
    engine.start();
    bench::runEventsFor(1.0);
    testing::ChildProcess recorder({"parec", "--device=plinkora_a.monitor", "--raw",
                                    "--format=float32le", "--rate=48000", "--channels=2",
                                    "--latency-msec=5"},
                                   {}, -1, recording);
    bench::runEventsFor(0.5);

    // Each move lands 1.2 s into a note of its own; the hold lasts 3.2 s.
    const auto begin = std::chrono::steady_clock::now();
    std::vector<double> movedAt;
    for (int move = 0; move < moves; ++move) {
        engine.play(0, 92);
        bench::runEventsFor(1.2);
        movedAt.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        server.setDefaultSink(move % 2 == 0 ? "plinkora_b" : "plinkora_a");
        bench::runEventsFor(1.0);
        clock.advance(10);
        bench::runEventsFor(0.8);
    }
    recorder.stop();

    const std::vector<float> mono = leftOf(testing::readFile(recording));
    // The first note's onset marks the first strike; the others are placed by when they were
    // struck.
    std::size_t onset = 0;
    while (onset < mono.size() && std::fabs(mono[onset]) < 1e-3f) {
        ++onset;
    }
    if (onset == mono.size()) {
        // Silence has no holes: a run that heard nothing must not read as a clean one.
        std::fprintf(stderr, "no note was heard on the monitor\n");
        return 1;
    }
    std::printf("%d moves of the default output in the middle of a held flute note\n", moves);
    for (int move = 0; move < moves; ++move) {
        const double strikeAt = movedAt[static_cast<std::size_t>(move)] - movedAt[0];
        const auto at = [&](double seconds) {
            return std::min(mono.size(),
                            onset + static_cast<std::size_t>((strikeAt + seconds) * kRate));
        };
        // Around the move (1.2 s after the strike, give or take the server's answer) and, for
        // comparison, the same note before it.
        const double hole = longestHoleMs(mono, at(0.4), at(2.0));
        const double step = largestStep(mono, at(1.1), at(1.8));
        const double ownStep = largestStep(mono, at(0.4), at(1.0));
        std::printf("  move %d: longest hole %.0f ms; largest step %.4f, %.2f times the note's "
                    "own\n",
                    move + 1, hole, step, ownStep > 0 ? step / ownStep : 0.0);
    }
    Logger::setSinkForTesting({});
    return 0;
}
