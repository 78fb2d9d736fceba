#pragma once

#include "system/AppcastParser.hpp"
#include "system/UpdateFetcher.hpp"

#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QTemporaryFile;
class QWidget;

namespace plinkora {

class UpdateProgressWindow;
class UpdateSignatureVerifier;

/// One update being downloaded, verified and installed, with its progress window and the
/// window that reports the outcome. Main thread only.
///
/// The download goes to a private temporary file that is always deleted. Its bytes are read
/// once into memory; those bytes are checked against the feed's length and signature and are
/// the ones installed, so nothing read later from a path can slip in.
class UpdateInstallation final : public QObject {
    Q_OBJECT

public:
    struct Context {
        QNetworkAccessManager* network = nullptr;
        std::optional<QSslConfiguration> tls;
        const UpdateSignatureVerifier* verifier = nullptr;
        /// The running AppImage to replace; empty when Plinkora was installed otherwise.
        QString appImagePath;
        /// Where a verified package waits for the desktop's software installer.
        QString packageFolder;
        std::function<bool(const QString& path)> openWithDesktop;
        std::function<void(const QString& appImagePath)> relaunch;
        /// Brings Plinkora to the front and shows the window.
        std::function<void(QWidget*)> present;
    };

    UpdateInstallation(AppcastItem update, Context context, QObject* parent = nullptr);
    ~UpdateInstallation() override;

    void start();
    /// Raises the progress window, if it is still open.
    void raise();

    /// Called once, from the event loop, when the installation has ended in any way.
    std::function<void()> onFinished;

private:
    void onDownloaded(const UpdateFetcher::Result& result);
    void verifyAndInstall();
    void install(const QByteArray& verified);
    void fail(const QString& message, const QString& details);
    void finish();

    AppcastItem update_;
    Context context_;
    UpdateFetcher fetcher_;
    std::unique_ptr<QTemporaryFile> download_;
    QPointer<UpdateProgressWindow> progress_;
    bool isFinished_ = false;
};

} // namespace plinkora
