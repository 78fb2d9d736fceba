#include "system/AppcastParser.hpp"

#include <QXmlStreamReader>

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
    bool readEnclosure(AppcastItem& item, bool& seen);
    bool readText(QString& into, bool& seen, qsizetype maxLength);
    bool nextToken();

    QXmlStreamReader xml_;
    QString error_;
    std::vector<AppcastItem> items_;
};

QString qualifiedName(const QXmlStreamReader& xml) {
    return xml.qualifiedName().toString();
}

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
    AppcastParser::Result result;
    result.error = error_;
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

bool FeedReader::readText(QString& into, bool& seen, qsizetype maxLength) {
    const QString name = qualifiedName(xml_);
    if (seen) {
        return fail(QStringLiteral("an item has more than one ") + name);
    }
    seen = true;
    into = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).trimmed();
    if (xml_.hasError()) {
        return fail(QStringLiteral("an item's ") + name + QStringLiteral(" is malformed: ") +
                    xml_.errorString());
    }
    if (into.size() > maxLength) {
        return fail(QStringLiteral("an item's ") + name + QStringLiteral(" is too long"));
    }
    return true;
}

std::optional<QUrl> secureUrl(QStringView text) {
    if (text.isEmpty() || text.size() > kMaxUrlLength) {
        return std::nullopt;
    }
    const QUrl url(text.toString(), QUrl::StrictMode);
    return AppcastParser::isSecureUrl(url) ? std::optional(url) : std::nullopt;
}

bool FeedReader::readEnclosure(AppcastItem& item, bool& seen) {
    if (seen) {
        return fail(QStringLiteral("an item has more than one enclosure"));
    }
    seen = true;
    const QXmlStreamAttributes attributes = xml_.attributes();
    const auto url = secureUrl(attributes.value(QLatin1String("url")).trimmed());
    if (!url) {
        return fail(QStringLiteral("an enclosure's url is missing or not a secure address"));
    }
    item.downloadUrl = *url;

    const QStringView lengthText = attributes.value(QLatin1String("length")).trimmed();
    bool isNumber = lengthText.size() <= 12;
    for (const QChar c : lengthText) {
        isNumber = isNumber && c >= u'0' && c <= u'9';
    }
    item.length = isNumber ? lengthText.toLongLong(&isNumber) : 0;
    if (!isNumber || item.length <= 0 || item.length > AppcastParser::kMaxDownloadBytes) {
        return fail(QStringLiteral("an enclosure's length is missing or out of range"));
    }

    item.type = attributes.value(QLatin1String("type")).trimmed().toString();
    if (item.type.isEmpty() || item.type.size() > kMaxShortTextLength) {
        return fail(QStringLiteral("an enclosure's type is missing or too long"));
    }

    const QStringView signature = attributes.value(QLatin1String("sparkle:edSignature")).trimmed();
    auto decoded = QByteArray::fromBase64Encoding(signature.toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (signature.size() > 2 * kSignatureBytes || !decoded ||
        decoded.decoded.size() != kSignatureBytes) {
        return fail(QStringLiteral("an enclosure's signature is missing or malformed"));
    }
    item.signature = decoded.decoded;

    return skip();
}

// Called on <item>; returns after its end tag.
bool FeedReader::readItem() {
    AppcastItem item;
    QString versionText;
    QString shortVersion;
    QString notesLink;
    bool seenVersion = false;
    bool seenShortVersion = false;
    bool seenTitle = false;
    bool seenDescription = false;
    bool seenNotesLink = false;
    bool seenEnclosure = false;
    while (nextToken()) {
        if (xml_.isEndElement()) {
            break;
        }
        if (!xml_.isStartElement()) {
            continue;
        }
        const QString name = qualifiedName(xml_);
        bool ok = true;
        if (name == u"sparkle:version") {
            ok = readText(versionText, seenVersion, kMaxShortTextLength);
        } else if (name == u"sparkle:shortVersionString") {
            ok = readText(shortVersion, seenShortVersion, kMaxShortTextLength);
        } else if (name == u"sparkle:releaseNotesLink") {
            ok = readText(notesLink, seenNotesLink, kMaxUrlLength);
        } else if (isRssElement(u"title")) {
            ok = readText(item.title, seenTitle, kMaxShortTextLength);
        } else if (isRssElement(u"description")) {
            ok = readText(item.releaseNotes, seenDescription, AppcastParser::kMaxFeedBytes);
        } else if (isRssElement(u"enclosure")) {
            ok = readEnclosure(item, seenEnclosure);
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
    const auto version = UpdateVersion::parse(versionText);
    if (!version) {
        return fail(QStringLiteral("an item's version is missing or not a version number"));
    }
    item.version = *version;
    item.displayVersion = shortVersion.isEmpty() ? versionText : shortVersion;
    if (!notesLink.isEmpty()) {
        const auto url = secureUrl(notesLink);
        if (!url) {
            return fail(QStringLiteral("an item's release notes link is not a secure address"));
        }
        item.releaseNotesUrl = *url;
    }
    if (!seenEnclosure) {
        return fail(QStringLiteral("an item has no enclosure"));
    }
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

bool AppcastParser::isSecureUrl(const QUrl& url) {
    return url.isValid() && url.scheme() == u"https" && !url.host().isEmpty() &&
           url.userInfo().isEmpty();
}

} // namespace plinkora
