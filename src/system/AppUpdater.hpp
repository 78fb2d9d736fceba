#pragma once

#include "app/Scheduler.hpp"
#include "app/Updater.hpp"
#include "system/AppcastParser.hpp"
#include "system/UpdateFetcher.hpp"
#include "system/UpdateSignatureVerifier.hpp"
#include "system/UpdateVersion.hpp"

#include <QBuffer>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QSslConfiguration>
#include <QUrl>
#include <functional>
#include <optional>

class QMessageBox;
class QWidget;

namespace plinkora {

class Settings;
class UpdateInstallation;
class UpdateWindow;

/// Where the updater looks and what it may touch. Production takes fromBuild(); tests point
/// it at their own server, certificate authority, clock and files.
struct UpdaterEnvironment {
    QUrl feedUrl;
    /// Base64 ed25519 public key; empty (or malformed) turns updates off.
    QByteArray publicKey;
    /// The version people see ("1.2.0"), and the build version that the feed's versions are
    /// compared with (a build number, or the same as the display version).
    QString runningVersion;
    QString buildVersion;
    /// The whole feed check, signature included, is given up after this long.
    int feedDeadlineMs = 60'000;
    /// Inside a Flatpak the desktop updates Plinkora, never Plinkora itself.
    bool isSandboxed = false;
    /// Replaces the system's TLS settings and trust store when set.
    std::optional<QSslConfiguration> tls;
    /// The running AppImage ($APPIMAGE); empty when Plinkora was installed otherwise.
    QString appImagePath;
    /// Where a verified package waits for the desktop's software installer.
    QString packageFolder;
    /// The wall clock behind the persisted time of the last check.
    std::function<QDateTime()> clock;
    /// Hands a verified package to the desktop's software installer; false when it could not.
    std::function<bool(const QString& path)> openWithDesktop;
    /// Starts the AppImage at the path in place of this process.
    std::function<void(const QString& appImagePath)> relaunch;

    /// The build's feed and key, $APPIMAGE, and the desktop's own opener.
    static UpdaterEnvironment fromBuild();
};

/// Plinkora's own updater: an https feed in appcast form, signed like the downloads (a detached
/// ed25519 signature of the exact feed bytes at the feed's address plus ".sig"), ed25519-signed
/// downloads verified before anything is replaced, and the windows around them. Main thread
/// only. An unsigned or wrongly signed feed is refused whole, so nobody but the key's holder
/// can offer an old build as new or hold updates back with a forged feed.
///
/// Scheduled checks, while automaticallyChecksForUpdates is on, run 60 s after start (or
/// later, when the last check, persisted in the settings, was less than a day ago) and then
/// every 24 hours. A scheduled check that finds an update which was not skipped only posts a
/// gentle reminder through the notifier; a user-initiated check always shows its result.
class AppUpdater final : public Updater {
    Q_OBJECT

public:
    static constexpr double kFirstCheckDelay = 60;
    static constexpr double kCheckInterval = 24 * 60 * 60;

    AppUpdater(Settings& settings, Scheduler& scheduler);
    AppUpdater(Settings& settings, Scheduler& scheduler, UpdaterEnvironment environment);
    ~AppUpdater() override;

    bool canCheckForUpdates() const override { return canCheck_; }
    bool automaticallyChecksForUpdates() const override { return automaticallyChecks_; }
    void setAutomaticallyChecksForUpdates(bool checks) override;
    void checkForUpdates() override;
    Availability availability() const override;

    /// Brings Plinkora to the front; called before every window the updater shows.
    void setBringToFront(std::function<void()> bringToFront) {
        bringToFront_ = std::move(bringToFront);
    }

private:
    enum class CheckKind { userInitiated, scheduled };

    void scheduleNextCheck();
    void runScheduledCheck();
    void startCheck(CheckKind kind);
    void onFeedFetched(CheckKind kind, const UpdateFetcher::Result& result);
    void onFeedSignatureFetched(CheckKind kind, const UpdateFetcher::Result& result);
    std::optional<AppcastItem> newestAvailable(const std::vector<AppcastItem>& items);
    void reportFeedProblem(CheckKind kind, const QString& message, const QString& details);
    void remind(const AppcastItem& update);
    void showUpdateWindow(const AppcastItem& update);
    void closeUpdateWindow();
    void fetchReleaseNotes(const QUrl& url);
    void install(const AppcastItem& update);
    void showAlert(QMessageBox* alert);
    void present(QWidget* window);
    bool isSkipped(const AppcastItem& update) const;
    void updateCanCheck();

    Settings& settings_;
    Scheduler& scheduler_;
    UpdaterEnvironment environment_;
    std::optional<UpdateSignatureVerifier> verifier_;
    UpdateVersion runningVersion_;
    bool automaticallyChecks_ = false;
    bool canCheck_ = false;
    bool isChecking_ = false;

    QNetworkAccessManager network_;
    UpdateFetcher feedFetcher_;
    UpdateFetcher notesFetcher_;
    QByteArray feedBytes_;
    QBuffer feedBuffer_;
    QByteArray feedSignature_;
    QBuffer feedSignatureBuffer_;
    QByteArray notesBytes_;
    QBuffer notesBuffer_;
    ScheduledTask nextCheck_;

    QPointer<UpdateWindow> updateWindow_;
    QPointer<QMessageBox> alert_;
    QPointer<UpdateInstallation> installation_;
    std::function<void()> bringToFront_;
};

} // namespace plinkora
