#include "system/AppcastParser.hpp"

#include <QSysInfo>
#include <QXmlStreamReader>
#include <algorithm>

namespace plinkora {

namespace {

constexpr qsizetype kMaxShortTextLength = 256;
constexpr qsizetype kMaxUrlLength = 2048;
constexpr qsizetype kSignatureBytes = 64;

class FeedReader {
public:
    explicit FeedReader(const QByteArray& feed)
        : xml_(feed) {
        xml_.setNamespaceProcessing(true);
    }

    AppcastParser::Result read();

private:
    bool fail(const QString& why) {
        if (error_.isEmpty()) {
            error_ = why;
        }
        return false;
    }
    bool readRss();
    bool readChannel();
    bool readItem();
    bool skip();
    bool isRssElement(QStringView name) const {
        return xml_.name() == name && xml_.namespaceUri().isEmpty();
    }
    bool isSparkleElement(QStringView name) const {
        return xml_.name() == name && xml_.namespaceUri() == kSparkle;
    }
    bool readEnclosure(AppcastItem& item, QString& versionText, QString& shortVersion,
                       QString& unusable);
    bool readText(QString& into);
    bool nextToken();

    const QString kSparkle = QString::fromUtf8(AppcastParser::kSparkleNamespace);
    QXmlStreamReader xml_;
    QString error_;
    std::vector<AppcastItem> items_;
    std::vector<QString> passedOver_;
};

bool FeedReader::nextToken() {
    const auto token = xml_.readNext();
    if (token == QXmlStreamReader::DTD) {
        // Entities are where the billion-laughs and external-entity tricks live.
        return fail(QStringLiteral("the feed declares a document type"));
    }
    if (token == QXmlStreamReader::EntityReference) {
        return fail(QStringLiteral("the feed refers to an entity"));
    }
    if (token == QXmlStreamReader::Invalid) {
        return fail(QStringLiteral("the feed is not well-formed XML: ") + xml_.errorString());
    }
    return true;
}

AppcastParser::Result FeedReader::read() {
    bool seenRoot = false;
    while (!xml_.atEnd()) {
        if (!nextToken()) {
            break;
        }
        if (xml_.isStartElement()) {
            if (seenRoot || !isRssElement(u"rss")) {
                fail(QStringLiteral("the feed is not an RSS document"));
                break;
            }
            seenRoot = true;
            if (!readRss()) {
                break;
            }
        }
    }
    if (error_.isEmpty() && !seenRoot) {
        fail(QStringLiteral("the feed is empty"));
    }
    if (error_.isEmpty() && items_.empty()) {
        fail(QStringLiteral("the feed has no release for this system"));
    }
    AppcastParser::Result result;
    result.error = error_;
    result.passedOver = std::move(passedOver_);
    if (result.isValid()) {
        result.items = std::move(items_);
    }
    return result;
}

// Called on <rss>; returns after its end tag.
bool FeedReader::readRss() {
    bool seenChannel = false;
    while (nextToken()) {
        if (xml_.isEndElement()) {
            return seenChannel || fail(QStringLiteral("the feed has no channel"));
        }
        if (!xml_.isStartElement()) {
            continue;
        }
        if (isRssElement(u"channel") && !seenChannel) {
            seenChannel = true;
            if (!readChannel()) {
                return false;
            }
        } else if (!skip()) {
            return false;
        }
    }
    return false;
}

// Called on <channel>; returns after its end tag.
bool FeedReader::readChannel() {
    while (nextToken()) {
        if (xml_.isEndElement()) {
            return true;
        }
        if (!xml_.isStartElement()) {
            continue;
        }
        if (isRssElement(u"item")) {
            if (!readItem()) {
                return false;
            }
        } else if (!skip()) {
            return false;
        }
    }
    return false;
}

bool FeedReader::skip() {
    xml_.skipCurrentElement();
    return !xml_.hasError() ||
           fail(QStringLiteral("the feed is not well-formed XML: ") + xml_.errorString());
}

bool FeedReader::readText(QString& into) {
    into = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).trimmed();
    return !xml_.hasError() ||
           fail(QStringLiteral("the feed is not well-formed XML: ") + xml_.errorString());
}

std::optional<QUrl> secureUrl(QStringView text) {
    if (text.isEmpty() || text.size() > kMaxUrlLength) {
        return std::nullopt;
    }
    const QUrl url(text.toString(), QUrl::StrictMode);
    return AppcastParser::isSecureUrl(url) ? std::optional(url) : std::nullopt;
}

/// How well a localised text suits this build, whose user interface is English: one without
/// a language wins, then an English one, then the first.
int languageRank(const QXmlStreamReader& xml) {
    const QStringView language = xml.attributes().value(
        QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("lang"));
    if (language.isEmpty()) {
        return 2;
    }
    return language.startsWith(u"en", Qt::CaseInsensitive) ? 1 : 0;
}

// Reads what the build needs from an enclosure; `unusable` says why the item cannot be used.
// Returns false only when the document itself is broken.
bool FeedReader::readEnclosure(AppcastItem& item, QString& versionText, QString& shortVersion,
                               QString& unusable) {
    const QXmlStreamAttributes attributes = xml_.attributes();
    const auto sparkle = [&](const char* name) {
        return attributes.value(kSparkle, QString::fromUtf8(name)).trimmed();
    };
    if (!AppcastParser::isForThisSystem(sparkle("os"))) {
        unusable = QStringLiteral("it is for another system (") + sparkle("os").toString() +
                   QStringLiteral(")");
        return skip();
    }
    versionText = sparkle("version").toString();
    shortVersion = sparkle("shortVersionString").toString();
    const auto url = secureUrl(attributes.value(QLatin1String("url")).trimmed());
    if (!url) {
        unusable = QStringLiteral("its download is not at a secure address");
        return skip();
    }
    item.downloadUrl = *url;

    // The length is only the publisher's word; the download is capped whatever it says.
    const QStringView lengthText = attributes.value(QLatin1String("length")).trimmed();
    bool isNumber = lengthText.size() <= 12;
    for (const QChar c : lengthText) {
        isNumber = isNumber && c >= u'0' && c <= u'9';
    }
    item.length = isNumber && !lengthText.isEmpty() ? lengthText.toLongLong(&isNumber) : 0;
    if (!isNumber || item.length > AppcastParser::kMaxDownloadBytes) {
        unusable = QStringLiteral("its length is not a number or larger than 512 MiB");
        return skip();
    }
    item.type =
        attributes.value(QLatin1String("type")).trimmed().left(kMaxShortTextLength).toString();

    const QStringView signature = sparkle("edSignature");
    auto decoded = QByteArray::fromBase64Encoding(signature.toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (signature.size() > 2 * kSignatureBytes || !decoded ||
        decoded.decoded.size() != kSignatureBytes) {
        unusable = QStringLiteral("it has no ed25519 signature");
        return skip();
    }
    item.signature = decoded.decoded;
    return skip();
}

// Called on <item>; returns after its end tag. false only when the document is broken.
bool FeedReader::readItem() {
    AppcastItem item;
    QString versionText;
    QString shortVersion;
    // Older feeds put the versions on the enclosure instead.
    QString enclosureVersion;
    QString enclosureShortVersion;
    QString notesLink;
    QString title;
    QString unusable;
    QString channel;
    QString phasedInterval;
    QString publishedAt;
    int notesRank = -1;
    int notesLinkRank = -1;
    int enclosures = 0;
    while (nextToken()) {
        if (xml_.isEndElement()) {
            break;
        }
        if (!xml_.isStartElement()) {
            continue;
        }
        bool ok = true;
        QString text;
        if (isSparkleElement(u"version")) {
            ok = readText(text);
            unusable = !versionText.isEmpty() && unusable.isEmpty()
                           ? QStringLiteral("it has more than one version")
                           : unusable;
            versionText = text;
        } else if (isSparkleElement(u"shortVersionString")) {
            ok = readText(shortVersion);
        } else if (isSparkleElement(u"releaseNotesLink")) {
            const int rank = languageRank(xml_);
            ok = readText(text);
            if (rank > notesLinkRank) {
                notesLinkRank = rank;
                notesLink = text;
            }
        } else if (isSparkleElement(u"channel")) {
            ok = readText(channel);
        } else if (isSparkleElement(u"criticalUpdate")) {
            item.isCritical = true;
            ok = skip();
        } else if (isSparkleElement(u"phasedRolloutInterval")) {
            ok = readText(phasedInterval);
        } else if (isRssElement(u"pubDate")) {
            ok = readText(publishedAt);
        } else if (isRssElement(u"title")) {
            ok = readText(text);
            if (title.isEmpty()) {
                title = text;
            }
        } else if (isRssElement(u"description")) {
            const int rank = languageRank(xml_);
            ok = readText(text);
            if (rank > notesRank) {
                notesRank = rank;
                item.releaseNotes = text;
            }
        } else if (isRssElement(u"enclosure")) {
            ok = ++enclosures == 1
                     ? readEnclosure(item, enclosureVersion, enclosureShortVersion, unusable)
                     : skip();
        } else {
            ok = skip();
        }
        if (!ok) {
            return false;
        }
    }
    if (!error_.isEmpty()) {
        return false;
    }
    item.title = title.left(kMaxShortTextLength);
    if (versionText.isEmpty()) {
        versionText = enclosureVersion;
    }
    if (shortVersion.isEmpty()) {
        shortVersion = enclosureShortVersion;
    }
    const auto version = UpdateVersion::parse(versionText);
    if (unusable.isEmpty() && enclosures == 0) {
        unusable = QStringLiteral("it has no download");
    } else if (unusable.isEmpty() && enclosures > 1) {
        unusable = QStringLiteral("it has more than one download");
    } else if (unusable.isEmpty() && !channel.isEmpty()) {
        unusable = QStringLiteral("it is on the \"") + channel.left(kMaxShortTextLength) +
                   QStringLiteral("\" channel");
    } else if (unusable.isEmpty() && !version) {
        unusable = QStringLiteral("its version is missing or not a release number");
    }
    if (unusable.isEmpty() && !notesLink.isEmpty()) {
        const auto url = secureUrl(notesLink);
        if (!url) {
            unusable = QStringLiteral("its release notes are not at a secure address");
        } else {
            item.releaseNotesUrl = *url;
        }
    }
    if (!unusable.isEmpty()) {
        passedOver_.push_back(
            QStringLiteral("an item (") +
            (versionText.isEmpty() ? title : versionText).left(kMaxShortTextLength) +
            QStringLiteral(") was passed over: ") + unusable);
        return true;
    }
    item.version = *version;
    item.displayVersion =
        (shortVersion.isEmpty() ? versionText : shortVersion).left(kMaxShortTextLength);
    item.publishedAt = QDateTime::fromString(publishedAt, Qt::RFC2822Date);
    bool isNumber = false;
    const qint64 interval = phasedInterval.toLongLong(&isNumber);
    item.phasedRolloutInterval = isNumber && interval > 0 && item.publishedAt.isValid()
                                     ? std::min<qint64>(interval, 365LL * 24 * 3600)
                                     : 0;
    items_.push_back(std::move(item));
    return true;
}

} // namespace

AppcastParser::Result AppcastParser::parse(const QByteArray& feed) {
    if (feed.size() > kMaxFeedBytes) {
        Result refused;
        refused.error = QStringLiteral("the feed is larger than 1 MB");
        return refused;
    }
    return FeedReader(feed).read();
}

std::optional<AppcastItem> AppcastParser::newestUpdate(const std::vector<AppcastItem>& items,
                                                       const UpdateVersion& running) {
    const AppcastItem* newest = nullptr;
    for (const AppcastItem& item : items) {
        if (item.version > running && (newest == nullptr || item.version > newest->version)) {
            newest = &item;
        }
    }
    return newest != nullptr ? std::optional(*newest) : std::nullopt;
}

bool AppcastParser::isForThisSystem(QStringView os) {
    if (os == u"linux") {
        return true;
    }
    if (!os.startsWith(u"linux-")) {
        return false;
    }
    const QStringView arch = os.mid(6);
    const QString kernel = QSysInfo::buildCpuArchitecture();
    // Debian's names for the architectures whose kernel names differ.
    const QString debian = kernel == u"x86_64"  ? QStringLiteral("amd64")
                           : kernel == u"arm64" ? QStringLiteral("arm64")
                           : kernel == u"i386"  ? QStringLiteral("i386")
                                                : kernel;
    return arch == kernel || arch == debian;
}

bool AppcastParser::isSecureUrl(const QUrl& url) {
    return url.isValid() && url.scheme() == u"https" && !url.host().isEmpty() &&
           url.userInfo().isEmpty();
}

} // namespace plinkora
