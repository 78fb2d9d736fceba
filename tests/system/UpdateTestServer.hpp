#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslServer>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

namespace plinkora::testing {

/// An HTTPS server in the test process, with a certificate made for it at start (by the
/// openssl tool) that only clients given clientTls() trust. Beside it runs a plain http
/// listener that only counts connections, to show that nothing was ever fetched insecurely.
class UpdateTestServer final : public QObject {
    Q_OBJECT

public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/octet-stream";
        /// For redirects.
        QByteArray location;
        /// Sends the headers and this many body bytes, then nothing more (a stalled transfer).
        qsizetype stallAfter = -1;
    };

    UpdateTestServer();
    ~UpdateTestServer() override;

    void route(const QString& path, const Response& response);
    void serve(const QString& path, const QByteArray& body,
               const QByteArray& contentType = "application/octet-stream");
    void redirect(const QString& path, const QUrl& target);

    QUrl url(const QString& path) const;
    /// An http address on the plain listener.
    QUrl insecureUrl(const QString& path) const;
    /// TLS settings that trust this server's certificate and nothing else.
    QSslConfiguration clientTls() const;

    /// The paths requested so far, in order.
    QStringList requests() const { return requests_; }
    int hits(const QString& path) const { return int(requests_.count(path)); }
    int insecureConnections() const { return insecureConnections_; }

private:
    void onConnection();
    void respond(QSslSocket* socket, const QByteArray& request);

    QTemporaryDir dir_;
    QSslCertificate certificate_;
    QSslServer server_;
    QTcpServer insecure_;
    QMap<QString, Response> routes_;
    QStringList requests_;
    int insecureConnections_ = 0;
};

} // namespace plinkora::testing
