// The controller's timing and repeat rules on the manual clock, and staging into a private
// runtime folder.
#include "logo/LidLogoController.hpp"

#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "TempHome.hpp"
#include "logo/HelperError.hpp"
#include "logo/HelperTexts.hpp"

#include <QDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {
namespace {

using testing::LogCapture;
using testing::ManualScheduler;
using testing::ScopedEnv;
using testing::TempHome;

struct Written {
    double at;
    Lamp command;
};

class RecordingPipe final : public PipeWriter {
public:
    RecordingPipe(const Scheduler& clock, std::vector<Written>& log)
        : clock_(clock)
        , log_(log) {}
    void write(Lamp command) override { log_.push_back({clock_.now(), command}); }

private:
    const Scheduler& clock_;
    std::vector<Written>& log_;
};

/// Stands in for pkexec: remembers the script and what it said while it ran, then succeeds
/// or throws like a failed run.
class RecordingAdministrator final : public PrivilegedRunner {
public:
    struct Run {
        std::string scriptPath;
        std::string scriptText;
    };
    RecordingAdministrator(std::vector<Run>& runs, const char* failure)
        : runs_(runs)
        , failure_(failure) {}
    void runAsAdministrator(const std::string& scriptPath) override {
        std::ifstream in(scriptPath);
        std::stringstream text;
        text << in.rdbuf();
        runs_.push_back({scriptPath, text.str()});
        if (failure_ != nullptr) {
            throw HelperError::scriptFailed(failure_);
        }
    }

private:
    std::vector<Run>& runs_;
    const char* failure_;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class LidLogoControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<LidLogoController> makeController(const char* installFailure = nullptr) {
        return std::make_unique<LidLogoController>(
            clock, HelperPaths::production(), std::make_unique<RecordingPipe>(clock, written),
            std::make_unique<RecordingAdministrator>(runs, installFailure));
    }

    TempHome home;
    ManualScheduler clock;
    std::vector<Written> written;
    std::vector<RecordingAdministrator::Run> runs;
};

TEST_F(LidLogoControllerTest, StrikesKeepTheLogoLitUntilTheLastHoldEnds) {
    auto logo = makeController();
    logo->setPulsing(true);
    clock.advance(1.0);
    logo->noteStruck(0.8);
    clock.advance(0.1);
    logo->noteStruck(0.8);
    clock.advance(2.0);

    const std::vector<Written> expected{{0.0, Lamp::off}, {1.0, Lamp::on}, {1.9, Lamp::off}};
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(written[i].command, expected[i].command) << i;
        EXPECT_NEAR(written[i].at, expected[i].at, 1e-9) << i;
    }
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(LidLogoControllerTest, RepeatsAreNeverSent) {
    auto logo = makeController();
    // Taken to be lit at start: switching pulsing off sends nothing.
    logo->setPulsing(false);
    EXPECT_TRUE(written.empty());

    logo->setPulsing(true);
    logo->setPulsing(true);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::off);
}

TEST_F(LidLogoControllerTest, StrikesWhileNotPulsingDoNothing) {
    auto logo = makeController();
    logo->noteStruck(0.8);
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(clock.pendingCount(), 0u);

    logo->setPulsing(true);
    logo->setPulsing(false);
    written.clear();
    logo->noteStruck(0.8);
    clock.advance(1.0);
    EXPECT_TRUE(written.empty());
}

TEST_F(LidLogoControllerTest, StoppingPulsingCancelsThePendingDarkening) {
    auto logo = makeController();
    logo->setPulsing(true);
    logo->noteStruck(0.8);
    clock.advance(0.3);
    logo->setPulsing(false);
    clock.advance(5.0);

    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[1].command, Lamp::on);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(LidLogoControllerTest, LeaveLitAlwaysSendsOnAndStopsPulsing) {
    auto logo = makeController();
    logo->leaveLit();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::on);

    logo->setPulsing(true);
    logo->noteStruck(0.5);
    logo->leaveLit();
    clock.advance(2.0);
    // off (pulsing), on (the strike), on (leaving lit, although believed lit); no darkening.
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[3].command, Lamp::on);
    logo->noteStruck(0.5);
    EXPECT_EQ(written.size(), 4u);
}

TEST_F(LidLogoControllerTest, AZeroOrInvalidHoldDarkensAtOnce) {
    auto logo = makeController();
    logo->setPulsing(true);
    logo->noteStruck(std::nan(""));
    clock.advance(0.0);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[2].command, Lamp::off);
}

TEST_F(LidLogoControllerTest, TheLogoIsTakenToBeLitAfterASuccessfulInstall) {
    auto logo = makeController();
    logo->setPulsing(true);
    logo->installHelper();
    written.clear();
    // "on" would repeat what the fresh helper shows; "off" is new.
    logo->setPulsing(false);
    EXPECT_TRUE(written.empty());
    logo->setPulsing(true);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::off);

    logo->uninstallHelper();
    written.clear();
    logo->setPulsing(false);
    EXPECT_TRUE(written.empty());
}

TEST_F(LidLogoControllerTest, AFailedInstallLeavesTheLampAndIsLogged) {
    auto logo = makeController("Error executing command as another user: Request dismissed");
    LogCapture log;
    logo->setPulsing(true);
    try {
        logo->installHelper();
        FAIL() << "no error";
    } catch (const HelperError& failure) {
        EXPECT_EQ(failure.kind(), HelperError::Kind::scriptFailed);
        EXPECT_STREQ(failure.what(), "Error executing command as another user: Request dismissed");
    }
    EXPECT_TRUE(log.contains("Installing the logo helper failed: Error executing command as "
                             "another user: Request dismissed"));
    written.clear();
    logo->setPulsing(false);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::on);
}

// --- Staging ---

TEST_F(LidLogoControllerTest, StagesAllFourFilesPrivatelyAndReusesTheFolder) {
    const std::string folder = home.runtimeDir().toStdString() + "/PlinkoraHelper";
    home.writeFile(QStringLiteral("run/PlinkoraHelper/install.sh"), "echo stale\n");
    ::chmod(folder.c_str(), 0700);

    auto logo = makeController();
    logo->installHelper();
    logo->uninstallHelper();

    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].scriptPath, folder + "/install.sh");
    EXPECT_EQ(runs[1].scriptPath, folder + "/uninstall.sh");
    const HelperTexts texts(HelperPaths::production());
    EXPECT_EQ(runs[0].scriptText, texts.installScript(folder));
    EXPECT_EQ(runs[1].scriptText, texts.uninstallScript());
    EXPECT_EQ(readFile(folder + "/logo-helper.sh"), texts.helperScript());
    EXPECT_EQ(readFile(folder + "/org.plinkora.Plinkora.LogoHelper.service"), texts.serviceUnit());

    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++entries;
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 077, 0u) << entry.path();
    }
    EXPECT_EQ(entries, 4u) << "no partial files are left behind";
}

TEST_F(LidLogoControllerTest, RefusesAPlantedLinkAndWritesNothingThroughIt) {
    const std::string target = home.path().toStdString() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(target)));
    const std::string folder = home.runtimeDir().toStdString() + "/PlinkoraHelper";
    ASSERT_EQ(::symlink(target.c_str(), folder.c_str()), 0);

    auto logo = makeController();
    try {
        logo->installHelper();
        FAIL() << "no error";
    } catch (const HelperError& failure) {
        EXPECT_EQ(failure.kind(), HelperError::Kind::stagingFailed);
        EXPECT_NE(std::string(failure.what()).find(folder), std::string::npos) << failure.what();
    }
    EXPECT_TRUE(runs.empty());
    EXPECT_TRUE(std::filesystem::is_empty(target));
}

TEST_F(LidLogoControllerTest, RefusesAFolderOfAnotherUserOrOpenToOthers) {
    const std::string folder = home.runtimeDir().toStdString() + "/PlinkoraHelper";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    auto logo = makeController();

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_THROW(logo->installHelper(), HelperError);
        EXPECT_TRUE(std::filesystem::is_empty(folder));
        ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
    } else {
        std::cerr << "not root: the other user's folder case needs chown and is not run\n";
    }

    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    try {
        logo->uninstallHelper();
        FAIL() << "no error";
    } catch (const HelperError& failure) {
        EXPECT_NE(std::string(failure.what()).find(folder), std::string::npos) << failure.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(runs.empty());
}

TEST_F(LidLogoControllerTest, WithoutAPrivateRuntimeFolderStagesInAFreshTemporaryOne) {
    const std::string tmp = home.path().toStdString() + "/tmp";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(tmp)));
    ScopedEnv tmpdir("TMPDIR", tmp);
    auto logo = makeController();

    for (const char* runtime : {"", "relative/run", "/nonexistent/run"}) {
        ScopedEnv unusable("XDG_RUNTIME_DIR", std::string(runtime));
        logo->installHelper();
    }
    {
        // A runtime folder that others may write into is no place for root's script.
        ASSERT_EQ(::chmod(home.runtimeDir().toUtf8().constData(), 0777), 0);
        logo->installHelper();
    }
    ASSERT_EQ(runs.size(), 4u);
    for (const auto& run : runs) {
        const std::string folder = std::filesystem::path(run.scriptPath).parent_path();
        EXPECT_EQ(folder.rfind(tmp + "/PlinkoraHelper-", 0), 0u) << folder;
        EXPECT_EQ(run.scriptText, HelperTexts(HelperPaths::production()).installScript(folder));
        EXPECT_FALSE(std::filesystem::exists(folder)) << "a fresh folder is removed after use";
    }
    EXPECT_FALSE(std::filesystem::exists(home.runtimeDir().toStdString() + "/PlinkoraHelper"));

    // A TMPDIR where others could rename the fresh folder is passed over for /tmp.
    ASSERT_EQ(::chmod(tmp.c_str(), 0777), 0);
    logo->installHelper();
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs.back().scriptPath.rfind("/tmp/PlinkoraHelper-", 0), 0u)
        << runs.back().scriptPath;
}

} // namespace
} // namespace plinkora
