#pragma once

#include "system/UpdateVersion.hpp"

#include <QByteArray>
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
    qint64 length = 0;
    QString type;
    /// The raw 64-byte ed25519 signature of the whole download.
    QByteArray signature;
};

/// The update feed: RSS 2.0 in appcast form.
///
/// Parsing is strict, since the feed comes from the network: a feed larger than
/// kMaxFeedBytes or one with a document type (and so entity declarations) is refused before
/// anything in it is read, only https addresses are accepted, and one malformed item makes the
/// whole feed unreadable rather than silently dropping a release.
class AppcastParser {
public:
    static constexpr qsizetype kMaxFeedBytes = 1024 * 1024;
    /// Larger downloads are refused as implausible for Plinkora.
    static constexpr qint64 kMaxDownloadBytes = qint64(1) << 30;

    struct Result {
        std::vector<AppcastItem> items;
        /// Empty when the feed was read; otherwise why it could not be, for the log.
        QString error;
        bool isValid() const { return error.isEmpty(); }
    };

    static Result parse(const QByteArray& feed);

    /// The newest item whose version is greater than `running`, if any.
    static std::optional<AppcastItem> newestUpdate(const std::vector<AppcastItem>& items,
                                                   const UpdateVersion& running);

    /// Whether `url` is an absolute https address with a host.
    static bool isSecureUrl(const QUrl& url);
};

} // namespace plinkora
