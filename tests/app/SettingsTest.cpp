#include "app/Settings.hpp"

#include "LogCapture.hpp"
#include "TempHome.hpp"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace plinkora;
using namespace plinkora::testing;
using music::KeyRoot;
using music::ScaleMode;
using music::ZoneOrientation;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    /// Loads from a new file each time: Qt caches a settings file's contents per path.
    InstrumentSettings loadFrom(const QByteArray& ini) {
        const QString name = QStringLiteral("case%1.conf").arg(++files);
        return Settings(home.writeFile(name, "[General]\n" + ini)).load();
    }
    QByteArray onDisk(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    /// Runs `check` in a child process without root's power to ignore file modes.
    int runUnprivileged(const QString& folder, const std::function<bool()>& check) const {
        for (const QString& dir : {home.path(), home.configHome()}) {
            chmod(QFile::encodeName(dir).constData(), 0755);
        }
        const pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0) {
                // nobody owns the folder, so that only the file's own mode decides.
                const QByteArray path = QFile::encodeName(folder);
                if (chown(path.constData(), 65534, 65534) != 0 || setgid(65534) != 0 ||
                    setuid(65534) != 0) {
                    _exit(3);
                }
            }
            _exit(check() ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempHome home;
    int files = 0;
};

} // namespace

TEST_F(SettingsTest, FreshInstallationGetsTheDefaults) {
    const auto loaded = Settings(home.settingsFile()).load();
    EXPECT_EQ(loaded.orientation, ZoneOrientation::vertical);
    EXPECT_EQ(loaded.keyRoot, KeyRoot::c);
    EXPECT_EQ(loaded.scaleMode, ScaleMode::major);
    EXPECT_EQ(loaded.zoneCount, 9);
    EXPECT_FALSE(loaded.showsGuides);
    EXPECT_FALSE(loaded.pulsesLogo);
    EXPECT_EQ(loaded.noteLength, 2.0);
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
}

TEST_F(SettingsTest, StoredValuesAreValidatedWithFallbacks) {
    struct Case {
        const char* ini;
        int zoneCount;
        double noteLength;
    };
    for (const Case& c : {Case{"zoneCount=7\n", 9, 2.0}, Case{"zoneCount=13\n", 9, 2.0},
                          Case{"zoneCount=0\n", 9, 2.0}, Case{"zoneCount=8\n", 8, 2.0},
                          Case{"zoneCount=12\n", 12, 2.0}, Case{"zoneCount=abc\n", 9, 2.0},
                          Case{"noteLength=0\n", 9, 2.0}, Case{"noteLength=-1.5\n", 9, 2.0},
                          Case{"noteLength=fast\n", 9, 2.0}, Case{"noteLength=20\n", 9, 20.0},
                          Case{"noteLength=0.3\n", 9, 0.3}, Case{"noteLength=nan\n", 9, 2.0}}) {
        SCOPED_TRACE(c.ini);
        const auto loaded = loadFrom(c.ini);
        EXPECT_EQ(loaded.zoneCount, c.zoneCount);
        EXPECT_DOUBLE_EQ(loaded.noteLength, c.noteLength);
    }
    EXPECT_EQ(loadFrom("keyRoot=12\n").keyRoot, KeyRoot::c);
    EXPECT_EQ(loadFrom("keyRoot=-1\n").keyRoot, KeyRoot::c);
    EXPECT_EQ(loadFrom("keyRoot=seven\n").keyRoot, KeyRoot::c);
    EXPECT_EQ(loadFrom("keyRoot=11\n").keyRoot, KeyRoot::b);
    EXPECT_EQ(loadFrom("orientation=Vertical\n").orientation, ZoneOrientation::vertical);
    EXPECT_EQ(loadFrom("orientation=horizontal\n").orientation, ZoneOrientation::horizontal);
    EXPECT_EQ(loadFrom("scaleMode=Minor\n").scaleMode, ScaleMode::major);
    EXPECT_EQ(loadFrom("scaleMode=minor\n").scaleMode, ScaleMode::minor);
    EXPECT_FALSE(loadFrom("showsGuides=maybe\n").showsGuides);
    EXPECT_TRUE(loadFrom("showsGuides=true\npulsesLogo=true\n").pulsesLogo);
}

TEST_F(SettingsTest, WritingOneKeyKeepsTheOthers) {
    home.writeFile(QStringLiteral(".config/Plinkora/Plinkora.conf"),
                   "[General]\nkeyRoot=4\nzoneCount=11\nsomethingElse=kept\n");
    {
        Settings settings(home.settingsFile());
        settings.setNoteLength(3.5);
        settings.setSkippedVersion(QStringLiteral("2.0"));
    }
    const auto loaded = Settings(home.settingsFile()).load();
    EXPECT_EQ(loaded.keyRoot, KeyRoot::e);
    EXPECT_EQ(loaded.zoneCount, 11);
    EXPECT_DOUBLE_EQ(loaded.noteLength, 3.5);
    EXPECT_EQ(Settings(home.settingsFile()).skippedVersion(), QStringLiteral("2.0"));
    QSettings raw(home.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("somethingElse")).toString(), QStringLiteral("kept"));
}

TEST_F(SettingsTest, ReadOnlyAndUnreadableFilesNeverCrashOrLoseKeys) {
    const QString path = home.writeFile(QStringLiteral(".config/Plinkora/Plinkora.conf"),
                                        "[General]\nkeyRoot=4\nzoneCount=11\n");
    const QByteArray original = onDisk(path);
    const QString folder = home.configHome() + QStringLiteral("/Plinkora");
    const QByteArray file = QFile::encodeName(path);
    // A read-only file still loads, and a write leaves it as it was.
    ASSERT_EQ(chmod(file.constData(), 0444), 0);
    EXPECT_EQ(runUnprivileged(folder,
                              [&] {
                                  Settings settings(path);
                                  const bool loaded = settings.load().zoneCount == 11;
                                  settings.setZoneCount(8);
                                  return loaded;
                              }),
              0);
    EXPECT_EQ(onDisk(path), original);
    // An unreadable file loads as defaults and is never written over.
    ASSERT_EQ(chmod(file.constData(), 0200), 0);
    EXPECT_EQ(runUnprivileged(folder,
                              [&] {
                                  Settings settings(path);
                                  const bool defaults = settings.load().zoneCount == 9;
                                  settings.setNoteLength(4.0);
                                  return defaults;
                              }),
              0);
    ASSERT_EQ(chmod(file.constData(), 0644), 0);
    EXPECT_EQ(onDisk(path), original);
}

TEST_F(SettingsTest, AFolderThatCannotBeMadeIsLoggedNotFatal) {
    // A regular file where the folder should be defeats root too.
    home.writeFile(QStringLiteral("blocked"), "not a folder");
    LogCapture logs;
    Settings settings(home.path() + QStringLiteral("/blocked/Plinkora.conf"));
    settings.setZoneCount(10);
    EXPECT_TRUE(logs.contains("could not save the setting zoneCount"));
    EXPECT_EQ(onDisk(home.path() + QStringLiteral("/blocked")), QByteArray("not a folder"));
}
