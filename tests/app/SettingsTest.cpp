#include "app/Settings.hpp"

#include "LogCapture.hpp"
#include "TempHome.hpp"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>
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
    EXPECT_EQ(loadFrom("scaleMode=harmonic-minor\n").scaleMode, ScaleMode::harmonicMinor);
    EXPECT_EQ(loadFrom("dynamics=position\n").dynamics, music::Dynamics::position);
    EXPECT_EQ(loadFrom("dynamics=loud\n").dynamics, music::Dynamics::fixed);
    EXPECT_EQ(loadFrom("sound=pan-flute\n").sound, music::Sound::panFlute);
    EXPECT_EQ(loadFrom("sound=banjo\n").sound, music::Sound::grandPiano);
    EXPECT_EQ(loadFrom("soundBank=/music/a.SF3\n").soundBank, "/music/a.SF3");
    EXPECT_EQ(loadFrom("soundBank=/music/a.txt\n").soundBank, "");
    EXPECT_EQ(loadFrom("soundBank=music/a.sf2\n").soundBank, "") << "relative to nothing";
    EXPECT_FALSE(loadFrom("showsGuides=maybe\n").showsGuides);
    EXPECT_TRUE(loadFrom("showsGuides=true\npulsesLogo=true\n").pulsesLogo);
}

TEST_F(SettingsTest, WritingOneKeyKeepsTheOthers) {
    home.writeFile(QStringLiteral(".config/Plinkora/Plinkora.conf"),
                   "[General]\nkeyRoot=4\nzoneCount=11\nsomethingElse=kept\n");
    {
        Settings settings(home.settingsFile());
        settings.set(&InstrumentSettings::noteLength, 3.5);
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
    // A read-only file still loads, and a write leaves it as it was, said once however often
    // it fails; once writable again the next save goes through and a new failure is said again.
    ASSERT_EQ(chmod(file.constData(), 0444), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.constData(), 65534, 65534), 0);
    }
    EXPECT_EQ(runUnprivileged(folder,
                              [&] {
                                  LogCapture log;
                                  Settings settings(path);
                                  const bool loaded = settings.load().zoneCount == 11;
                                  settings.set(&InstrumentSettings::zoneCount, 8);
                                  settings.flush();
                                  const bool untouched = onDisk(path) == original;
                                  settings.set(&InstrumentSettings::zoneCount, 10);
                                  settings.flush();
                                  const bool saidOnce = log.count("could not save") == 1;
                                  chmod(file.constData(), 0644);
                                  settings.set(&InstrumentSettings::noteLength, 3.0);
                                  settings.flush();
                                  const bool saved = Settings(path).load().zoneCount == 10;
                                  chmod(file.constData(), 0444);
                                  settings.set(&InstrumentSettings::zoneCount, 11);
                                  settings.flush();
                                  chmod(file.constData(), 0444);
                                  return loaded && untouched && saidOnce && saved &&
                                         log.count("could not save") == 2;
                              }),
              0);
    ASSERT_EQ(chmod(file.constData(), 0644), 0);
    {
        QFile restore(path);
        ASSERT_TRUE(restore.open(QIODevice::WriteOnly));
        restore.write(original);
    }
    // An unreadable file loads as defaults and is never written over.
    ASSERT_EQ(chmod(file.constData(), 0200), 0);
    EXPECT_EQ(runUnprivileged(folder,
                              [&] {
                                  Settings settings(path);
                                  const bool defaults = settings.load().zoneCount == 9;
                                  settings.set(&InstrumentSettings::noteLength, 4.0);
                                  return defaults;
                              }),
              0);
    ASSERT_EQ(chmod(file.constData(), 0644), 0);
    EXPECT_EQ(onDisk(path), original);
}

TEST_F(SettingsTest, ADragOfChangesIsSavedTwiceASecondAtMostAndAlwaysAtTheEnd) {
    const QString path = home.writeFile(QStringLiteral(".config/Plinkora/Plinkora.conf"),
                                        "[General]\nzoneCount=11\n");
    const auto inode = [&] {
        struct stat info {};
        stat(QFile::encodeName(path).constData(), &info);
        return info.st_ino;
    };
    const auto before = inode();
    auto settings = std::make_unique<Settings>(path);
    for (int step = 0; step < 23; ++step) {
        settings->set(&InstrumentSettings::noteLength, 2.0 + step * 0.25);
    }
    EXPECT_EQ(settings->load().noteLength, 7.5);
    EXPECT_EQ(inode(), before) << "nothing written during the drag";
    // Each save is a new file renamed into place: one save for the whole drag, half a second
    // after it (with room for a loaded machine).
    EXPECT_TRUE(QTest::qWaitFor([&] { return inode() != before; }, 2000));
    const auto saved = inode();
    EXPECT_EQ(Settings(path).load().noteLength, 7.5);
    QTest::qWait(Settings::kSaveDelayMs + 200);
    EXPECT_EQ(inode(), saved);

    // What changed last is on disk when the settings go, without waiting.
    settings->set(&InstrumentSettings::zoneCount, 12);
    settings.reset();
    EXPECT_EQ(Settings(path).load().zoneCount, 12);
}

TEST_F(SettingsTest, AFifoOrFolderAtTheSettingsPathIsNeverOpened) {
    const QString fifo = home.configHome() + QStringLiteral("/Plinkora/Plinkora.conf");
    QDir().mkpath(home.configHome() + QStringLiteral("/Plinkora"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = home.path() + QStringLiteral("/folder.conf");
    QDir().mkpath(folder);
    for (const QString& path : {fifo, folder}) {
        LogCapture log;
        {
            Settings settings(path);
            EXPECT_EQ(settings.load().zoneCount, 9);
            settings.set(&InstrumentSettings::zoneCount, 10);
        }
        EXPECT_EQ(log.count("is left as it is and the defaults are used"), 1u);
        struct stat info {};
        ASSERT_EQ(lstat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode) || S_ISDIR(info.st_mode));
    }
}
