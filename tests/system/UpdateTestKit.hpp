#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

namespace plinkora::testing {

/// An ed25519 key pair made with libsodium for one test.
class TestSigningKey {
public:
    TestSigningKey();

    QByteArray publicKeyBase64() const;
    /// The detached signature of `data`, base64 as the feed carries it.
    QByteArray signBase64(const QByteArray& data) const;

private:
    std::array<unsigned char, 32> public_{};
    std::array<unsigned char, 64> secret_{};
};

/// One <item> of a test feed; the fields left empty are left out.
struct FeedItem {
    QString version;
    QString shortVersion;
    QString description;
    QString notesLink;
    QString url;
    QString length;
    QString type = QStringLiteral("application/vnd.appimage");
    QString os = QStringLiteral("linux");
    QByteArray signature;
    /// Written verbatim inside the item, for malformed cases.
    QString extra;
};

/// An appcast feed holding `items`.
QByteArray appcastFeed(const std::vector<FeedItem>& items);

/// A well-formed item for `bytes` downloaded from `url` and signed with `key`.
FeedItem signedItem(const QString& version, const QString& url, const QByteArray& bytes,
                    const TestSigningKey& key);

/// A whole file; "<unreadable>" when it cannot be read, so that it never equals real bytes.
QByteArray readAll(const QString& path);

/// Bytes that look like a small AppImage (ELF with the type-2 magic), different for every
/// `seed`.
QByteArray fakeAppImage(int seed, qsizetype size = 64 * 1024);

} // namespace plinkora::testing
