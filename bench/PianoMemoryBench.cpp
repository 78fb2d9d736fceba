// Resident memory of a process holding the engine with the full General MIDI font loaded
// and every zone struck once. Usage: bench_piano_memory [font.sf2]
#include "AudioBenchSupport.hpp"
#include "ManualScheduler.hpp"
#include "PulseServer.hpp"
#include "audio/PianoEngine.hpp"

#include <QCoreApplication>
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
    return 0;
}
