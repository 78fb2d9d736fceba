// The helper's texts run for real by /bin/sh with their paths pointed into a temporary root,
// attacked as another local account would, and the unit as systemd rates its hardening.
#include "logo/HelperTexts.hpp"

#include "ChildProcess.hpp"
#include "StandIns.hpp"
#include "app/HelperStatus.hpp"
#include "logo/FifoPipeWriter.hpp"

#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace plinkora {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::writeFile;
using testing::writeStandInSystemctl;

/// The account that installs the helper, and another one on the same machine.
constexpr uid_t kOwner = 54321;
constexpr uid_t kOtherAccount = 54322;

using testing::readFile;
unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0u;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

/// CPU seconds a process and its reaped children have used.
double cpuSeconds(pid_t pid) {
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 17; ++i) {
        if (i >= 14) { // utime, stime, cutime, cstime
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

/// A temporary root with stand-ins for the commands that would touch the real system.
class HelperScriptsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        fs::create_directories(root / "etc/systemd/system");
        writeStandInSystemctl(bin);
        writeFile(bin / "chown", "#!/bin/sh\necho \"$*\" >> \"$STANDIN_LOG/chown\"\n",
                  fs::perms(0755));
        fs::create_directories(logs);
        // A lid logo under a trigger, and another light that must be left alone.
        writeFile(logoLed / "max_brightness", "255\n");
        writeFile(logoLed / "brightness", "7\n");
        writeFile(logoLed / "trigger", "none kbd-capslock [heartbeat] timer\n");
        writeFile(otherLed / "max_brightness", "1\n");
        writeFile(otherLed / "brightness", "0\n");
    }

    /// Runs a script as pkexec would, "sh -c" with its whole text, under `mask`.
    int runScript(const std::string& text, const std::string& fail = "", mode_t mask = 022) {
        const mode_t previous = ::umask(mask);
        int status = -1;
        testing::runCommand({"/bin/sh", "-c", text, "plinkora-helper"},
                            {{"PATH", bin.string() + ":/usr/bin:/bin"},
                             {"STANDIN_LOG", logs.string()},
                             {"STANDIN_FAIL", fail}},
                            &status);
        ::umask(previous);
        return status;
    }

    QTemporaryDir dir;
    const fs::path base = dir.path().toStdString();
    const fs::path root = base / "root";
    const fs::path bin = base / "bin";
    const fs::path logs = base / "logs";
    const fs::path logoLed = root / "sys/class/leds/tpacpi::lid_logo_dot";
    const fs::path otherLed = root / "sys/class/leds/input3::capslock";
    const HelperPaths paths = HelperPaths::underRoot(root.string());
    const HelperTexts texts{paths, kOwner};
};

TEST_F(HelperScriptsTest, InstallGivesEverythingItsModeUnderAnOpenUmaskAndFollowsNoLink) {
    // A link planted where the unit goes points somewhere harmless.
    const fs::path elsewhere = base / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directories(root / "usr/local");
    fs::create_symlink(elsewhere / "unit", paths.serviceUnitPath);

    ASSERT_EQ(runScript(texts.installScript(), "", 0), 0);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    const fs::path libexec = fs::path(paths.helperFolder).parent_path();
    for (const auto& [path, mode] :
         std::vector<std::pair<fs::path, unsigned>>{{libexec, 0755u},
                                                    {paths.helperFolder, 0755u},
                                                    {paths.helperScriptPath, 0755u},
                                                    {paths.serviceUnitPath, 0644u},
                                                    {paths.ledStatePath, 0644u}}) {
        EXPECT_EQ(modeOf(path), mode) << path;
        EXPECT_FALSE(fs::is_symlink(path)) << path;
    }
    EXPECT_EQ(readFile(paths.helperScriptPath), texts.helperScript());
    EXPECT_EQ(readFile(paths.serviceUnitPath), texts.serviceUnit());
    EXPECT_EQ(readFile(paths.ledStatePath), logoLed.string() + " 7 heartbeat\n");
    EXPECT_NE(readFile(logs / "chown").find("root:root " + paths.helperFolder + "\n"),
              std::string::npos);
    EXPECT_EQ(readFile(logs / "systemctl"), "daemon-reload\n"
                                            "enable org.plinkora.Plinkora.LogoHelper.service\n"
                                            "restart org.plinkora.Plinkora.LogoHelper.service\n");

    // Installing again keeps the lights as the system had them, not as the helper left them.
    writeFile(logoLed / "brightness", "255\n");
    ASSERT_EQ(runScript(texts.installScript()), 0);
    EXPECT_EQ(readFile(paths.ledStatePath), logoLed.string() + " 7 heartbeat\n");

    // So is a link planted where the helper's folder goes.
    fs::remove_all(paths.helperFolder);
    fs::create_symlink(elsewhere, paths.helperFolder);
    ASSERT_EQ(runScript(texts.installScript()), 0);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_FALSE(fs::is_symlink(paths.helperFolder));

    // A failing step ends the run there.
    fs::remove(logs / "systemctl");
    EXPECT_NE(runScript(texts.installScript(), "enable"), 0);
    EXPECT_EQ(readFile(logs / "systemctl"),
              "daemon-reload\nenable org.plinkora.Plinkora.LogoHelper.service\n");
}

TEST_F(HelperScriptsTest, UninstallPutsTheLightBackAndRemovesAllThatInstallMade) {
    ASSERT_EQ(runScript(texts.installScript()), 0);
    // The helper switched the light, which drops its trigger.
    writeFile(logoLed / "brightness", "0\n");
    writeFile(logoLed / "trigger", "[none] kbd-capslock heartbeat timer\n");
    fs::create_directories(paths.pipeFolder);
    writeFile(paths.pipePath, "");
    fs::remove(logs / "systemctl");

    EXPECT_EQ(runScript(texts.uninstallScript()), 0);
    EXPECT_EQ(trimmed(readFile(logoLed / "brightness")), "7");
    EXPECT_EQ(trimmed(readFile(logoLed / "trigger")), "heartbeat");
    EXPECT_EQ(trimmed(readFile(otherLed / "brightness")), "0");
    for (const fs::path& gone : {fs::path(paths.helperFolder).parent_path(),
                                 fs::path(paths.pipeFolder), fs::path(paths.serviceUnitPath)}) {
        EXPECT_FALSE(fs::exists(gone)) << gone;
    }
    EXPECT_TRUE(fs::exists(root / "usr/local")) << "what was there before stays";
    EXPECT_EQ(readFile(logs / "systemctl"),
              "disable --now org.plinkora.Plinkora.LogoHelper.service\ndaemon-reload\n");

    // Nothing installed, systemctl failing, no lights at all: still a success.
    fs::remove_all(root / "sys");
    EXPECT_EQ(runScript(texts.uninstallScript(), "disable"), 0);
}

TEST_F(HelperScriptsTest, TheHelperServesOnlyItsOwnerAndShrugsOffJunkAndFloods) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "not root: the helper must run as root to hand its pipe to another "
                        "account, so the other-account attacks are not run";
    }
    fs::create_directories(paths.pipeFolder);
    // Every account may pass through to the pipe's folder, as through /run.
    fs::permissions(base, fs::perms(0755));
    const fs::path script = base / "logo-helper.sh";
    writeFile(script, texts.helperScript());
    testing::ChildProcess helper({"/bin/sh", script.string()}, {{"PATH", "/usr/bin:/bin"}});
    struct stat fifo {};
    for (int i = 0; i < 500 && !(::lstat(paths.pipePath.c_str(), &fifo) == 0 &&
                                 S_ISFIFO(fifo.st_mode) && fifo.st_uid == kOwner);
         ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(S_ISFIFO(fifo.st_mode));
    EXPECT_EQ(fifo.st_uid, kOwner);
    EXPECT_EQ(fifo.st_gid, 0u);
    EXPECT_EQ(fifo.st_mode & 07777, 0640u);

    // Another account can neither write, nor read the user's commands, nor fake a listener.
    const std::string pipe = paths.pipePath;
    EXPECT_EQ(testing::runAsAccount(kOtherAccount,
                                    [&] {
                                        const int writer =
                                            ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
                                        const int reader =
                                            ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
                                        return writer < 0 && reader < 0 && errno == EACCES ? 0 : 1;
                                    }),
              0);
    const HelperStatus status(paths);
    EXPECT_EQ(testing::runAsAccount(kOwner, [&] { return status.isRunning() ? 0 : 1; }), 0);
    // The probe opened the pipe without writing, which ends the helper's read empty. A line
    // written before the helper has closed that opening is lost with it (a known gap of the
    // one-line-per-opening design), so the first line waits until the helper is past it.
    std::this_thread::sleep_for(500ms);

    // The owner's lines go through, one per opening, while the helper waits again.
    const auto send = [&](const std::string& line) {
        return testing::runAsAccount(kOwner, [&] {
                   return testing::waitUntil(
                              [&] { return FifoPipeWriter::writeLineOnce(pipe, line, 200ms); }, 10)
                              ? 0
                              : 1;
               }) == 0;
    };
    const auto brightnessBecomes = [&](const std::string& value) {
        return testing::waitUntil(
            [&] { return trimmed(readFile(logoLed / "brightness")) == value; }, 3);
    };
    ASSERT_TRUE(send("on\n"));
    EXPECT_TRUE(brightnessBecomes("255"));
    ASSERT_TRUE(send("off\n"));
    EXPECT_TRUE(brightnessBecomes("0"));

    const fs::path marker = base / "ran";
    for (const std::string& junk :
         {std::string("reboot\n"), "; touch '" + marker.string() + "'\n",
          "$(touch '" + marker.string() + "')\n", std::string("\n"), std::string("on off\n"),
          std::string("offoffoff\n"), std::string("")}) {
        ASSERT_TRUE(send(junk)) << junk;
    }
    EXPECT_FALSE(fs::exists(marker));

    // Two seconds of megabyte lines cost the helper a sliver of what they cost to read whole.
    const double before = cpuSeconds(helper.pid());
    const auto start = std::chrono::steady_clock::now();
    testing::runAsAccount(kOwner, [&] {
        ::signal(SIGPIPE, SIG_IGN);
        const std::string flood(1 << 20, 'x');
        while (std::chrono::steady_clock::now() - start < 2s) {
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                continue;
            }
            ::fcntl(fd, F_SETFL, 0);
            [[maybe_unused]] const auto ignored = ::write(fd, flood.data(), flood.size());
            ::close(fd);
        }
        return 0;
    });
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(cpuSeconds(helper.pid()) - before, 0.1 * elapsed);
    EXPECT_TRUE(helper.isRunning());
    ASSERT_TRUE(send("on\n"));
    EXPECT_TRUE(brightnessBecomes("255"));
    EXPECT_EQ(trimmed(readFile(otherLed / "brightness")), "0");
}

TEST(HelperUnit, SystemdRatesItsHardeningAtMostTwo) {
    QTemporaryDir dir;
    const HelperPaths paths = HelperPaths::production();
    const fs::path unit = fs::path(dir.path().toStdString()) / paths.serviceUnitName();
    writeFile(unit, HelperTexts(paths, kOwner).serviceUnit());
    int status = -1;
    const std::string report = testing::runCommand(
        {"systemd-analyze", "security", "--offline=true", "--no-pager", unit.string()}, {},
        &status);
    std::smatch level;
    ASSERT_TRUE(std::regex_search(report, level,
                                  std::regex("Overall exposure level for [^:]*: "
                                             "([0-9.]+)")))
        << report;
    EXPECT_LE(std::stod(level[1]), 2.0) << report;
    // The light must stay writable.
    EXPECT_EQ(report.find("✓ ProtectKernelTunables="), std::string::npos);
}

} // namespace
} // namespace plinkora
