// Administrator rights through stand-in pkexec programs on PATH, and a whole install and
// removal by the controller into a temporary root.
#include "logo/PkexecRunner.hpp"

#include "ManualScheduler.hpp"
#include "StandIns.hpp"
#include "TempHome.hpp"
#include "logo/HelperError.hpp"
#include "logo/LidLogoController.hpp"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace plinkora {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::writeFile;
using testing::writeStandInSystemctl;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class PkexecRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void standInPkexec(const std::string& body, fs::perms perms = fs::perms(0755)) {
        writeFile(bin / "pkexec", "#!/bin/sh\n" + body, perms);
    }
    /// What runAsAdministrator threw, or "" when it succeeded.
    std::string failureOf(const std::string& scriptPath) {
        ScopedEnv path("PATH", bin.string() + ":/usr/bin:/bin");
        try {
            PkexecRunner().runAsAdministrator(scriptPath);
        } catch (const HelperError& failure) {
            EXPECT_EQ(failure.kind(), HelperError::Kind::scriptFailed);
            return failure.what();
        }
        return {};
    }

    QTemporaryDir dir;
    const fs::path base = dir.path().toStdString();
    // /usr/bin has the real pkexec, so the stand-ins go first; "no pkexec" empties PATH.
    const fs::path bin = base / "bin";
};

TEST_F(PkexecRunnerTest, RunsTheScriptWithShAsOneArgumentAndSucceedsOnZero) {
    standInPkexec("for arg in \"$@\"; do echo \"[$arg]\"; done > \"$(dirname \"$0\")/args\"\n"
                  "exec \"$@\"\n");
    const fs::path script = base / "it's a \"staged\" folder/install.sh";
    writeFile(script, "echo done > \"$(dirname \"$0\")/ran\"\n", fs::perms(0600));

    EXPECT_EQ(failureOf(script.string()), "");
    EXPECT_EQ(readFile(bin / "args"), "[/bin/sh]\n[" + script.string() + "]\n");
    EXPECT_EQ(readFile(script.parent_path() / "ran"), "done\n");
}

TEST_F(PkexecRunnerTest, AFailureShowsTheLastLineOnStandardError) {
    standInPkexec("echo '==== AUTHENTICATING ====' >&2\n"
                  "echo 'Error executing command as another user: Request dismissed' >&2\n"
                  "printf '  \\n\\n' >&2\n"
                  "exit 126\n");
    EXPECT_EQ(failureOf("/nonexistent/install.sh"),
              "Error executing command as another user: Request dismissed");

    // The script's own failure comes through pkexec the same way.
    standInPkexec("exec \"$@\"\n");
    const fs::path script = base / "install.sh";
    writeFile(script, "set -e\necho 'starting' >&2\nfalse\necho 'not reached' >&2\n",
              fs::perms(0600));
    EXPECT_EQ(failureOf(script.string()), "starting");
}

TEST_F(PkexecRunnerTest, ASilentFailureDidNotFinish) {
    standInPkexec("exit 127\n");
    EXPECT_EQ(failureOf("/x/install.sh"), "The installer did not finish.");
    standInPkexec("printf '\\n \\t\\n' >&2\nkill -KILL $$\n");
    EXPECT_EQ(failureOf("/x/install.sh"), "The installer did not finish.");
}

TEST_F(PkexecRunnerTest, WithoutPkexecTheUserIsToldWhatIsMissing) {
    fs::create_directories(bin);
    {
        ScopedEnv path("PATH", bin.string());
        try {
            PkexecRunner().runAsAdministrator("/x/install.sh");
            FAIL() << "no error";
        } catch (const HelperError& failure) {
            EXPECT_STREQ(failure.what(),
                         "Installing the helper needs pkexec (polkit), which is not installed.");
        }
    }
    // One that cannot be started is as good as none.
    standInPkexec("exit 0\n", fs::perms(0644));
    {
        ScopedEnv path("PATH", bin.string());
        try {
            PkexecRunner().runAsAdministrator("/x/install.sh");
            FAIL() << "no error";
        } catch (const HelperError& failure) {
            EXPECT_STREQ(failure.what(), PkexecRunner::kMissingPkexec);
        }
    }
}

// --- The whole way: controller, private staging, pkexec, the scripts ---

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
    // A runtime folder whose path needs quoting in the install script.
    const fs::path runtime = base / "it's a run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms(0700));
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.string());
    ScopedEnv logs("STANDIN_LOG", base.string());
    ScopedEnv path("PATH", bin.string() + ":/usr/bin:/bin");
    standInPkexec("exec \"$@\"\n");
    writeStandInSystemctl(bin);
    writeFile(bin / "chown", "#!/bin/sh\n", fs::perms(0755));
    const fs::path root = base / "root";
    fs::create_directories(root / "etc/systemd/system");
    const HelperPaths paths = HelperPaths::underRoot(root.string());

    testing::ManualScheduler clock;
    std::vector<Lamp> written;
    LidLogoController logo(clock, paths, std::make_unique<RecordingPipe>(written),
                           std::make_unique<PkexecRunner>());
    logo.setPulsing(true);
    logo.installHelper();
    EXPECT_TRUE(fs::exists(paths.helperScriptPath));
    EXPECT_TRUE(fs::exists(paths.serviceUnitPath));
    EXPECT_TRUE(fs::is_fifo(paths.pipePath));
    EXPECT_EQ(readFile(runtime / "PlinkoraHelper/logo-helper.sh"),
              readFile(paths.helperScriptPath));

    {
        ScopedEnv fail("STANDIN_FAIL", std::string("restart"));
        try {
            logo.installHelper();
            FAIL() << "no error";
        } catch (const HelperError& failure) {
            EXPECT_STREQ(failure.what(), "Failed to restart unit: Unit not found.");
        }
    }

    logo.uninstallHelper();
    EXPECT_FALSE(fs::exists(paths.helperFolder));
    EXPECT_FALSE(fs::exists(paths.serviceUnitPath));
    EXPECT_FALSE(fs::exists(paths.pipeFolder));
    // Pulsing wrote "off"; after the successful runs the logo is taken to be lit.
    logo.setPulsing(false);
    EXPECT_EQ(written, std::vector<Lamp>{Lamp::off});
}

} // namespace
} // namespace plinkora
