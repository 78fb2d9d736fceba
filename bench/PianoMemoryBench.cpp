// Resident memory of a process holding the engine with the full General MIDI font loaded
// and every zone struck once; then, for a change of sound and two changes of bank, the main
// thread's longest pause from the choice until the old synth is gone.
// Usage: bench_piano_memory [font.sf2]
#include "AudioBenchSupport.hpp"
#include "ManualScheduler.hpp"
#include "PulseServer.hpp"
#include "app/Logger.hpp"
#include "audio/PianoEngine.hpp"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

using namespace plinkora;

namespace {

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string font = bench::soundFontArgument(argc, argv);
    testing::PulseServer server;
    const double baseline = residentMegabytes();
    testing::ManualScheduler clock;
    PianoEngine engine(clock, font);
    const double built = residentMegabytes();
    engine.setScale({music::KeyRoot::c, music::ScaleMode::major, 12});
    engine.start();
    for (int zone = 0; zone < 12; ++zone) {
        engine.play(zone, 92);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double playing = residentMegabytes();
    std::printf("%s (instrument loaded: %s)\n", font.c_str(),
                engine.instrumentLoaded() ? "yes" : "no");
    std::printf("resident: %.1f MB before the engine, %.1f MB built, %.1f MB after striking "
                "every zone (the engine adds %.1f MB)\n",
                baseline, built, playing, playing - baseline);

    int changes = 0;
    Logger::setSinkForTesting([&changes](LogLevel, const std::string& line) {
        changes += line.rfind("sound is now", 0) == 0 ? 1 : 0;
    });
    const auto longestPause = [&](const std::function<void()>& choose) {
        using Clock = std::chrono::steady_clock;
        double longest = 0;
        Clock::time_point last = Clock::now();
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            longest =
                std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        });
        tick.start(1);
        const int before = changes;
        choose();
        // Until the new synth plays and the old one, rung out, has been destroyed.
        const Clock::time_point end = Clock::now() + std::chrono::seconds(30);
        int quiet = 0;
        while (Clock::now() < end && (changes == before || quiet < 100)) {
            app.processEvents(QEventLoop::AllEvents, 10);
            clock.advance(0.05);
            quiet += changes == before ? 0 : 1;
        }
        return changes > before ? longest : -1;
    };
    const double toStrings = longestPause([&] { engine.setSound(music::Sound::strings); });
    const double toSmallBank =
        longestPause([&] { engine.setSoundBank("/usr/share/sounds/sf2/TimGM6mb.sf2"); });
    const double back = longestPause([&] { engine.setSoundBank(font); });
    std::printf("main thread's longest pause: %.1f ms for another sound, %.1f ms for the small "
                "bank, %.1f ms back to %s; resident after: %.1f MB\n",
                toStrings, toSmallBank, back, font.c_str(), residentMegabytes());
    Logger::setSinkForTesting({});
    return 0;
}
