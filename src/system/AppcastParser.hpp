#pragma once

#include "system/UpdateVersion.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <optional>
#include <vector>

namespace plinkora {

/// One release offered by the update feed.
struct AppcastItem {
    UpdateVersion version;
    /// The version as people see it (the feed's short version string, else the version).
    QString displayVersion;
    QString title;
    /// Plain text or simple rich text; may be empty when releaseNotesUrl is set.
    QString releaseNotes;
    QUrl releaseNotesUrl;
    QUrl downloadUrl;
    /// What the feed says the download weighs; 0 when it does not say.
    qint64 length = 0;
    QString type;
    /// The raw 64-byte ed25519 signature of the whole download.
    QByteArray signature;
    /// Marked critical by the publisher: offered even when skipped.
    bool isCritical = false;
    /// With phased rollout, when the item was published and how far apart the groups get it.
    QDateTime publishedAt;
    qint64 phasedRolloutInterval = 0;
};

/// The update feed: RSS 2.0 in appcast form, with Sparkle's elements matched by their
/// namespace, whatever prefix the feed gives it.
///
/// The document is read strictly, since it comes from the network: one larger than
/// kMaxFeedBytes, one with a document type (and so entity declarations) or one that is not
/// well-formed is refused whole. Items are read leniently, since real feeds carry releases for
/// other systems and other times: an item this build cannot use (another system or
/// architecture, another channel, no signature, an address that is not https, a version that is
/// not a number) is passed over, and the feed is refused only when no usable item is left.
class AppcastParser {
public:
    static constexpr qsizetype kMaxFeedBytes = qsizetype{1024} * 1024;
    /// Larger downloads are refused as implausible for Plinkora; nothing larger is fetched.
    static constexpr qint64 kMaxDownloadBytes = qint64(512) << 20;
    static constexpr const char* kSparkleNamespace =
        "http://www.andymatuschak.org/xml-namespaces/sparkle";

    struct Result {
        /// The items this build can use, in feed order.
        std::vector<AppcastItem> items;
        /// Why each other item was passed over, for the log.
        std::vector<QString> passedOver;
        /// Empty when the feed was read; otherwise why it could not be, for the log.
        QString error;
        bool isValid() const { return error.isEmpty(); }
    };

    static Result parse(const QByteArray& feed);

    /// Whether an enclosure's sparkle:os names this system: "linux", or "linux-" with this
    /// build's architecture in the kernel's or Debian's spelling ("linux-x86_64", "linux-amd64").
    static bool isForThisSystem(QStringView os);

    /// The newest item whose version is greater than `running`, if any.
    static std::optional<AppcastItem> newestUpdate(const std::vector<AppcastItem>& items,
                                                   const UpdateVersion& running);

    /// Whether `url` is an absolute https address with a host.
    static bool isSecureUrl(const QUrl& url);
};

} // namespace plinkora
