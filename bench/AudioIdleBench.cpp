// CPU of the audio thread, and of the sound server itself, with Plinkora on and nothing
// sounding, and with Plinkora off, on a real null sink. The server's share is what a user's
// battery pays for a resting stream, which the audio thread's own share cannot show.
// Usage: bench_audio_idle [seconds [font.sf2]]
#include "AudioBenchSupport.hpp"
#include "ManualScheduler.hpp"
#include "PulseServer.hpp"
#include "audio/PianoEngine.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

using namespace plinkora;

namespace {

/// User plus system CPU seconds of this process's thread named `name`.
double threadCpuSeconds(const QString& name) {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) ||
            QString::fromUtf8(comm.readAll()).trimmed() != name) {
            continue;
        }
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString text = QString::fromUtf8(stat.readAll());
        // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
        const QStringList fields =
            text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
        return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return -1;
}

/// User plus system CPU seconds of process `pid`.
double processCpuSeconds(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QString text = QString::fromUtf8(stat.readAll());
    const QStringList fields =
        text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// The server's share of one core, in per cent, over `seconds`.
double serverShare(pid_t server, double seconds) {
    const double before = processCpuSeconds(server);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return 100 * (processCpuSeconds(server) - before) / wall;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    testing::PulseServer server;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double serverAlone = serverShare(server.pid(), seconds / 2);
    testing::ManualScheduler clock;
    PianoEngine engine(clock, argc > 2 ? argv[2] : "/usr/share/sounds/sf2/TimGM6mb.sf2");
    engine.start();
    bench::runEventsFor(0.5);
    // One note rings out first, so that the hall's tail has to die away and switch off.
    engine.play(0, 92);
    clock.advance(10);
    std::this_thread::sleep_for(std::chrono::seconds(6));

    const double before = threadCpuSeconds(QStringLiteral("plinkora-audio"));
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double after = threadCpuSeconds(QStringLiteral("plinkora-audio"));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0) {
        std::printf("no audio thread found\n");
        return 1;
    }
    std::printf("audio thread while idle and running: %.3f %% of one core over %.0f s "
                "(engine running: %s)\n",
                100 * (after - before) / wall, wall, engine.isEngineRunning() ? "yes" : "no");
    const double serverResting = serverShare(server.pid(), seconds / 2);
    engine.stopAfterTail();
    clock.advance(10);
    bench::runEventsFor(1);
    const double serverOff = serverShare(server.pid(), seconds / 2);
    std::printf("sound server: alone %.2f %%, with Plinkora on and silent %.2f %%, with "
                "Plinkora off %.2f %% of one core\n",
                serverAlone, serverResting, serverOff);
    return 0;
}
