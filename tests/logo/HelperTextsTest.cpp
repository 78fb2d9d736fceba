// The helper's four texts: exactly as installed on a real system, and run for real by
// /bin/sh with their paths pointed into a temporary root.
#include "logo/HelperTexts.hpp"

#include "ChildProcess.hpp"
#include "StandIns.hpp"
#include "app/HelperStatus.hpp"
#include "logo/FifoPipeWriter.hpp"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace plinkora {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::writeFile;
using testing::writeStandInSystemctl;

const char* const kProductionHelperScript = R"TXT(#!/bin/sh
# Plinkora lid-logo helper. Runs as root under systemd and waits for "on" / "off"
# lines on a named pipe, switching the lid logo's light through the LED class.
FIFO="/run/plinkora/logo-control"
if [ ! -p "$FIFO" ]; then
    mkdir -p "$(dirname "$FIFO")"
    rm -f "$FIFO"
    mkfifo "$FIFO"
    chmod 666 "$FIFO"
fi
while :; do
    if read -r cmd < "$FIFO"; then
        for led in /sys/class/leds/*lid_logo*; do
            [ -w "$led/brightness" ] || continue
            case "$cmd" in
                off) echo 0 > "$led/brightness" ;;
                on)  cat "$led/max_brightness" > "$led/brightness" ;;
            esac
        done
    else
        sleep 0.2
    fi
done
)TXT";

const char* const kProductionServiceUnit = R"TXT([Unit]
Description=Plinkora lid-logo helper

[Service]
ExecStart=/bin/sh /usr/local/libexec/plinkora/logo-helper.sh
Restart=always
RestartSec=1
RuntimeDirectory=plinkora
RuntimeDirectoryMode=0755
ProtectSystem=strict
ProtectHome=yes
PrivateTmp=yes
PrivateNetwork=yes
NoNewPrivileges=yes
MemoryMax=16M
TasksMax=8

[Install]
WantedBy=multi-user.target
)TXT";

const char* const kProductionInstallScript = R"TXT(#!/bin/sh
set -e
SRC='/run/user/1000/PlinkoraHelper'
mkdir -p '/usr/local/libexec/plinkora' '/run/plinkora'
cp "$SRC/logo-helper.sh" '/usr/local/libexec/plinkora/logo-helper.sh'
chown root:root '/usr/local/libexec/plinkora/logo-helper.sh'
chmod 755 '/usr/local/libexec/plinkora/logo-helper.sh'
if [ ! -p '/run/plinkora/logo-control' ]; then
    rm -f '/run/plinkora/logo-control'
    mkfifo '/run/plinkora/logo-control'
fi
chmod 666 '/run/plinkora/logo-control'
cp "$SRC/org.plinkora.Plinkora.LogoHelper.service" '/etc/systemd/system/org.plinkora.Plinkora.LogoHelper.service'
chown root:root '/etc/systemd/system/org.plinkora.Plinkora.LogoHelper.service'
chmod 644 '/etc/systemd/system/org.plinkora.Plinkora.LogoHelper.service'
systemctl daemon-reload
systemctl enable 'org.plinkora.Plinkora.LogoHelper.service'
systemctl restart 'org.plinkora.Plinkora.LogoHelper.service'
)TXT";

const char* const kProductionUninstallScript = R"TXT(#!/bin/sh
systemctl disable --now 'org.plinkora.Plinkora.LogoHelper.service' 2>/dev/null || true
rm -f '/etc/systemd/system/org.plinkora.Plinkora.LogoHelper.service' '/usr/local/libexec/plinkora/logo-helper.sh' '/run/plinkora/logo-control'
systemctl daemon-reload 2>/dev/null || true
rmdir '/usr/local/libexec/plinkora' 2>/dev/null || true
rmdir '/run/plinkora' 2>/dev/null || true
for led in /sys/class/leds/*lid_logo*; do [ -w "$led/brightness" ] && cat "$led/max_brightness" > "$led/brightness"; done 2>/dev/null || true
exit 0
)TXT";

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0u;
}

bool isFifo(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

TEST(HelperTexts, ProductionTextsReadExactlyAsInstalled) {
    const HelperTexts texts(HelperPaths::production());
    EXPECT_EQ(texts.helperScript(), kProductionHelperScript);
    EXPECT_EQ(texts.serviceUnit(), kProductionServiceUnit);
    EXPECT_EQ(texts.installScript("/run/user/1000/PlinkoraHelper"), kProductionInstallScript);
    EXPECT_EQ(texts.uninstallScript(), kProductionUninstallScript);
    EXPECT_EQ(lineCount(texts.helperScript()), 23u);
    EXPECT_EQ(lineCount(texts.serviceUnit()), 19u);
    EXPECT_EQ(lineCount(texts.installScript("/x")), 18u);
    EXPECT_EQ(lineCount(texts.uninstallScript()), 8u);

    // The status probe looks where the installation puts things.
    EXPECT_EQ(HelperPaths::production().serviceUnitPath, HelperStatus::kServiceUnitPath);
    EXPECT_EQ(HelperPaths::production().pipePath, HelperStatus::kPipePath);
}

TEST(HelperTexts, StagingPathsAreOneShellWordWhateverTheyHold) {
    const HelperTexts texts(HelperPaths::production());
    const std::string script = texts.installScript("/run/user/1000/it's a \"run\" $HOME");
    EXPECT_NE(script.find("\nSRC='/run/user/1000/it'\\''s a \"run\" $HOME'\n"), std::string::npos)
        << script;
    int status = -1;
    const std::string echoed = testing::runCommand(
        {"/bin/sh", "-c",
         "SRC=" + HelperTexts::shellQuoted("it's a \"run\" $HOME `x`") + "; printf %s \"$SRC\""},
        {}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(echoed, "it's a \"run\" $HOME `x`");
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
        // A lid logo, and another light that must be left alone.
        writeFile(logoLed / "max_brightness", "255\n");
        writeFile(logoLed / "brightness", "0\n");
        writeFile(otherLed / "max_brightness", "1\n");
        writeFile(otherLed / "brightness", "0\n");
    }

    int runScript(const std::string& text, const std::string& fail = "") {
        const fs::path script = staging / ("script-" + std::to_string(++runs) + ".sh");
        writeFile(script, text);
        int status = -1;
        testing::runCommand({"/bin/sh", script.string()},
                            {{"PATH", bin.string() + ":/usr/bin:/bin"},
                             {"STANDIN_LOG", logs.string()},
                             {"STANDIN_FAIL", fail}},
                            &status);
        return status;
    }

    void stageHelperFiles() {
        writeFile(staging / HelperTexts::kHelperScriptName, texts.helperScript(), fs::perms(0600));
        writeFile(staging / paths.serviceUnitName(), texts.serviceUnit(), fs::perms(0600));
        fs::create_directories(logs);
    }

    QTemporaryDir dir;
    const fs::path base = dir.path().toStdString();
    const fs::path root = base / "root";
    const fs::path bin = base / "bin";
    const fs::path logs = base / "logs";
    // A staging path must stay one word even with a quote and a space in it.
    const fs::path staging = base / "user's staging";
    const fs::path logoLed = root / "sys/class/leds/tpacpi::lid_logo_dot";
    const fs::path otherLed = root / "sys/class/leds/input3::capslock";
    const HelperPaths paths = HelperPaths::underRoot(root.string());
    const HelperTexts texts{paths};
    int runs = 0;
};

TEST_F(HelperScriptsTest, InstallPutsEveryFileInPlaceWithItsModeAndStartsTheService) {
    stageHelperFiles();
    // A left-over regular file where the pipe belongs is replaced by a FIFO.
    writeFile(paths.pipePath, "junk");
    ASSERT_EQ(runScript(texts.installScript(staging.string())), 0);

    EXPECT_EQ(readFile(paths.helperScriptPath), texts.helperScript());
    EXPECT_EQ(modeOf(paths.helperScriptPath), 0755u);
    EXPECT_EQ(readFile(paths.serviceUnitPath), texts.serviceUnit());
    EXPECT_EQ(modeOf(paths.serviceUnitPath), 0644u);
    EXPECT_TRUE(isFifo(paths.pipePath));
    EXPECT_EQ(modeOf(paths.pipePath), 0666u);
    EXPECT_EQ(readFile(logs / "chown"), "root:root " + paths.helperScriptPath + "\n" +
                                            "root:root " + paths.serviceUnitPath + "\n");
    EXPECT_EQ(readFile(logs / "systemctl"), "daemon-reload\n"
                                            "enable org.plinkora.Plinkora.LogoHelper.service\n"
                                            "restart org.plinkora.Plinkora.LogoHelper.service\n");

    // Installing again over the installed helper replaces it and keeps the FIFO.
    writeFile(staging / HelperTexts::kHelperScriptName, "#!/bin/sh\n# newer\n", fs::perms(0600));
    ASSERT_EQ(runScript(texts.installScript(staging.string())), 0);
    EXPECT_EQ(readFile(paths.helperScriptPath), "#!/bin/sh\n# newer\n");
    EXPECT_TRUE(isFifo(paths.pipePath));
}

TEST_F(HelperScriptsTest, InstallStopsAtTheFirstFailingCommand) {
    stageHelperFiles();
    EXPECT_NE(runScript(texts.installScript(staging.string()), "enable"), 0);
    EXPECT_EQ(readFile(logs / "systemctl"),
              "daemon-reload\nenable org.plinkora.Plinkora.LogoHelper.service\n");

    // Nothing staged: the first copy fails and nothing else happens.
    fs::remove(staging / HelperTexts::kHelperScriptName);
    fs::remove_all(root / "usr");
    fs::remove(logs / "chown");
    EXPECT_NE(runScript(texts.installScript(staging.string())), 0);
    EXPECT_FALSE(fs::exists(paths.helperScriptPath));
    EXPECT_FALSE(fs::exists(logs / "chown"));
}

TEST_F(HelperScriptsTest, UninstallRemovesEverythingAndLeavesTheLogoLit) {
    stageHelperFiles();
    ASSERT_EQ(runScript(texts.installScript(staging.string())), 0);
    fs::remove(logs / "systemctl");

    EXPECT_EQ(runScript(texts.uninstallScript()), 0);
    EXPECT_FALSE(fs::exists(paths.helperFolder));
    EXPECT_FALSE(fs::exists(paths.pipeFolder));
    EXPECT_FALSE(fs::exists(paths.serviceUnitPath));
    EXPECT_EQ(readFile(logs / "systemctl"),
              "disable --now org.plinkora.Plinkora.LogoHelper.service\ndaemon-reload\n");
    EXPECT_EQ(trimmed(readFile(logoLed / "brightness")), "255");
    EXPECT_EQ(trimmed(readFile(otherLed / "brightness")), "0");

    // Nothing installed, systemctl failing, no lights at all: still a success.
    fs::remove_all(root / "sys");
    EXPECT_EQ(runScript(texts.uninstallScript(), "disable"), 0);
}

TEST_F(HelperScriptsTest, TheHelperSwitchesTheLogoAndIgnoresEverythingElse) {
    const fs::path script = base / "logo-helper.sh";
    writeFile(script, texts.helperScript());
    testing::ChildProcess helper({"/bin/sh", script.string()}, {{"PATH", "/usr/bin:/bin"}});

    // The helper makes its own pipe, world-writable.
    for (int i = 0; i < 500 && !(isFifo(paths.pipePath) && modeOf(paths.pipePath) == 0666u); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(isFifo(paths.pipePath));
    EXPECT_EQ(modeOf(paths.pipePath), 0666u);

    // Each line is written only once the helper waits again, so after a line is written the
    // previous one has been dealt with.
    const auto send = [&](const std::string& line) {
        for (int attempt = 0; attempt < 250; ++attempt) {
            if (FifoPipeWriter::writeLineOnce(paths.pipePath, line, 200ms)) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    const auto brightnessBecomes = [&](const std::string& value) {
        for (int i = 0; i < 300; ++i) {
            if (trimmed(readFile(logoLed / "brightness")) == value) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };

    ASSERT_TRUE(send("on\n"));
    EXPECT_TRUE(brightnessBecomes("255"));
    ASSERT_TRUE(send("off\n"));
    EXPECT_TRUE(brightnessBecomes("0"));

    const fs::path marker = base / "ran";
    for (const std::string& junk : {std::string("reboot\n"), "; touch '" + marker.string() + "'\n",
                                    "$(touch '" + marker.string() + "')\n", std::string("\n"),
                                    std::string("on off\n"), std::string("")}) {
        ASSERT_TRUE(send(junk)) << junk;
    }
    // One more line proves the helper has read all of the above and still serves.
    ASSERT_TRUE(send("reboot\n"));
    EXPECT_EQ(trimmed(readFile(logoLed / "brightness")), "0");
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(helper.isRunning());

    ASSERT_TRUE(send("on\n"));
    EXPECT_TRUE(brightnessBecomes("255"));
    EXPECT_EQ(trimmed(readFile(otherLed / "brightness")), "0");
}

} // namespace
} // namespace plinkora
