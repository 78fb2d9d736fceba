#include "system/AppUpdater.hpp"

#include "app/Logger.hpp"
#include "app/Settings.hpp"
#include "system/UpdateAlert.hpp"
#include "system/UpdateInstallation.hpp"
#include "system/UpdateInstaller.hpp"
#include "system/UpdateWindow.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMetaMethod>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>

namespace plinkora {

namespace {

QString unreachable() {
    return QCoreApplication::translate("plinkora::AppUpdater",
                                       "The update feed could not be reached.");
}
QString unreadable() {
    return QCoreApplication::translate("plinkora::AppUpdater",
                                       "The update feed could not be read.");
}
QString notVerified() {
    return QCoreApplication::translate("plinkora::AppUpdater",
                                       "The update feed could not be verified.");
}
/// A base64 ed25519 signature with room for a line feed.
constexpr qint64 kMaxFeedSignatureBytes = 1024;

void relaunchAppImage(const QString& path) {
    // Started only once this process is on its way out, so the new one is the only instance.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [path] {
        if (!QProcess::startDetached(path, {})) {
            Logger::error("could not relaunch Plinkora from " + path.toStdString());
        }
    });
    QCoreApplication::quit();
}

} // namespace

UpdaterEnvironment UpdaterEnvironment::fromBuild() {
    UpdaterEnvironment environment;
    environment.feedUrl = QUrl(QStringLiteral(PLINKORA_UPDATE_FEED));
    environment.publicKey = QByteArrayLiteral(PLINKORA_UPDATE_PUBLIC_KEY);
    environment.runningVersion = QStringLiteral(PLINKORA_VERSION);
    environment.buildVersion = QStringLiteral(PLINKORA_BUILD_VERSION);
    environment.isSandboxed = qEnvironmentVariableIsSet("FLATPAK_ID");
    environment.appImagePath = UpdateInstaller::runningAppImage(
        qEnvironmentVariable("APPIMAGE"), qEnvironmentVariable("APPDIR"),
        QCoreApplication::applicationFilePath());
    environment.packageFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/Plinkora/updates");
    environment.clock = [] { return QDateTime::currentDateTimeUtc(); };
    environment.openWithDesktop = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    environment.relaunch = relaunchAppImage;
    return environment;
}

AppUpdater::AppUpdater(Settings& settings, Scheduler& scheduler)
    : AppUpdater(settings, scheduler, UpdaterEnvironment::fromBuild()) {}

AppUpdater::AppUpdater(Settings& settings, Scheduler& scheduler, UpdaterEnvironment environment)
    : settings_(settings)
    , scheduler_(scheduler)
    , environment_(std::move(environment))
    , automaticallyChecks_(settings.automaticallyChecksForUpdates())
    , feedFetcher_(network_, environment_.tls)
    , notesFetcher_(network_, environment_.tls)
    , feedBuffer_(&feedBytes_)
    , feedSignatureBuffer_(&feedSignature_)
    , notesBuffer_(&notesBytes_) {
    if (!environment_.clock) {
        environment_.clock = [] { return QDateTime::currentDateTimeUtc(); };
    }
    feedFetcher_.setDeadline(environment_.feedDeadlineMs);
    if (environment_.isSandboxed) {
        Logger::info("software updates are off in the sandbox: the desktop updates Plinkora");
        return;
    }
    if (environment_.publicKey.trimmed().isEmpty()) {
        Logger::info("software updates are off in this build: it has no key to verify them");
        return;
    }
    verifier_ = UpdateSignatureVerifier::fromBase64(environment_.publicKey);
    const auto running =
        UpdateVersion::parse(environment_.buildVersion.isEmpty() ? environment_.runningVersion
                                                                 : environment_.buildVersion);
    if (!verifier_ || !running) {
        verifier_.reset();
        Logger::error(running ? "software updates are off: the build's update key is not a "
                                "base64 ed25519 public key"
                              : "software updates are off: the build version " +
                                    environment_.buildVersion.toStdString() +
                                    " is not a version number");
        return;
    }
    runningVersion_ = *running;
    updateCanCheck();
    if (automaticallyChecks_) {
        scheduleNextCheck();
    }
}

// The fetchers go with their members, dropping their transfers without calling back into a
// half-destroyed updater.
AppUpdater::~AppUpdater() {
    nextCheck_.cancel();
    delete installation_.data();
    delete updateWindow_.data();
    delete alert_.data();
}

void AppUpdater::setAutomaticallyChecksForUpdates(bool checks) {
    settings_.setAutomaticallyChecksForUpdates(checks);
    if (checks == automaticallyChecks_) {
        return;
    }
    automaticallyChecks_ = checks;
    Logger::info(std::string("automatic update checks ") + (checks ? "on" : "off"));
    if (checks && verifier_) {
        scheduleNextCheck();
    } else {
        nextCheck_.cancel();
    }
    Q_EMIT automaticallyChecksForUpdatesChanged(checks);
}

Updater::Availability AppUpdater::availability() const {
    if (environment_.isSandboxed) {
        return Availability::byTheDesktop;
    }
    return verifier_ ? Availability::available : Availability::notInThisBuild;
}

void AppUpdater::checkForUpdates() {
    if (!canCheck_) {
        if (installation_) {
            installation_->raise(); // The user is looking for the update in progress.
        }
        return;
    }
    closeUpdateWindow();
    if (alert_) {
        alert_->close();
    }
    startCheck(CheckKind::userInitiated);
}

void AppUpdater::scheduleNextCheck() {
    double delay = kFirstCheckDelay;
    if (const auto last = settings_.lastUpdateCheck()) {
        const double sinceLast = static_cast<double>(last->msecsTo(environment_.clock())) / 1000.0;
        // A last check "in the future" means the clock was set back: wait one interval at most.
        delay = std::clamp(kCheckInterval - sinceLast, kFirstCheckDelay, kCheckInterval);
    }
    nextCheck_ = ScheduledTask(scheduler_, scheduler_.after(delay, [this] {
        nextCheck_.release();
        runScheduledCheck();
    }));
}

void AppUpdater::runScheduledCheck() {
    if (!automaticallyChecks_ || !verifier_) {
        return;
    }
    // The user is busy with an update already; the next attempt comes soon after.
    if (isChecking_ || installation_ || (updateWindow_ && updateWindow_->isVisible())) {
        scheduleNextCheck();
        return;
    }
    startCheck(CheckKind::scheduled);
}

void AppUpdater::startCheck(CheckKind kind) {
    Logger::info(std::string("checking for updates (") +
                 (kind == CheckKind::userInitiated ? "user-initiated" : "scheduled") + ") at " +
                 environment_.feedUrl.toDisplayString().toStdString());
    isChecking_ = true;
    updateCanCheck();
    feedBuffer_.close();
    feedBytes_.clear();
    feedBuffer_.open(QIODevice::WriteOnly);
    feedFetcher_.start(
        environment_.feedUrl, AppcastParser::kMaxFeedBytes, feedBuffer_,
        [this, kind](const UpdateFetcher::Result& result) { onFeedFetched(kind, result); });
}

void AppUpdater::onFeedFetched(CheckKind kind, const UpdateFetcher::Result& result) {
    feedBuffer_.close();
    settings_.setLastUpdateCheck(environment_.clock());
    if (automaticallyChecks_) {
        scheduleNextCheck();
    }
    if (!result.succeeded()) {
        isChecking_ = false;
        updateCanCheck();
        if (result.failure == UpdateFetcher::Failure::tooLarge) {
            reportFeedProblem(kind, unreadable(),
                              QCoreApplication::translate("plinkora::AppUpdater",
                                                          "The feed is larger than 1 MB."));
        } else {
            reportFeedProblem(kind, unreachable(), result.detail);
        }
        return;
    }
    // Nothing in the feed is read before its signature has been checked.
    QUrl signatureUrl = environment_.feedUrl;
    signatureUrl.setPath(signatureUrl.path() + QStringLiteral(".sig"));
    feedSignatureBuffer_.close();
    feedSignature_.clear();
    feedSignatureBuffer_.open(QIODevice::WriteOnly);
    feedFetcher_.start(signatureUrl, kMaxFeedSignatureBytes, feedSignatureBuffer_,
                       [this, kind](const UpdateFetcher::Result& signature) {
                           onFeedSignatureFetched(kind, signature);
                       });
}

void AppUpdater::onFeedSignatureFetched(CheckKind kind, const UpdateFetcher::Result& result) {
    feedSignatureBuffer_.close();
    isChecking_ = false;
    updateCanCheck();
    const auto signature = QByteArray::fromBase64Encoding(feedSignature_.trimmed(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
    if (!result.succeeded() || !signature || !verifier_->verify(feedBytes_, signature.decoded)) {
        feedBytes_.clear();
        reportFeedProblem(
            kind, notVerified(),
            result.succeeded()
                ? QStringLiteral("The feed's signature does not match the build's key.")
                : QStringLiteral("The feed's signature could not be fetched: ") + result.detail);
        return;
    }
    const AppcastParser::Result feed = AppcastParser::parse(feedBytes_);
    feedBytes_.clear();
    if (!feed.isValid()) {
        reportFeedProblem(kind, unreadable(), feed.error);
        return;
    }
    for (const QString& passedOver : feed.passedOver) {
        Logger::info(passedOver.toStdString());
    }
    const auto update = newestAvailable(feed.items);
    if (!update) {
        Logger::info("no update found: " + runningVersion_.text().toStdString() +
                     " is the newest version");
        if (kind == CheckKind::userInitiated) {
            showAlert(makeUpdateAlert(
                QMessageBox::Information,
                QCoreApplication::translate("plinkora::AppUpdater", "You're up to date!"),
                QCoreApplication::translate(
                    "plinkora::AppUpdater",
                    "Plinkora %1 is currently the newest version available.")
                    .arg(environment_.runningVersion)));
        }
        return;
    }
    Logger::info("update " + update->displayVersion.toStdString() + " (" +
                 update->version.text().toStdString() + ") is available");
    if (kind == CheckKind::userInitiated) {
        showUpdateWindow(*update);
    } else if (isSkipped(*update)) {
        Logger::info("update " + update->version.text().toStdString() +
                     " was skipped: no reminder");
    } else {
        remind(*update);
    }
}

void AppUpdater::reportFeedProblem(CheckKind kind, const QString& message, const QString& details) {
    Logger::error(message.toStdString() + " " + details.toStdString());
    if (kind == CheckKind::userInitiated) {
        showAlert(makeUpdateAlert(QMessageBox::Warning, message, details));
    }
}

void AppUpdater::remind(const AppcastItem& update) {
    if (!isSignalConnected(QMetaMethod::fromSignal(&Updater::reminderPosted))) {
        showUpdateWindow(update);
        return;
    }
    QPointer<AppUpdater> self(this);
    Q_EMIT reminderPosted(
        QCoreApplication::translate("plinkora::AppUpdater", "Plinkora %1 is available")
            .arg(update.displayVersion),
        QCoreApplication::translate("plinkora::AppUpdater",
                                    "Click to see what's new and install it."),
        [self, update] {
            if (self && !self->installation_) {
                self->showUpdateWindow(update);
            }
        });
}

void AppUpdater::showUpdateWindow(const AppcastItem& update) {
    closeUpdateWindow();
    auto* window = new UpdateWindow(update, environment_.runningVersion);
    window->setAttribute(Qt::WA_DeleteOnClose);
    updateWindow_ = window;
    connect(window, &UpdateWindow::installRequested, this, [this, window] {
        const AppcastItem chosen = window->update();
        closeUpdateWindow();
        install(chosen);
    });
    connect(window, &UpdateWindow::remindLaterRequested, this, [this] {
        Logger::info("update reminder postponed");
        closeUpdateWindow();
    });
    connect(window, &UpdateWindow::skipRequested, this, [this, window] {
        const QString version = window->update().version.text();
        Logger::info("update " + version.toStdString() + " skipped");
        settings_.setSkippedVersion(version);
        closeUpdateWindow();
    });
    if (update.releaseNotes.isEmpty() && update.releaseNotesUrl.isValid()) {
        fetchReleaseNotes(update.releaseNotesUrl);
    }
    present(window);
}

void AppUpdater::closeUpdateWindow() {
    notesFetcher_.cancel();
    if (UpdateWindow* window = updateWindow_) {
        updateWindow_ = nullptr;
        window->hide();
        window->deleteLater();
    }
}

void AppUpdater::fetchReleaseNotes(const QUrl& url) {
    notesBuffer_.close();
    notesBytes_.clear();
    notesBuffer_.open(QIODevice::WriteOnly);
    notesFetcher_.start(url, AppcastParser::kMaxFeedBytes, notesBuffer_,
                        [this](const UpdateFetcher::Result& result) {
                            notesBuffer_.close();
                            if (!updateWindow_) {
                                return;
                            }
                            if (result.succeeded()) {
                                updateWindow_->setReleaseNotes(QString::fromUtf8(notesBytes_));
                            } else if (result.failure != UpdateFetcher::Failure::cancelled) {
                                Logger::error("the release notes could not be loaded: " +
                                              result.detail.toStdString());
                                updateWindow_->setReleaseNotesUnavailable();
                            }
                        });
}

void AppUpdater::install(const AppcastItem& update) {
    UpdateInstallation::Context context;
    context.network = &network_;
    context.tls = environment_.tls;
    context.verifier = &*verifier_;
    context.appImagePath = environment_.appImagePath;
    context.packageFolder = environment_.packageFolder;
    context.openWithDesktop = environment_.openWithDesktop;
    context.relaunch = environment_.relaunch;
    context.present = [this](QWidget* window) { present(window); };
    auto* installation = new UpdateInstallation(update, std::move(context), this);
    installation_ = installation;
    installation->onFinished = [this, installation] {
        installation_ = nullptr;
        installation->deleteLater();
        updateCanCheck();
    };
    updateCanCheck();
    installation->start();
}

void AppUpdater::showAlert(QMessageBox* alert) {
    if (alert_) {
        alert_->close();
    }
    alert_ = alert;
    present(alert);
}

void AppUpdater::present(QWidget* window) {
    // Plinkora has no main window, so without this its windows open behind the application
    // the user is in.
    if (bringToFront_) {
        bringToFront_();
    }
    window->show();
    window->raise();
    window->activateWindow();
}

bool AppUpdater::isSkipped(const AppcastItem& update) const {
    const auto skipped = UpdateVersion::parse(settings_.skippedVersion());
    return !update.isCritical && skipped && update.version <= *skipped;
}

std::optional<AppcastItem> AppUpdater::newestAvailable(const std::vector<AppcastItem>& items) {
    // A phased release reaches this installation's group so many intervals after publication.
    const QDateTime now = environment_.clock();
    std::vector<AppcastItem> available;
    int group = -1;
    for (const AppcastItem& item : items) {
        if (item.phasedRolloutInterval > 0 && !item.isCritical) {
            if (group < 0) {
                group = settings_.updateRolloutGroup();
            }
            if (now < item.publishedAt.addSecs(group * item.phasedRolloutInterval)) {
                continue;
            }
        }
        available.push_back(item);
    }
    return AppcastParser::newestUpdate(available, runningVersion_);
}

void AppUpdater::updateCanCheck() {
    const bool canCheck = verifier_.has_value() && !isChecking_ && installation_.isNull();
    if (canCheck != canCheck_) {
        canCheck_ = canCheck;
        Q_EMIT canCheckForUpdatesChanged(canCheck);
    }
}

} // namespace plinkora
