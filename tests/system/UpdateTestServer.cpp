#include "UpdateTestServer.hpp"

#include "ChildProcess.hpp"

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace plinkora::testing {

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

UpdateTestServer::UpdateTestServer() {
    const QString key = dir_.filePath(QStringLiteral("key.pem"));
    const QString cert = dir_.filePath(QStringLiteral("cert.pem"));
    int status = -1;
    runCommand({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key.toStdString(), "-out",
                cert.toStdString(), "-days", "2", "-subj", "/CN=Plinkora test server", "-addext",
                "subjectAltName=IP:127.0.0.1"},
               {}, &status);
    EXPECT_EQ(status, 0) << "openssl could not make the test certificate";

    certificate_ = QSslCertificate(readFile(cert), QSsl::Pem);
    const QSslKey privateKey(readFile(key), QSsl::Ec, QSsl::Pem);
    EXPECT_FALSE(certificate_.isNull());
    EXPECT_FALSE(privateKey.isNull());

    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate_);
    tls.setPrivateKey(privateKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_.setSslConfiguration(tls);
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this,
            &UpdateTestServer::onConnection);
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));

    connect(&insecure_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = insecure_.nextPendingConnection()) {
            ++insecureConnections_;
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    EXPECT_TRUE(insecure_.listen(QHostAddress::LocalHost, 0));
}

UpdateTestServer::~UpdateTestServer() = default;

void UpdateTestServer::route(const QString& path, const Response& response) {
    routes_.insert(path, response);
}

void UpdateTestServer::serve(const QString& path, const QByteArray& body,
                             const QByteArray& contentType) {
    Response response;
    response.body = body;
    response.contentType = contentType;
    route(path, response);
}

void UpdateTestServer::redirect(const QString& path, const QUrl& target) {
    Response response;
    response.status = 302;
    response.location = target.toEncoded();
    route(path, response);
}

QUrl UpdateTestServer::url(const QString& path) const {
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

QUrl UpdateTestServer::insecureUrl(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(insecure_.serverPort()).arg(path));
}

QSslConfiguration UpdateTestServer::clientTls() const {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({certificate_});
    return tls;
}

void UpdateTestServer::onConnection() {
    while (QTcpSocket* next = server_.nextPendingConnection()) {
        auto* socket = qobject_cast<QSslSocket*>(next);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->contains("\r\n\r\n")) {
                respond(socket, *buffer);
                buffer->clear();
            }
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void UpdateTestServer::respond(QSslSocket* socket, const QByteArray& request) {
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    requests_.append(path);

    Response response;
    if (auto found = routes_.constFind(path); found != routes_.constEnd()) {
        response = *found;
    } else {
        response.status = 404;
        response.body = "not here";
    }
    // Clients read the status code; the reason phrase is only for people.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    if (!response.location.isEmpty()) {
        head += "Location: " + response.location + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (response.stallAfter >= 0) {
        socket->write(response.body.left(response.stallAfter));
        return;
    }
    socket->write(response.body);
    socket->disconnectFromHost();
}

} // namespace plinkora::testing
