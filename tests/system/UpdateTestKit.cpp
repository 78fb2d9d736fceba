#include "UpdateTestKit.hpp"

#include <QFile>
#include <sodium.h>

namespace plinkora::testing {

TestSigningKey::TestSigningKey() {
    if (sodium_init() < 0) {
        abort();
    }
    crypto_sign_keypair(public_.data(), secret_.data());
}

QByteArray TestSigningKey::publicKeyBase64() const {
    return QByteArray(reinterpret_cast<const char*>(public_.data()), int(public_.size()))
        .toBase64();
}

QByteArray TestSigningKey::signBase64(const QByteArray& data) const {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(data.data()),
                         static_cast<unsigned long long>(data.size()), secret_.data());
    return QByteArray(reinterpret_cast<const char*>(signature), crypto_sign_BYTES).toBase64();
}

QByteArray appcastFeed(const std::vector<FeedItem>& items) {
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" "
        "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "<channel>\n<title>Plinkora</title>\n<link>https://plinkora.org/plinkora/</link>\n");
    const auto element = [&xml](const char* tag, const QString& text) {
        if (!text.isEmpty()) {
            xml += QStringLiteral("<%1>%2</%1>\n").arg(QLatin1String(tag), text);
        }
    };
    const auto attribute = [&xml](const char* name, const QString& value) {
        if (!value.isEmpty()) {
            xml += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value.toHtmlEscaped());
        }
    };
    for (const FeedItem& item : items) {
        xml += QStringLiteral("<item>\n<title>Plinkora %1</title>\n").arg(item.version);
        element("sparkle:version", item.version);
        element("sparkle:shortVersionString", item.shortVersion);
        if (!item.description.isEmpty()) {
            element("description", QStringLiteral("<![CDATA[%1]]>").arg(item.description));
        }
        element("sparkle:releaseNotesLink", item.notesLink.toHtmlEscaped());
        xml += QStringLiteral("<pubDate>Sun, 06 Dec 2026 12:00:00 +0000</pubDate>\n<enclosure");
        attribute("url", item.url);
        attribute("length", item.length);
        attribute("type", item.type);
        attribute("sparkle:os", item.os);
        attribute("sparkle:edSignature", QString::fromLatin1(item.signature));
        xml += QStringLiteral("/>\n") + item.extra + QStringLiteral("</item>\n");
    }
    xml += QStringLiteral("</channel>\n</rss>\n");
    return xml.toUtf8();
}

FeedItem signedItem(const QString& version, const QString& url, const QByteArray& bytes,
                    const TestSigningKey& key) {
    FeedItem item;
    item.version = version;
    item.url = url;
    item.length = QString::number(bytes.size());
    item.signature = key.signBase64(bytes);
    return item;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray fakeAppImage(int seed, qsizetype size) {
    QByteArray bytes("\x7f"
                     "ELF\x02\x01\x01\x00"
                     "AI\x02",
                     11);
    bytes.reserve(size);
    unsigned state = 2166136261u ^ static_cast<unsigned>(seed);
    while (bytes.size() < size) {
        state = state * 16777619u + 12345u;
        bytes.append(static_cast<char>(state >> 24));
    }
    return bytes;
}

} // namespace plinkora::testing
