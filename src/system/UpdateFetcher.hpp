#pragma once

#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <optional>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace plinkora {

/// Fetches one https address into a device, refusing anything that is not https (also on
/// every redirect) and anything larger than a limit. Main thread only.
class UpdateFetcher final : public QObject {
    Q_OBJECT

public:
    enum class Failure {
        none,
        /// The address, or a redirect's target, is not https.
        insecureAddress,
        /// More bytes came, or were announced, than the limit allows.
        tooLarge,
        /// The connection, the TLS handshake or the server failed.
        unreachable,
        cancelled,
    };
    struct Result {
        Failure failure = Failure::none;
        /// Why it failed, for the log and the window's details.
        QString detail;
        bool succeeded() const { return failure == Failure::none; }
    };

    /// `tls` replaces the system's trust store and TLS settings when set (tests trust their
    /// own certificate authority only).
    UpdateFetcher(QNetworkAccessManager& network, std::optional<QSslConfiguration> tls,
                  QObject* parent = nullptr);
    ~UpdateFetcher() override;

    /// Starts fetching; `done` is called once, later, from the event loop, even when the
    /// address is refused at once. Starting again abandons a running fetch without calling its
    /// `done`. `sink` must stay open until then.
    void start(const QUrl& url, qint64 maxBytes, QIODevice& sink, std::function<void(Result)> done);
    /// Stops a running fetch; its `done` gets Failure::cancelled.
    void cancel();
    /// The longest a whole fetch may take, however steadily bytes trickle in; 0 for no limit.
    /// A transfer that stalls for 30 s is given up whatever this says.
    void setDeadline(int milliseconds) { deadlineMs_ = milliseconds; }
    bool isRunning() const { return done_ != nullptr; }

    /// Called with the bytes received so far and the expected total (-1 when unknown).
    std::function<void(qint64 received, qint64 total)> onProgress;

private:
    void readAvailable();
    void finish(Result result);
    void onReplyFinished();
    void dropReply();

    QNetworkAccessManager& network_;
    std::optional<QSslConfiguration> tls_;
    QPointer<QNetworkReply> reply_;
    QIODevice* sink_ = nullptr;
    qint64 maxBytes_ = 0;
    qint64 received_ = 0;
    std::uint64_t generation_ = 0;
    int deadlineMs_ = 0;
    QTimer* deadline_ = nullptr;
    std::function<void(Result)> done_;
};

} // namespace plinkora
