// The real Plinkora program: signals, the single instance and the command-line verbs.
#include "RealProgram.hpp"

#include <QDir>
#include <QFile>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace plinkora::testing;

namespace {

class PlinkoraProcess : public ::testing::Test, protected RealProgram {
protected:
    std::map<std::string, std::string> environment() const {
        return {{"QT_QPA_PLATFORM", "offscreen"},
                {"PLINKORA_LOG", "stderr"},
                {"HOME", home.path().toStdString()},
                {"XDG_CONFIG_HOME", home.configHome().toStdString()},
                {"XDG_RUNTIME_DIR", runtimeDir}};
    }

    using RealProgram::launch;
    std::unique_ptr<ChildProcess> launch(const std::vector<std::string>& arguments = {}) {
        return launch(arguments, environment());
    }

    /// Runs a second launch to its end; its exit code.
    int launchAndWait(const std::vector<std::string>& arguments) {
        auto process = launch(arguments);
        const int status = process->waitForExit(10.0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string runtimeDir = home.runtimeDir().toStdString();
};

} // namespace

TEST_F(PlinkoraProcess, StartsOffAndQuitsCleanlyOnEachSignal) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        QFile::remove(QString::fromStdString(logFile_));
        auto plinkora = launch();
        ASSERT_TRUE(waitForLog("scale is now C major: C4 D4 E4 F4 G4 A4 B4 C5 D5")) << log();
        EXPECT_EQ(count("Plinkora on"), 0u);
        plinkora->signal(signo);
        const int status = plinkora->waitForExit(10.0);
        ASSERT_TRUE(WIFEXITED(status)) << log();
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(count("Plinkora quitting"), 1u) << log();
    }
}

// The first launch's verb is its own; later ones hand theirs over.
TEST_F(PlinkoraProcess, LaterLaunchesHandTheirVerbToTheRunningOne) {
    auto plinkora = launch({"--on"});
    ASSERT_TRUE(waitForLog("Plinkora on")) << log();
    EXPECT_EQ(launchAndWait({"--toggle"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off"));
    EXPECT_EQ(launchAndWait({"--toggle"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora on", 2));
    EXPECT_EQ(launchAndWait({"--off"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off", 2));
    EXPECT_EQ(launchAndWait({"--off"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off", 3));
    // Nothing struck yet: nothing to save, and the running one says so.
    EXPECT_EQ(launchAndWait({"--save"}), 0);
    EXPECT_TRUE(waitForLog("nothing played in the last five minutes: nothing saved"));

    // A plain launch starts no second instrument.
    EXPECT_EQ(launchAndWait({}), 0);
    EXPECT_EQ(launchAndWait({"--settings"}), 0);
    EXPECT_EQ(count("scale is now"), 1u) << log();
    EXPECT_TRUE(plinkora->isRunning());

    plinkora->signal(SIGTERM);
    EXPECT_EQ(plinkora->waitForExit(10.0), 0);
    EXPECT_EQ(count("Plinkora quitting"), 1u);
}

TEST_F(PlinkoraProcess, CommandLineErrorsHelpAndVersion) {
    int status = -1;
    const std::string help = runCommand({binary_, "--help"}, environment(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("--toggle"), std::string::npos);
    EXPECT_NE(runCommand({binary_, "--version"}, environment(), &status).find("Plinkora 1."),
              std::string::npos);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(launchAndWait({"--bogus"}), 2);
    EXPECT_NE(log().find("Usage: plinkora"), std::string::npos);

    // Without a display there is nothing to show an overlay on: one clear line, status 1,
    // never an abort; and a user's wish for Wayland is overridden, with a line saying so.
    const struct {
        const char* platform;
        const char* display;
        const char* wayland;
        const char* said;
    } cases[] = {
        {"xcb", "", "", "no X display (DISPLAY is not set)"},
        {"", "", "wayland-9", "Plinkora needs XWayland"},
        {"xcb", ":4242", "", "cannot open the X display \":4242\""},
        {"wayland", ":4242", "wayland-9", "cannot open the X display \":4242\""},
    };
    for (const auto& each : cases) {
        auto env = environment();
        env["QT_QPA_PLATFORM"] = each.platform;
        env["DISPLAY"] = each.display;
        env["WAYLAND_DISPLAY"] = each.wayland;
        QFile::remove(QString::fromStdString(logFile_));
        ChildProcess plinkora({binary_}, env, -1, logFile_);
        const int exited = plinkora.waitForExit(10.0);
        EXPECT_TRUE(WIFEXITED(exited) && WEXITSTATUS(exited) == 1) << each.said << log();
        EXPECT_EQ(count(each.said), 1u) << log();
        EXPECT_EQ(count("runs through XWayland"),
                  std::string(each.platform) == "wayland" ? 1u : 0u);
    }
}

TEST_F(PlinkoraProcess, LaunchesAtTheSameMomentGiveExactlyOneInstrument) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QFile::remove(QString::fromStdString(logFile_));
        std::vector<std::unique_ptr<ChildProcess>> launches;
        launches.reserve(8);
        for (int i = 0; i < 8; ++i) {
            launches.push_back(launch({"--off"}));
        }
        // All but one hand their verb over and end; the one left is the instrument.
        ASSERT_TRUE(waitForLog("Plinkora off", 7)) << log();
        std::vector<ChildProcess*> running;
        waitUntil([&] {
            running.clear();
            for (auto& process : launches) {
                if (process->isRunning()) {
                    running.push_back(process.get());
                }
            }
            return running.size() <= 1;
        });
        ASSERT_EQ(running.size(), 1u) << log();
        for (auto& process : launches) {
            if (process.get() != running[0]) {
                const int status = process->waitForExit(1.0);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log();
            }
        }
        ChildProcess* instrument = running[0];
        EXPECT_EQ(count("scale is now"), 1u) << log();
        EXPECT_EQ(count("Plinkora off"), 7u) << log();
        instrument->signal(SIGTERM);
        EXPECT_EQ(instrument->waitForExit(10.0), 0);
    }
}
TEST_F(PlinkoraProcess, ABusyInstrumentGetsTheVerbWhenFreeAndNoSecondOneStarts) {
    auto plinkora = launch();
    ASSERT_TRUE(waitForLog("scale is now"));
    // Stopped, its main thread can answer nothing, as while it waits on a stalled server.
    plinkora->signal(SIGSTOP);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(launchAndWait({"--on"}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(8));
    EXPECT_EQ(count("Plinkora is busy; the request will be handled when it is free."), 1u);
    EXPECT_EQ(count("scale is now"), 1u) << log();
    plinkora->signal(SIGCONT);
    EXPECT_TRUE(waitForLog("Plinkora on")) << log();

    // An idle connection that never says anything is closed and blocks nobody.
    const int idle = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket = runtimeDir + "/org.plinkora.Plinkora.socket";
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(idle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(launchAndWait({"--off"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off")) << log();
    char byte = 0;
    EXPECT_EQ(::read(idle, &byte, 1), 0) << "closed within seconds";
    ::close(idle);
    plinkora->signal(SIGTERM);
    EXPECT_EQ(plinkora->waitForExit(10.0), 0);
}

TEST_F(PlinkoraProcess, PlantedSocketPathsAndLongRuntimeFoldersStillReachTheInstrument) {
    const std::string socketName = "/org.plinkora.Plinkora.socket";
    const std::string base = runtimeDir;
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"a directory at the socket path",
         [&] { ::mkdir((runtimeDir + socketName).c_str(), 0700); }},
        {"a file at the socket path",
         [&] {
             QFile(QString::fromStdString(runtimeDir + socketName)).open(QIODevice::WriteOnly);
         }},
        {"a link at the socket path",
         [&] { ::symlink("/nonexistent", (runtimeDir + socketName).c_str()); }},
        {"a runtime folder too long for a socket path",
         [&] {
             runtimeDir = base + "/" + std::string(60, 'r') + "/" + std::string(60, 'r');
             QDir().mkpath(QString::fromStdString(runtimeDir));
             ::chmod(runtimeDir.c_str(), 0700);
         }},
    };
    for (const auto& [name, plant] : cases) {
        SCOPED_TRACE(name);
        runtimeDir = base + "/" + std::to_string(&name - &cases[0].first);
        QDir().mkpath(QString::fromStdString(runtimeDir));
        ::chmod(runtimeDir.c_str(), 0700);
        plant();
        QFile::remove(QString::fromStdString(logFile_));
        struct stat plantedBefore {};
        const bool hasPlant = ::lstat((runtimeDir + socketName).c_str(), &plantedBefore) == 0;

        auto plinkora = launch();
        ASSERT_TRUE(waitForLog("scale is now")) << log();
        EXPECT_EQ(launchAndWait({"--on"}), 0);
        EXPECT_TRUE(waitForLog("Plinkora on")) << log();
        EXPECT_EQ(count("scale is now"), 1u) << log();
        plinkora->signal(SIGTERM);
        EXPECT_EQ(plinkora->waitForExit(10.0), 0);
        // The instance removed only what it made.
        struct stat plantedAfter {};
        EXPECT_EQ(::lstat((runtimeDir + socketName).c_str(), &plantedAfter) == 0, hasPlant);
        EXPECT_EQ(plantedAfter.st_ino, plantedBefore.st_ino);
    }

    // Without a runtime folder, a fallback in /tmp planted by another account is passed over.
    if (::geteuid() == 0) {
        const std::string tmp = base + "/tmp";
        const std::string planted = tmp + "/plinkora-0";
        QDir().mkpath(QString::fromStdString(planted));
        ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
        runtimeDir = "";
        auto env = environment();
        env["TMPDIR"] = tmp;
        auto plinkora =
            std::make_unique<ChildProcess>(std::vector<std::string>{binary_}, env, -1, logFile_);
        ASSERT_TRUE(waitForLog("scale is now", 2)) << log();
        ChildProcess second({binary_, "--off"}, env, -1, logFile_);
        EXPECT_EQ(second.waitForExit(10.0), 0);
        EXPECT_TRUE(QDir(QString::fromStdString(planted)).isEmpty());
        EXPECT_EQ(count("scale is now"), 2u) << log();
        plinkora->signal(SIGTERM);
        EXPECT_EQ(plinkora->waitForExit(10.0), 0);
    }
}

TEST_F(PlinkoraProcess, AtQuitTheLogosLastLineReachesAReaderSlowToOpen) {
    // The real pipe path, in a mount namespace of this program's own with a /run of its own:
    // an installed helper is left alone, and no other instance on the machine that quits
    // meanwhile writes its "on" into this pipe.
    const std::string pipeFolder = "/run/plinkora";
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0 ||
        ::mkdir(pipeFolder.c_str(), 0755) != 0) {
        GTEST_SKIP() << "needs root, to make the real pipe path in a mount namespace: the last "
                        "line's delivery at quit is not checked";
    }
    const std::string pipe = pipeFolder + "/logo-control";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
    home.writeFile(QStringLiteral(".config/Plinkora/Plinkora.conf"),
                   "[General]\npulsesLogo=true\n");
    const auto readLine = [&](const std::string& name) {
        const std::string out = home.path().toStdString() + "/" + name;
        ChildProcess cat({"cat", pipe}, {}, -1, out);
        cat.waitForExit(5.0);
        QFile file(QString::fromStdString(out));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    };

    auto plinkora = launch({"--on"});
    ASSERT_TRUE(waitForLog("Plinkora on")) << log();
    EXPECT_EQ(readLine("first"), "off\n");
    plinkora->signal(SIGTERM);
    // A reader slow to open still gets the "on" that leaves the logo lit.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(readLine("last"), "on\n");
    EXPECT_EQ(plinkora->waitForExit(10.0), 0);
}
