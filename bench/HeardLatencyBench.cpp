// What a player hears: the real program on a private X server and sound server, an XTest press
// on the lowest zone stamped just before it is sent, and the note's onset found on the sink's
// monitor. PLINKORA_TEST_SOUND_SERVER=pipewire runs it on PipeWire.
//
//   bench_heard_latency <plinkora binary> [strikes]
#include "BenchStatistics.hpp"
#include "ChildProcess.hpp"
#include "PulseServer.hpp"
#include "TempHome.hpp"
#include "XvfbServer.hpp"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using namespace plinkora::testing;

namespace {

using plinkora::bench::percentile;

constexpr int kRate = 48000;
constexpr std::size_t kChunk = 96; // 2 ms per read, so each sample's time is known closely
constexpr float kAudible = 1e-3f;  // the monitor of a null sink is exact digital silence

double monotonic() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/// Reads the sink's monitor and stamps every sample with the moment it was played.
struct Monitor {
    std::atomic<bool> running{true};
    std::atomic<double> armedAt{0}; // onsets before this are not the strike's
    std::atomic<double> onsetAt{-1};
    std::atomic<double> lastLoudAt{0};
    std::atomic<bool> ready{false};

    void run(const std::string& server) {
        pa_sample_spec format{PA_SAMPLE_FLOAT32LE, kRate, 1};
        pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), 0, 0, 0,
                              static_cast<std::uint32_t>(kChunk * sizeof(float))};
        int error = 0;
        pa_simple* recorder =
            pa_simple_new(server.c_str(), "bench", PA_STREAM_RECORD, "plinkora_out.monitor",
                          "monitor", &format, nullptr, &buffer, &error);
        if (recorder == nullptr) {
            std::fprintf(stderr, "cannot record the monitor: %s\n", pa_strerror(error));
            running = false;
            return;
        }
        ready = true;
        std::vector<float> chunk(kChunk);
        while (running) {
            if (pa_simple_read(recorder, chunk.data(), chunk.size() * sizeof(float), &error) < 0) {
                break;
            }
            const double now = monotonic();
            const double latency =
                static_cast<double>(pa_simple_get_latency(recorder, &error)) / 1e6;
            for (std::size_t i = 0; i < kChunk; ++i) {
                if (std::fabs(chunk[i]) <= kAudible) {
                    continue;
                }
                const double playedAt = now - latency - static_cast<double>(kChunk - i) / kRate;
                lastLoudAt = now;
                if (onsetAt.load() < 0 && armedAt.load() > 0 && playedAt > armedAt.load()) {
                    onsetAt = playedAt;
                }
            }
        }
        pa_simple_free(recorder);
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_heard_latency <plinkora binary> [strikes]\n");
        return 2;
    }
    const int strikes = argc > 2 ? std::atoi(argv[2]) : 20;
    TempHome home;
    XvfbServer x{"1280x800x24"};
    PulseServer pulse{{"plinkora_out"}};
    pulse.setDefaultSink("plinkora_out");
    const std::string log = home.path().toStdString() + "/plinkora.log";
    // No debug lines: writing one per strike would be part of what is measured.
    auto environment = home.programEnvironment(x.display(), pulse.serverAddress());
    environment.erase("QT_LOGGING_RULES");
    ChildProcess plinkora({argv[1], "--on"}, environment, -1, log);
    const auto logged = [&](const char* fragment) {
        QFile file(QString::fromStdString(log));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(fragment);
    };
    for (int waited = 0; waited < 200 && !logged("audio engine started on"); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!logged("audio engine started on")) {
        std::fprintf(stderr, "Plinkora did not start its sound\n");
        return 1;
    }

    Monitor monitor;
    std::thread recording([&] { monitor.run(pulse.serverAddress()); });
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(x.display().c_str(), &screen);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // The lowest zone is the band along the bottom edge.
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, 640, 780, 0);
    xcb_flush(connection);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    std::vector<double> heard;
    int missed = 0;
    // Strike -1 warms up: the monitor's first reads come late, so its onset is not counted.
    for (int strike = -1; strike < strikes && monitor.running; ++strike) {
        // Each strike starts from silence, so that its onset is its own.
        while (monotonic() - monitor.lastLoudAt.load() < 0.6) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        monitor.onsetAt = -1;
        const double pressAt = monotonic();
        monitor.armedAt = pressAt;
        xcb_test_fake_input(connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(connection);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(connection);
        // The warm-up's onset may take a while to come through; until it has, a later strike
        // would take the warm-up's late samples for its own onset.
        for (int waited = 0; waited < (strike < 0 ? 600 : 100) && monitor.onsetAt.load() < 0;
             ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (strike < 0) {
            continue;
        }
        if (monitor.onsetAt.load() < 0) {
            ++missed;
        } else {
            heard.push_back((monitor.onsetAt.load() - pressAt) * 1000);
        }
    }
    monitor.running = false;
    plinkora.stop();
    recording.join();
    xcb_disconnect(connection);
    if (heard.empty()) {
        std::printf("no strike was heard (%d missed)\n", missed);
        return 1;
    }
    QFile file(QString::fromStdString(log));
    const int underruns = file.open(QIODevice::ReadOnly)
                              ? static_cast<int>(file.readAll().count("audio output underrun"))
                              : 0;
    std::printf("%s: %zu strikes heard, %d missed; press to onset: min %.2f ms, median %.2f ms, "
                "99th %.2f ms, max %.2f ms; %d underruns, %d after the first\n",
                PulseServer::isPipeWire() ? "PipeWire" : "PulseAudio", heard.size(), missed,
                percentile(heard, 0), percentile(heard, 0.5), percentile(heard, 0.99),
                percentile(heard, 1), underruns, std::max(0, underruns - 1));
    return 0;
}
