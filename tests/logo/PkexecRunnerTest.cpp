// Administrator rights through stand-in pkexec programs, and a whole install and removal by
// the controller into a temporary root.
#include "logo/PkexecRunner.hpp"

#include "ChildProcess.hpp"
#include "ManualScheduler.hpp"
#include "StandIns.hpp"
#include "TempHome.hpp"
#include "logo/HelperTexts.hpp"
#include "logo/LidLogoController.hpp"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace plinkora {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::writeFile;

using testing::readFile;
class PkexecRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void standInPkexec(const std::string& body, fs::perms perms = fs::perms(0755)) {
        writeFile(pkexec, "#!/bin/sh\n" + body, perms);
    }
    /// Runs `script` through the stand-in and waits for the outcome: "" for success.
    std::string outcomeOf(const std::string& script) {
        PkexecRunner runner(pkexec.string());
        std::optional<std::optional<std::string>> outcome;
        runner.runAsAdministrator(
            script, [&](std::optional<std::string> failure) { outcome = std::move(failure); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
        return outcome && *outcome ? **outcome : std::string();
    }

    QTemporaryDir dir;
    const fs::path base = dir.path().toStdString();
    const fs::path pkexec = base / "bin/pkexec";
};

TEST_F(PkexecRunnerTest, RunsTheWholeTextDetachedWithAFixedEnvironmentAndNeverWaits) {
    // The stand-in notes how it was started, then holds until the test lets it go.
    standInPkexec("cd \"$(dirname \"$0\")\"\n"
                  "{ for arg in \"$@\"; do echo \"[$arg]\"; done; env | grep -v 'PWD=' | sort;\n"
                  "  umask; [ \"$(cut -d' ' -f6 /proc/$$/stat)\" = $$ ] && echo session-leader;\n"
                  "} > seen\n"
                  "while [ ! -e go ]; do sleep 0.02; done\n"
                  "exec \"$@\"\n");
    ScopedEnv path("PATH", base.string() + "/evil:/usr/bin:/bin");
    ScopedEnv shell("SHELL", std::string("/nonexistent/shell"));
    ScopedEnv lang("LANG", std::string("xx_XX.bogus"));
    const std::string script = "echo \"it's \\\"run\\\" $0\" > '" + (base / "ran").string() + "'";

    PkexecRunner runner(pkexec.string());
    std::optional<std::optional<std::string>> outcome;
    runner.runAsAdministrator(script, [&](auto failure) { outcome = std::move(failure); });
    EXPECT_FALSE(outcome) << "returned before the administrator step ended";
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(base / "bin/seen"); }, 20000));
    EXPECT_FALSE(outcome);
    writeFile(base / "bin/go", "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
    EXPECT_EQ(*outcome, std::nullopt);

    EXPECT_EQ(readFile(base / "bin/seen"), "[/bin/sh]\n[-c]\n[" + script +
                                               "]\n[plinkora-helper]\n"
                                               "LC_ALL=C\nPATH=/usr/sbin:/usr/bin:/sbin:/bin\n"
                                               "0022\nsession-leader\n");
    EXPECT_EQ(readFile(base / "ran"), "it's \"run\" plinkora-helper\n");
}

TEST_F(PkexecRunnerTest, TheUserIsToldWhyItFailed) {
    const struct {
        const char* standIn;
        const char* message;
    } cases[] = {
        {"echo 'Error executing command as another user: Not authorized' >&2\n"
         "printf '\\nThis incident has been reported.\\n' >&2\nexit 127\n",
         PkexecRunner::kNotAuthorised},
        {"echo 'Error executing command as another user: Request dismissed' >&2\nexit 126\n",
         PkexecRunner::kDismissed},
        {"echo 'Error executing command as another user: No authentication agent found.' >&2\n"
         "exit 127\n",
         PkexecRunner::kNoAgent},
        // The script's own failure comes through pkexec as its last line on standard error.
        {"exec \"$@\"\n", "mkdir: cannot create directory: Read-only file system"},
        {"exit 127\n", PkexecRunner::kDidNotFinish},
        {"printf '\\n \\t\\n' >&2\nkill -KILL $$\n", PkexecRunner::kDidNotFinish},
    };
    for (const auto& each : cases) {
        standInPkexec(each.standIn);
        EXPECT_EQ(outcomeOf("echo starting >&2\n"
                            "echo 'mkdir: cannot create directory: Read-only file system' >&2\n"
                            "exit 1\n"),
                  each.message)
            << each.standIn;
    }
    // None, or one that cannot be started.
    fs::remove(pkexec);
    EXPECT_EQ(outcomeOf("exit 0"), PkexecRunner::kMissingPkexec);
    standInPkexec("exit 0\n", fs::perms(0644));
    EXPECT_EQ(outcomeOf("exit 0"), PkexecRunner::kMissingPkexec);
}

// --- The whole way: controller, pkexec, the scripts ---

class RecordingPipe final : public PipeWriter {
public:
    explicit RecordingPipe(std::vector<Lamp>& log)
        : log_(log) {}
    void write(Lamp command) override { log_.push_back(command); }

private:
    std::vector<Lamp>& log_;
};

TEST_F(PkexecRunnerTest, TheControllerInstallsAndRemovesTheHelper) {
    testing::TempHome home;
    const fs::path bin = base / "bin";
    // pkexec hands the script a fixed PATH; this one puts the stand-ins first.
    standInPkexec("PATH='" + bin.string() + "':$PATH STANDIN_LOG='" + base.string() +
                  "' exec \"$@\"\n");
    testing::writeStandInSystemctl(bin);
    writeFile(bin / "chown", "#!/bin/sh\n", fs::perms(0755));
    const fs::path root = base / "root";
    fs::create_directories(root / "etc/systemd/system");
    const HelperPaths paths = HelperPaths::underRoot(root.string());

    testing::ManualScheduler clock;
    std::vector<Lamp> written;
    LidLogoController logo(clock, paths, std::make_unique<RecordingPipe>(written),
                           std::make_unique<PkexecRunner>(pkexec.string()));
    std::optional<std::optional<std::string>> outcome;
    const auto run = [&](void (LidLogoController::*step)(LidLogo::HelperDone)) {
        outcome.reset();
        (logo.*step)([&](auto failure) { outcome = std::move(failure); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20000));
        return outcome.value_or("no answer").value_or("");
    };

    logo.setPulsing(true);
    EXPECT_EQ(run(&LidLogoController::installHelper), "");
    EXPECT_EQ(readFile(paths.helperScriptPath), HelperTexts(paths, ::getuid()).helperScript());
    EXPECT_TRUE(fs::exists(paths.serviceUnitPath));
    {
        standInPkexec("PATH='" + bin.string() + "':$PATH STANDIN_LOG='" + base.string() +
                      "' STANDIN_FAIL=restart exec \"$@\"\n");
        EXPECT_EQ(run(&LidLogoController::installHelper),
                  "Failed to restart unit: Unit not found.");
    }
    EXPECT_EQ(run(&LidLogoController::uninstallHelper), "");
    EXPECT_FALSE(fs::exists(paths.helperFolder));
    EXPECT_FALSE(fs::exists(paths.serviceUnitPath));
    // Pulsing wrote "off"; after the successful runs the logo is taken to be lit.
    logo.setPulsing(false);
    EXPECT_EQ(written, std::vector<Lamp>{Lamp::off});
}

} // namespace
} // namespace plinkora
