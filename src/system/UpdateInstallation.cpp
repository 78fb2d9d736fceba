#include "system/UpdateInstallation.hpp"

#include "app/Logger.hpp"
#include "system/UpdateAlert.hpp"
#include "system/UpdateInstaller.hpp"
#include "system/UpdateProgressWindow.hpp"
#include "system/UpdateSignatureVerifier.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTimer>

namespace plinkora {

namespace {

QString notVerified() {
    return QCoreApplication::translate("plinkora::UpdateInstallation",
                                       "The update could not be verified and was not installed.");
}

} // namespace

UpdateInstallation::UpdateInstallation(AppcastItem update, Context context, QObject* parent)
    : QObject(parent)
    , update_(std::move(update))
    , context_(std::move(context))
    , fetcher_(*context_.network, context_.tls) {}

// The fetcher drops a running transfer without calling back.
UpdateInstallation::~UpdateInstallation() {
    delete progress_.data();
}

void UpdateInstallation::start() {
    Logger::info("downloading update " + update_.displayVersion.toStdString() + " from " +
                 update_.downloadUrl.toDisplayString().toStdString());
    progress_ = new UpdateProgressWindow(update_.displayVersion);
    connect(progress_, &UpdateProgressWindow::cancelRequested, this, [this] { fetcher_.cancel(); });
    context_.present(progress_);

    // QTemporaryFile creates the file with mode 0600, so the download stays the user's own.
    download_ = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                 QStringLiteral("/plinkora-update-XXXXXX"));
    if (!download_->open()) {
        const QString reason = download_->errorString();
        QTimer::singleShot(0, this, [this, reason] {
            fail(tr("The update could not be downloaded."),
                 QStringLiteral("No temporary file could be created: ") + reason);
        });
        return;
    }
    fetcher_.onProgress = [this](qint64 received, qint64 total) {
        if (progress_) {
            progress_->setProgress(received, total > 0 ? total : update_.length);
        }
    };
    fetcher_.start(
        update_.downloadUrl, update_.length > 0 ? update_.length : AppcastParser::kMaxDownloadBytes,
        *download_, [this](const UpdateFetcher::Result& result) { onDownloaded(result); });
}

void UpdateInstallation::raise() {
    if (progress_) {
        context_.present(progress_);
    }
}

void UpdateInstallation::onDownloaded(const UpdateFetcher::Result& result) {
    using Failure = UpdateFetcher::Failure;
    switch (result.failure) {
    case Failure::none:
        break;
    case Failure::cancelled:
        Logger::info("the update download was cancelled");
        download_.reset();
        finish();
        return;
    case Failure::tooLarge:
        Logger::error("the update could not be verified and was not installed: " +
                      result.detail.toStdString());
        download_.reset();
        fail(notVerified(), tr("The download is larger than the update feed says."));
        return;
    case Failure::insecureAddress:
    case Failure::unreachable:
        download_.reset();
        Logger::error("the update could not be downloaded: " + result.detail.toStdString());
        fail(tr("The update could not be downloaded."), result.detail);
        return;
    }
    if (progress_) {
        progress_->setStatus(tr("Verifying the update…"));
    }
    // Lets the window show its new state before the check, which takes a moment.
    QTimer::singleShot(0, this, [this] { verifyAndInstall(); });
}

void UpdateInstallation::verifyAndInstall() {
    download_->flush();
    QByteArray bytes;
    if (download_->seek(0)) {
        bytes = download_->readAll();
    }
    download_.reset(); // Deletes the file: from here on only `bytes` count.

    QString problem;
    if (update_.length > 0 && bytes.size() != update_.length) {
        problem = QStringLiteral("its length is %1 bytes, the feed says %2")
                      .arg(bytes.size())
                      .arg(update_.length);
    } else if (!context_.verifier->verify(bytes, update_.signature)) {
        problem = QStringLiteral("its signature does not match the build's key");
    }
    if (!problem.isEmpty()) {
        Logger::error("the update could not be verified and was not installed: " +
                      problem.toStdString());
        fail(notVerified(), tr("The downloaded file is not the one that was "
                               "published, so it was deleted."));
        return;
    }
    Logger::info("update " + update_.displayVersion.toStdString() + " verified");
    if (progress_) {
        progress_->setStatus(tr("Installing the update…"));
    }
    install(bytes);
}

void UpdateInstallation::install(const QByteArray& verified) {
    const QString version = update_.displayVersion;
    if (!context_.appImagePath.isEmpty()) {
        const auto installed = UpdateInstaller::replaceAppImage(context_.appImagePath, verified);
        if (!installed.succeeded()) {
            Logger::error("the update could not be installed: " + installed.error.toStdString());
            fail(tr("The update could not be installed."), installed.error);
            return;
        }
        Logger::info("update " + version.toStdString() + " installed at " +
                     installed.path.toStdString());
        QMessageBox* alert = makeUpdateAlert(
            QMessageBox::Information, tr("Plinkora %1 has been installed.").arg(version),
            tr("Relaunch Plinkora to start using the new version."));
        QPushButton* relaunch =
            alert->addButton(QStringLiteral("Relaunch Plinkora"), QMessageBox::AcceptRole);
        alert->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
        alert->setDefaultButton(relaunch);
        connect(relaunch, &QPushButton::clicked, alert,
                [relaunchApp = context_.relaunch, path = installed.path] {
                    if (relaunchApp) {
                        relaunchApp(path);
                    }
                });
        context_.present(alert);
        finish();
        return;
    }

    const auto staged = UpdateInstaller::stagePackage(context_.packageFolder,
                                                      update_.downloadUrl.fileName(), verified);
    if (!staged.succeeded()) {
        Logger::error("the update could not be installed: " + staged.error.toStdString());
        fail(tr("The update could not be installed."), staged.error);
        return;
    }
    if (!context_.openWithDesktop || !context_.openWithDesktop(staged.path)) {
        Logger::error("the desktop could not open the update package " + staged.path.toStdString());
        fail(tr("The update could not be opened by your software installer."),
             tr("The verified package is at %1.").arg(staged.path));
        return;
    }
    Logger::info("update " + version.toStdString() +
                 " handed to the desktop's installer: " + staged.path.toStdString());
    context_.present(makeUpdateAlert(
        QMessageBox::Information, tr("Plinkora %1 is ready to install.").arg(version),
        QStringLiteral("The verified package was handed to your software installer. Finish "
                       "installing it there, then restart Plinkora.")));
    finish();
}

void UpdateInstallation::fail(const QString& message, const QString& details) {
    context_.present(makeUpdateAlert(QMessageBox::Warning, message, details));
    finish();
}

void UpdateInstallation::finish() {
    if (isFinished_) {
        return;
    }
    isFinished_ = true;
    if (progress_) {
        progress_->hide();
        progress_->deleteLater();
    }
    if (onFinished) {
        // From the event loop, so the owner may delete this object in its callback.
        QTimer::singleShot(0, this, [this] { onFinished(); });
    }
}

} // namespace plinkora
