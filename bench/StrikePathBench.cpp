// From the X event to the note: the overlay as the program shows it, on the X server named by
// DISPLAY, and XTest presses from another connection, each stamped just before it is sent.
// Reports how long each press took to reach the strike callback, where the program hands the
// note to the engine. Run it beside `stress-ng --cpu 2` for the loaded figure.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb bench_strike_path [presses]
#include "BenchStatistics.hpp"
#include "overlay/OverlayController.hpp"
#include "overlay/OverlayPanel.hpp"
#include "overlay/OverlayView.hpp"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

using plinkora::bench::percentile;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int presses = argc > 1 ? std::atoi(argv[1]) : 400;
    plinkora::OverlayController overlay;
    overlay.setScale(plinkora::music::Scale{});
    std::atomic<double> sentAt{0};
    std::vector<double> delays;
    int shapeRects = 0;
    overlay.setOnStrike([&](int, double, double, plinkora::StrikeSource, std::uint8_t) {
        delays.push_back((now() - sentAt.load()) * 1000);
        // Without a compositor the painted region is the window's shape, whose rectangles the
        // X server works through on every frame.
        if (delays.size() % 10 == 0) {
            shapeRects = std::max(shapeRects, overlay.view().paintedRegion().rectCount());
        }
    });
    overlay.show();
    if (overlay.panel() == nullptr || !QTest::qWaitForWindowExposed(overlay.panel())) {
        std::fprintf(stderr, "the overlay did not show\n");
        return 1;
    }

    std::atomic<bool> done{false};
    std::thread presser([&] {
        xcb_connection_t* x = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        for (int press = 0; press < presses; ++press) {
            // Each press on a zone of its own, so that every one strikes.
            const auto across = static_cast<std::int16_t>(40 + (press % 8) * 150);
            xcb_test_fake_input(x, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, across, 400, 0);
            xcb_flush(x);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sentAt = now();
            xcb_test_fake_input(x, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
            xcb_flush(x);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            xcb_test_fake_input(x, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, root, 0, 0, 0);
            xcb_flush(x);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        xcb_disconnect(x);
        done = true;
    });
    QTimer finished;
    QObject::connect(&finished, &QTimer::timeout, [&] {
        if (done) {
            QCoreApplication::quit();
        }
    });
    finished.start(100);
    QApplication::exec();
    presser.join();
    QCoreApplication::processEvents();
    if (delays.empty()) {
        std::fprintf(stderr, "no press struck a note\n");
        return 1;
    }
    std::printf("%zu of %d presses struck; X event to note: min %.3f ms, median %.3f ms, "
                "99th %.3f ms, max %.3f ms; at most %d rectangles painted\n",
                delays.size(), presses, percentile(delays, 0), percentile(delays, 0.5),
                percentile(delays, 0.99), percentile(delays, 1), shapeRects);
    return 0;
}
