#include "system/UpdateFetcher.hpp"

#include "system/AppcastParser.hpp"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace plinkora {

namespace {

constexpr int kMaxRedirects = 5;
/// A transfer that stalls this long is given up.
constexpr int kTransferTimeoutMs = 30'000;

} // namespace

UpdateFetcher::UpdateFetcher(QNetworkAccessManager& network, std::optional<QSslConfiguration> tls,
                             QObject* parent)
    : QObject(parent)
    , network_(network)
    , tls_(std::move(tls)) {}

UpdateFetcher::~UpdateFetcher() {
    dropReply();
}

void UpdateFetcher::start(const QUrl& url, qint64 maxBytes, QIODevice& sink,
                          std::function<void(Result)> done) {
    dropReply();
    ++generation_;
    sink_ = &sink;
    maxBytes_ = maxBytes;
    received_ = 0;
    done_ = std::move(done);
    if (!AppcastParser::isSecureUrl(url)) {
        // Deliver from the event loop like every other result, so callers see one order.
        QTimer::singleShot(0, this,
                           [this, generation = generation_, detail = url.toDisplayString()] {
                               if (generation != generation_) {
                                   return;
                               }
                               finish({Failure::insecureAddress,
                                       QStringLiteral("not a secure address: ") + detail});
                           });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Plinkora/") + QStringLiteral(PLINKORA_VERSION));
    if (tls_) {
        request.setSslConfiguration(*tls_);
    }
    reply_ = network_.get(request);
    QNetworkReply* reply = reply_;
    if (deadlineMs_ > 0) {
        if (deadline_ == nullptr) {
            deadline_ = new QTimer(this);
            deadline_->setSingleShot(true);
        }
        deadline_->disconnect();
        connect(deadline_, &QTimer::timeout, this, [this, seconds = deadlineMs_ / 1000.0] {
            finish({Failure::unreachable,
                    QStringLiteral("the server took longer than %1 s").arg(seconds)});
        });
        deadline_->start(deadlineMs_);
    }
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& target) {
        if (reply != reply_) {
            return;
        }
        if (AppcastParser::isSecureUrl(target)) {
            Q_EMIT reply->redirectAllowed();
        } else {
            finish({Failure::insecureAddress,
                    QStringLiteral("redirected to an address that is not secure: ") +
                        target.toDisplayString()});
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply == reply_ && announced.isValid() && announced.toLongLong() > maxBytes_) {
            finish({Failure::tooLarge, QStringLiteral("the server announced %1 bytes, more than "
                                                      "the %2 expected")
                                           .arg(announced.toLongLong())
                                           .arg(maxBytes_)});
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == reply_) {
            readAvailable();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply == reply_) {
            onReplyFinished();
        }
    });
}

void UpdateFetcher::cancel() {
    if (isRunning()) {
        finish({Failure::cancelled, QStringLiteral("cancelled")});
    }
}

void UpdateFetcher::readAvailable() {
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        return; // An error page or a redirect's body: never the content asked for.
    }
    while (reply_ && reply_->bytesAvailable() > 0) {
        const QByteArray chunk = reply_->read(qint64{64} * 1024);
        received_ += chunk.size();
        if (received_ > maxBytes_) {
            finish({Failure::tooLarge,
                    QStringLiteral("more than the %1 bytes expected arrived").arg(maxBytes_)});
            return;
        }
        if (sink_->write(chunk) != chunk.size()) {
            finish({Failure::unreachable,
                    QStringLiteral("could not store the download: ") + sink_->errorString()});
            return;
        }
    }
    // Reported from here rather than from Qt's downloadProgress, which Qt throttles and so
    // can stay silent for the first part of a transfer.
    if (onProgress && reply_) {
        const QVariant total = reply_->header(QNetworkRequest::ContentLengthHeader);
        onProgress(received_, total.isValid() ? total.toLongLong() : -1);
    }
}

void UpdateFetcher::onReplyFinished() {
    if (reply_->error() != QNetworkReply::NoError) {
        finish({Failure::unreachable, reply_->errorString()});
        return;
    }
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        finish({Failure::unreachable, QStringLiteral("the server answered with status %1 for %2")
                                          .arg(status)
                                          .arg(reply_->url().toDisplayString())});
        return;
    }
    readAvailable();
    if (isRunning()) {
        finish({});
    }
}

void UpdateFetcher::finish(Result result) {
    dropReply();
    sink_ = nullptr;
    // Taken out first: `done` may start the next fetch.
    auto done = std::exchange(done_, nullptr);
    if (done) {
        done(std::move(result));
    }
}

void UpdateFetcher::dropReply() {
    if (deadline_ != nullptr) {
        deadline_->stop();
    }
    if (QNetworkReply* reply = reply_) {
        reply_ = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

} // namespace plinkora
