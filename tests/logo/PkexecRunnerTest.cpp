// Administrator rights through stand-in pkexec programs. The scripts it runs are run for real
// by the helper's own tests.
#include "logo/PkexecRunner.hpp"

#include "ChildProcess.hpp"
#include "StandIns.hpp"
#include "TempHome.hpp"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

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

} // namespace
} // namespace plinkora
