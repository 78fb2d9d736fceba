// The real Plinkora program: signals, the single instance and the command-line verbs.
#include "ChildProcess.hpp"
#include "TempHome.hpp"

#include <QFile>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

using namespace plinkora::testing;

namespace {

class PlinkoraProcess : public ::testing::Test {
protected:
    void SetUp() override {
        const char* binary = std::getenv("PLINKORA_BINARY");
        ASSERT_NE(binary, nullptr) << "PLINKORA_BINARY names the program under test";
        binary_ = binary;
        logFile_ = home.path().toStdString() + "/plinkora.log";
    }

    std::map<std::string, std::string> environment() const {
        return {{"QT_QPA_PLATFORM", "offscreen"},
                {"PLINKORA_LOG", "stderr"},
                {"HOME", home.path().toStdString()},
                {"XDG_CONFIG_HOME", home.configHome().toStdString()},
                {"XDG_RUNTIME_DIR", home.runtimeDir().toStdString()}};
    }

    std::unique_ptr<ChildProcess> launch(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> argv{binary_};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(argv, environment(), -1, logFile_);
    }

    /// Runs a second launch to its end; its exit code.
    int launchAndWait(const std::vector<std::string>& arguments) {
        auto process = launch(arguments);
        const int status = process->waitForExit(10.0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string log() const {
        QFile file(QString::fromStdString(logFile_));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    std::size_t count(const std::string& fragment) const {
        const std::string text = log();
        std::size_t n = 0;
        for (auto at = text.find(fragment); at != std::string::npos;
             at = text.find(fragment, at + 1)) {
            ++n;
        }
        return n;
    }

    /// Waits until the log holds `fragment` `times` times.
    bool waitForLog(const std::string& fragment, std::size_t times = 1) const {
        for (int i = 0; i < 500; ++i) {
            if (count(fragment) >= times) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    TempHome home;
    std::string binary_;
    std::string logFile_;
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

TEST_F(PlinkoraProcess, LaterLaunchesHandTheirVerbToTheRunningOne) {
    auto plinkora = launch();
    ASSERT_TRUE(waitForLog("scale is now"));

    EXPECT_EQ(launchAndWait({"--on"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora on"));
    EXPECT_EQ(launchAndWait({"--toggle"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off"));
    EXPECT_EQ(launchAndWait({"--toggle"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora on", 2));
    EXPECT_EQ(launchAndWait({"--off"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off", 2));
    EXPECT_EQ(launchAndWait({"--off"}), 0);
    EXPECT_TRUE(waitForLog("Plinkora off", 3));

    // A plain launch starts no second instrument.
    EXPECT_EQ(launchAndWait({}), 0);
    EXPECT_EQ(launchAndWait({"--settings"}), 0);
    EXPECT_EQ(count("scale is now"), 1u) << log();
    EXPECT_TRUE(plinkora->isRunning());

    plinkora->signal(SIGTERM);
    EXPECT_EQ(plinkora->waitForExit(10.0), 0);
    EXPECT_EQ(count("Plinkora quitting"), 1u);
}

TEST_F(PlinkoraProcess, OnWithoutARunningInstanceStartsAndSwitchesOn) {
    auto plinkora = launch({"--on"});
    ASSERT_TRUE(waitForLog("Plinkora on")) << log();
    EXPECT_TRUE(plinkora->isRunning());
    plinkora->signal(SIGTERM);
    EXPECT_EQ(plinkora->waitForExit(10.0), 0);
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

    // Without any display there is nothing to show an overlay on.
    auto env = environment();
    env["QT_QPA_PLATFORM"] = "xcb";
    env["DISPLAY"] = "";
    env["WAYLAND_DISPLAY"] = "";
    runCommand({binary_}, env, &status);
    EXPECT_EQ(status, 1);
}
