#include "AppUpdaterTestFixture.hpp"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace plinkora::testing {

AppUpdaterTest::AppUpdaterTest() {
    // Downloads go to the temporary folder; a private one shows what was left behind.
    tmpDir = home.path() + QStringLiteral("/tmp");
    QDir().mkpath(tmpDir);
    tmpEnv = std::make_unique<ScopedEnv>("TMPDIR", tmpDir.toStdString());
    settings = std::make_unique<Settings>(home.settingsFile());
    installedBytes = fakeAppImage(100);
    appImagePath = home.writeFile(QStringLiteral("Applications/Plinkora.AppImage"), installedBytes);
    ::chmod(QFile::encodeName(appImagePath).constData(), 0755);
}

AppUpdaterTest::~AppUpdaterTest() {
    updater.reset();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName().startsWith(QLatin1String("update"))) {
            delete widget;
        }
    }
    settle();
}

UpdaterEnvironment AppUpdaterTest::environment() {
    UpdaterEnvironment environment;
    environment.feedUrl = server.url(QStringLiteral("/appcast.xml"));
    environment.publicKey = key.publicKeyBase64();
    environment.runningVersion = QStringLiteral("1.0.0");
    environment.tls = server.clientTls();
    environment.appImagePath = appImagePath;
    environment.packageFolder = home.path() + QStringLiteral("/.cache/Plinkora/updates");
    environment.clock = [this] { return wallClock; };
    environment.openWithDesktop = [this](const QString& path) {
        opened.append(path);
        return true;
    };
    environment.relaunch = [this](const QString& path) { relaunched.append(path); };
    return environment;
}

AppUpdater& AppUpdaterTest::start(std::optional<UpdaterEnvironment> environment) {
    updater = std::make_unique<AppUpdater>(*settings, scheduler,
                                           environment ? *environment : this->environment());
    updater->setBringToFront([this] { ++broughtToFront; });
    QObject::connect(
        updater.get(), &Updater::reminderPosted,
        [this](const QString& title, const QString& text, const std::function<void()>& onClicked) {
            reminders.push_back({title, text, onClicked});
        });
    return *updater;
}

void AppUpdaterTest::restart() {
    updater.reset();
    settle();
    settings.reset();
    settings = std::make_unique<Settings>(home.settingsFile());
    start();
}

FeedItem AppUpdaterTest::publish(const QString& version, const QByteArray& bytes) {
    const QString path = QStringLiteral("/Plinkora-%1.AppImage").arg(version);
    server.serve(path, bytes);
    return signedItem(version, server.url(path).toString(), bytes, key);
}

void AppUpdaterTest::serveFeed(const std::vector<FeedItem>& items) {
    serveSignedFeed(appcastFeed(items));
}

void AppUpdaterTest::serveSignedFeed(const QByteArray& feed) {
    server.serve(QStringLiteral("/appcast.xml"), feed, "application/rss+xml");
    server.serve(QStringLiteral("/appcast.xml.sig"), key.signBase64(feed), "text/plain");
}

QPushButton* AppUpdaterTest::button(QWidget* window, const QString& text) {
    if (window == nullptr) {
        return nullptr;
    }
    for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
        if (candidate->text() == text) {
            return candidate;
        }
    }
    return nullptr;
}

void AppUpdaterTest::click(QWidget* window, const QString& text) {
    QPushButton* target = button(window, text);
    ASSERT_NE(target, nullptr) << "no button " << text.toStdString();
    QTest::mouseClick(target, Qt::LeftButton);
}

void AppUpdaterTest::settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QStringList AppUpdaterTest::downloadLeftovers() const {
    return QDir(tmpDir).entryList(QDir::Files | QDir::Hidden);
}

} // namespace plinkora::testing
