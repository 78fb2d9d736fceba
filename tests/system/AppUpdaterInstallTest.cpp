// Installing an update: download with progress, verification, and what is (never) replaced.
#include "AppUpdaterTestFixture.hpp"
#include "system/UpdateProgressWindow.hpp"
#include "system/UpdateWindow.hpp"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <sys/stat.h>

using namespace plinkora;
using namespace plinkora::testing;

class AppUpdaterInstallTest : public AppUpdaterTest {
protected:
    /// Runs a user check and clicks "Install Update" in the window it shows.
    void checkAndInstall() {
        updater->checkForUpdates();
        UpdateWindow* window = waitForWindow<UpdateWindow>("updateWindow");
        ASSERT_NE(window, nullptr);
        click(window, QStringLiteral("Install Update"));
    }
};

TEST_F(AppUpdaterInstallTest, AReleaseMadeWithTheReleaseToolInstallsEndToEnd) {
    // The release tool makes the key, signs the AppImage and writes and signs the feed.
    const QString tool =
        qEnvironmentVariable("PLINKORA_SOURCE_DIR") + QStringLiteral("/scripts/release-tool.sh");
    const QString release = home.path() + QStringLiteral("/release");
    const QByteArray newBytes = fakeAppImage(12, qsizetype{3} * 1024 * 1024);
    const QString file = home.writeFile(QStringLiteral("release/Plinkora-1.2.AppImage"), newBytes);
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        EXPECT_TRUE(process.waitForFinished(30'000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput().trimmed();
    };
    UpdaterEnvironment released = environment();
    released.publicKey = run({QStringLiteral("keygen"), release});
    released.buildVersion = QStringLiteral("411");
    run({QStringLiteral("feed"), release + QStringLiteral("/update-key.pem"),
         release + QStringLiteral("/out"), QStringLiteral("412"), QStringLiteral("1.2"),
         server.url(QStringLiteral("/Plinkora-1.2.AppImage")).toString(), file});
    server.serve(QStringLiteral("/Plinkora-1.2.AppImage"), newBytes);
    server.serve(QStringLiteral("/appcast.xml"),
                 readAll(release + QStringLiteral("/out/appcast.xml")));
    server.serve(QStringLiteral("/appcast.xml.sig"),
                 readAll(release + QStringLiteral("/out/appcast.xml.sig")));
    start(released);
    checkAndInstall();
    EXPECT_FALSE(updater->canCheckForUpdates());
    EXPECT_NE(waitForWindow<UpdateProgressWindow>("updateProgressWindow"), nullptr);

    QMessageBox* done = waitForAlert();
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->text(), QStringLiteral("Plinkora 1.2 has been installed."));
    EXPECT_EQ(readAll(appImage()), newBytes);
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(appImage()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode_t(0755));
    EXPECT_TRUE(downloadLeftovers().isEmpty()) << downloadLeftovers().join(u' ').toStdString();
    EXPECT_TRUE(opened.isEmpty());
    settle();
    EXPECT_EQ(visibleWindow<UpdateProgressWindow>("updateProgressWindow"), nullptr);
    EXPECT_TRUE(waitUntilCanCheck());
    EXPECT_TRUE(relaunched.isEmpty());

    click(done, QStringLiteral("Relaunch Plinkora"));
    EXPECT_EQ(relaunched, QStringList{QFileInfo(appImage()).canonicalFilePath()});
    EXPECT_EQ(server.hits(QStringLiteral("/Plinkora-1.2.AppImage")), 1);
}

TEST_F(AppUpdaterInstallTest, TamperedShortLongOrForeignDownloadsAreRefusedAndNothingChanges) {
    const QByteArray published = fakeAppImage(12);
    const TestSigningKey otherKey;
    struct Case {
        const char* name;
        QByteArray served;
        std::function<void(FeedItem&)> adjust;
    };
    QByteArray tampered = published;
    tampered[1000] = char(tampered[1000] ^ 0x20);
    const std::vector<Case> cases = {
        {"a tampered byte", tampered, [](FeedItem&) {}},
        {"shorter than the feed says", published.left(published.size() - 1), [](FeedItem&) {}},
        {"longer than the feed says", published + "x", [](FeedItem&) {}},
        {"signed by another key", published,
         [&](FeedItem& item) { item.signature = otherKey.signBase64(published); }},
        {"a length that does not match what was signed", published.left(4096),
         [&](FeedItem& item) { item.length = QStringLiteral("4096"); }},
    };
    start();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        FeedItem item = publish(QStringLiteral("1.2"), published);
        test.adjust(item);
        server.serve(QStringLiteral("/Plinkora-1.2.AppImage"), test.served);
        serveFeed({item});
        checkAndInstall();
        QMessageBox* alert = waitForAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(),
                  QStringLiteral("The update could not be verified and was not installed."));
        EXPECT_EQ(readAll(appImage()), installedBytes);
        EXPECT_TRUE(downloadLeftovers().isEmpty());
        EXPECT_TRUE(opened.isEmpty());
        EXPECT_EQ(QDir(QFileInfo(appImage()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("Plinkora.AppImage")});
        EXPECT_TRUE(waitUntilCanCheck());
        click(alert, QStringLiteral("OK"));
        settle();
    }
}

TEST_F(AppUpdaterInstallTest, ADownloadRedirectedToHttpIsRefused) {
    FeedItem item = publish(QStringLiteral("1.2"), fakeAppImage(12));
    server.redirect(QStringLiteral("/Plinkora-1.2.AppImage"),
                    server.insecureUrl(QStringLiteral("/Plinkora-1.2.AppImage")));
    serveFeed({item});
    start();
    checkAndInstall();
    QMessageBox* alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("The update could not be downloaded."));
    EXPECT_EQ(server.insecureConnections(), 0);
    EXPECT_EQ(readAll(appImage()), installedBytes);
    EXPECT_TRUE(downloadLeftovers().isEmpty());

    // A redirect to another https address is followed.
    const QByteArray bytes = fakeAppImage(13);
    FeedItem moved = publish(QStringLiteral("1.3"), bytes);
    server.redirect(QStringLiteral("/latest.AppImage"), QUrl(moved.url));
    moved.url = server.url(QStringLiteral("/latest.AppImage")).toString();
    serveFeed({moved});
    alert->close();
    settle();
    checkAndInstall();
    alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Plinkora 1.3 has been installed."));
    EXPECT_EQ(readAll(appImage()), bytes);
}

TEST_F(AppUpdaterInstallTest, OutsideAnAppImageTheVerifiedPackageGoesToTheDesktop) {
    // The package test hands in the package it built; alone, a stand-in will do.
    const QString built = qEnvironmentVariable("PLINKORA_TEST_PACKAGE");
    const QByteArray package =
        built.isEmpty() ? "!<arch>\ndebian-binary   " + fakeAppImage(20, qsizetype{200} * 1024)
                        : readAll(built);
    ASSERT_TRUE(package.startsWith("!<arch>\ndebian-binary")) << built.toStdString();
    FeedItem item = publish(QStringLiteral("1.2"), package);
    item.url = server.url(QStringLiteral("/plinkora_1.2_amd64.deb")).toString();
    item.type = QStringLiteral("application/vnd.debian.binary-package");
    server.serve(QStringLiteral("/plinkora_1.2_amd64.deb"), package);
    serveFeed({item});
    UpdaterEnvironment packaged = environment();
    packaged.appImagePath.clear();
    start(packaged);
    checkAndInstall();
    QMessageBox* alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Plinkora 1.2 is ready to install."));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], packaged.packageFolder + QStringLiteral("/plinkora_1.2_amd64.deb"));
    EXPECT_EQ(readAll(opened[0]), package);
    if (!built.isEmpty()) {
        QProcess fields;
        fields.start(QStringLiteral("dpkg-deb"),
                     {QStringLiteral("-f"), opened[0], QStringLiteral("Package")});
        ASSERT_TRUE(fields.waitForFinished());
        EXPECT_EQ(fields.readAllStandardOutput().trimmed(), QByteArray("plinkora"));
    }
    EXPECT_EQ(readAll(appImage()), installedBytes);
    EXPECT_TRUE(downloadLeftovers().isEmpty());
}
