// Signature checks and putting verified bytes in place, on real files in a private home.
#include "system/UpdateInstaller.hpp"

#include "TempHome.hpp"
#include "UpdateTestKit.hpp"
#include "system/UpdateSignatureVerifier.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plinkora;
using namespace plinkora::testing;

namespace {

mode_t modeOf(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    return status.st_mode & 07777;
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class UpdateInstallerTest : public ::testing::Test {
protected:
    QString writeAppImage(const QByteArray& bytes, mode_t mode) {
        QString path = home.writeFile(QStringLiteral("Applications/Plinkora.AppImage"), bytes);
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        return path;
    }

    TempHome home;
};

TEST_F(UpdateInstallerTest, ReplacesTheAppImageByRenameKeepingItsMode) {
    const QByteArray oldBytes = fakeAppImage(1);
    const QByteArray newBytes = fakeAppImage(2, qsizetype{100} * 1024);
    // Set-user-ID and set-group-ID never pass to the new file.
    const QString path = writeAppImage(oldBytes, 06750);
    // A leftover of an install that was stopped before it could rename.
    home.writeFile(QStringLiteral("Applications/.Plinkora.AppImage.update-AbC123"), "partial");
    home.writeFile(QStringLiteral("Applications/Other.AppImage"), "other");

    // The running process keeps reading its own, old file: the new one must be a new inode.
    const int running = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(running, 0);

    const auto result = UpdateInstaller::replaceAppImage(path, newBytes);
    ASSERT_TRUE(result.succeeded()) << result.error.toStdString();
    EXPECT_EQ(result.path, QFileInfo(path).canonicalFilePath());
    EXPECT_EQ(readAll(path), newBytes);
    EXPECT_EQ(modeOf(path), mode_t(0750));
    EXPECT_EQ(entries(home.path() + QStringLiteral("/Applications")),
              (QStringList{QStringLiteral("Other.AppImage"), QStringLiteral("Plinkora.AppImage")}));

    // Signed bytes of another kind never take the AppImage's place.
    for (const QByteArray& foreign :
         {QByteArray("!<arch>\ndebian-binary   2.0\n"), QByteArray("koly") + newBytes,
          QByteArray("\x7f"
                     "ELF")}) {
        EXPECT_FALSE(UpdateInstaller::replaceAppImage(path, foreign).succeeded());
        EXPECT_EQ(readAll(path), newBytes);
    }

    QByteArray stillOld(oldBytes.size(), '\0');
    EXPECT_EQ(::pread(running, stillOld.data(), size_t(stillOld.size()), 0), oldBytes.size());
    EXPECT_EQ(stillOld, oldBytes);
    ::close(running);
}

TEST_F(UpdateInstallerTest, OnlyTheAppImagePlinkoraRunsFromCounts) {
    const QString appImage = writeAppImage(fakeAppImage(1), 0755);
    const QString terminal = home.writeFile(QStringLiteral("Applications/Term.AppImage"), "x");
    const QString mount = home.path() + QStringLiteral("/.mount_Plink");
    const QString inside = home.writeFile(QStringLiteral(".mount_Plink/usr/bin/plinkora"), "x");
    const QString packaged = home.writeFile(QStringLiteral("usr/bin/plinkora"), "x");
    const QString lookalike = home.writeFile(QStringLiteral(".mount_Plinkx/usr/bin/plinkora"), "");
    EXPECT_EQ(UpdateInstaller::runningAppImage(appImage, mount, inside), appImage);
    // Started from another AppImage, which passed its variables on.
    EXPECT_EQ(UpdateInstaller::runningAppImage(appImage, mount, packaged), QString());
    EXPECT_EQ(UpdateInstaller::runningAppImage(appImage, mount, lookalike), QString());
    EXPECT_EQ(UpdateInstaller::runningAppImage(appImage, QString(), inside), QString());
    // A file that is not an AppImage, or none.
    EXPECT_EQ(UpdateInstaller::runningAppImage(terminal, mount, inside), QString());
    EXPECT_EQ(UpdateInstaller::runningAppImage(mount + QStringLiteral("/nothing"), mount, inside),
              QString());
}

TEST_F(UpdateInstallerTest, ReplacesTheFileALinkPointsToAndKeepsTheLink) {
    const QString target = writeAppImage(fakeAppImage(1), 0755);
    const QString link = home.path() + QStringLiteral("/Plinkora");
    ASSERT_TRUE(QFile::link(target, link));

    const auto result = UpdateInstaller::replaceAppImage(link, fakeAppImage(3));
    ASSERT_TRUE(result.succeeded()) << result.error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(target), fakeAppImage(3));
    EXPECT_EQ(modeOf(target), mode_t(0755));
}

TEST_F(UpdateInstallerTest, AFailedWriteLeavesTheOldAppImageWholeAndNoLeftovers) {
    const QByteArray oldBytes = fakeAppImage(1, 4096);
    const QString path = writeAppImage(oldBytes, 0755);

    // A full disk, made real: writes past this size fail with EFBIG.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t{16} * 1024;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const auto result =
        UpdateInstaller::replaceAppImage(path, fakeAppImage(2, qsizetype{64} * 1024));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(readAll(path), oldBytes);
    EXPECT_EQ(entries(home.path() + QStringLiteral("/Applications")),
              QStringList{QStringLiteral("Plinkora.AppImage")});
}

TEST_F(UpdateInstallerTest, StagesAPackagePrivatelyUnderASafeName) {
    const QString folder = home.path() + QStringLiteral("/.cache/Plinkora/updates");
    home.writeFile(QStringLiteral(".cache/Plinkora/updates/plinkora_1.0.deb"), "old package");

    // Only a Debian package is handed to the desktop's installer.
    EXPECT_FALSE(UpdateInstaller::stagePackage(folder, QStringLiteral("p.deb"), fakeAppImage(4))
                     .succeeded());
    const QByteArray bytes = "!<arch>\ndebian-binary   " + fakeAppImage(4);
    const auto result =
        UpdateInstaller::stagePackage(folder, QStringLiteral("../../.bashrc"), bytes);
    ASSERT_TRUE(result.succeeded()) << result.error.toStdString();
    EXPECT_EQ(QFileInfo(result.path).absolutePath(), folder);
    EXPECT_EQ(QFileInfo(result.path).fileName(), QStringLiteral("_.._.bashrc"));
    EXPECT_EQ(readAll(result.path), bytes);
    EXPECT_EQ(modeOf(result.path), mode_t(0600));
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    EXPECT_EQ(entries(folder), QStringList{QStringLiteral("_.._.bashrc")});
    EXPECT_FALSE(QFileInfo::exists(home.path() + QStringLiteral("/.bashrc")));

    const auto named =
        UpdateInstaller::stagePackage(folder, QStringLiteral("plinkora_1.2.0_amd64.deb"), bytes);
    ASSERT_TRUE(named.succeeded());
    EXPECT_EQ(entries(folder), QStringList{QStringLiteral("plinkora_1.2.0_amd64.deb")});
}
