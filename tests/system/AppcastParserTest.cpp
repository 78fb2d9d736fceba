// The update feed parser and version comparison: what is offered, and what is refused unread.
#include "system/AppcastParser.hpp"

#include "UpdateTestKit.hpp"

#include <QSysInfo>
#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>

using namespace plinkora;
using namespace plinkora::testing;

namespace {

UpdateVersion version(const char* text) {
    return UpdateVersion::parse(QString::fromUtf8(text)).value();
}

FeedItem validItem(const QString& version) {
    FeedItem item;
    item.version = version;
    item.url = QStringLiteral("https://plinkora.org/plinkora/Plinkora-%1.AppImage").arg(version);
    item.length = QStringLiteral("1234");
    item.signature = QByteArray(64, 's').toBase64();
    return item;
}

std::vector<QString> versionsOf(const AppcastParser::Result& result) {
    std::vector<QString> versions;
    for (const auto& item : result.items) {
        versions.push_back(item.version.text());
    }
    return versions;
}

} // namespace

TEST(UpdateVersionTest, ComparesComponentsAsNumbers) {
    EXPECT_GT(version("1.10"), version("1.9"));
    EXPECT_GT(version("2"), version("1.99.99"));
    EXPECT_LT(version("1.2.9"), version("1.2.10"));
    EXPECT_EQ(version("1.2"), version("1.2.0.0"));
    EXPECT_EQ(version("01.002"), version("1.2"));
    EXPECT_GT(version("1.2.0.1"), version("1.2"));
    EXPECT_EQ(version("999999999.0"), version("999999999"));
    EXPECT_GT(version("999999999"), version("999999998.999999999"));
}

TEST(UpdateVersionTest, RefusesWhatIsNotADottedNumber) {
    for (const char* text : {"", ".", "1.", ".1", "1..2", "1.2a", "v1.2", "1.-2", "+1", " 1.2",
                             "1.2 ", "1,2", "1234567890", "1.2.3.4.5.6.7.8.9", "١.٢"}) {
        EXPECT_FALSE(UpdateVersion::parse(QString::fromUtf8(text))) << text;
    }
    EXPECT_TRUE(UpdateVersion::parse(QStringLiteral("123456789.1.2.3.4.5.6.7")));
}

TEST(AppcastParserTest, OffersOnlyTheNewestItemAboveTheRunningVersion) {
    const auto result = AppcastParser::parse(
        appcastFeed({validItem(QStringLiteral("1.1")), validItem(QStringLiteral("1.10")),
                     validItem(QStringLiteral("1.9")), validItem(QStringLiteral("0.9"))}));
    ASSERT_TRUE(result.isValid()) << result.error.toStdString();
    EXPECT_EQ(versionsOf(result),
              (std::vector<QString>{QStringLiteral("1.1"), QStringLiteral("1.10"),
                                    QStringLiteral("1.9"), QStringLiteral("0.9")}));

    const auto update = AppcastParser::newestUpdate(result.items, version("1.0.0"));
    ASSERT_TRUE(update);
    EXPECT_EQ(update->version.text(), QStringLiteral("1.10"));
    // The short version falls back to the version itself.
    EXPECT_EQ(update->displayVersion, QStringLiteral("1.10"));

    EXPECT_FALSE(AppcastParser::newestUpdate(result.items, version("1.10")));
    EXPECT_FALSE(AppcastParser::newestUpdate(result.items, version("1.10.0")));
    EXPECT_FALSE(AppcastParser::newestUpdate(result.items, version("2")));
    EXPECT_EQ(AppcastParser::newestUpdate(result.items, version("1.9.9"))->version.text(),
              QStringLiteral("1.10"));
}

TEST(AppcastParserTest, RefusesDocumentTypesAndEntitiesUnread) {
    const QByteArray body = appcastFeed({validItem(QStringLiteral("1.1"))});
    const QByteArray afterProlog = body.mid(body.indexOf("<rss"));
    const QByteArray prolog = "<?xml version=\"1.0\"?>\n";

    // Even a harmless document type is refused: the feed never needs one.
    EXPECT_FALSE(AppcastParser::parse(prolog + "<!DOCTYPE rss>\n" + afterProlog).isValid());

    const QByteArray external =
        prolog + "<!DOCTYPE rss [<!ENTITY secret SYSTEM \"file:///etc/passwd\">]>\n" +
        QByteArray(afterProlog).replace("<title>Plinkora</title>", "<title>&secret;</title>");
    EXPECT_FALSE(AppcastParser::parse(external).isValid());

    // Without a document type an entity is undeclared, which is not well-formed.
    EXPECT_FALSE(
        AppcastParser::parse(
            prolog +
            QByteArray(afterProlog).replace("<title>Plinkora</title>", "<title>&lol;</title>"))
            .isValid());
    // The predefined entities are ordinary text.
    const auto escaped = AppcastParser::parse(
        prolog + QByteArray(afterProlog)
                     .replace("<title>Plinkora 1.1</title>", "<title>A &amp; B &#x266F;</title>"));
    ASSERT_TRUE(escaped.isValid()) << escaped.error.toStdString();
    EXPECT_EQ(escaped.items.at(0).title, QStringLiteral("A & B \u266F"));
}

TEST(AppcastParserTest, PassesOverItemsItCannotUseAndKeepsTheRest) {
    const QString huge(300, u'9');
    const std::vector<std::pair<const char*, std::function<void(FeedItem&)>>> cases = {
        {"no version", [](FeedItem& i) { i.version.clear(); }},
        {"a pre-release version", [](FeedItem& i) { i.version = QStringLiteral("1.2.0-beta.1"); }},
        {"a huge version", [&](FeedItem& i) { i.version = huge; }},
        {"an http url",
         [](FeedItem& i) { i.url = QStringLiteral("http://plinkora.org/P.AppImage"); }},
        {"a url with a password",
         [](FeedItem& i) { i.url = QStringLiteral("https://a:b@plinkora.org/P"); }},
        {"a length over 512 MiB",
         [](FeedItem& i) { i.length = QString::number((qint64(512) << 20) + 1); }},
        {"an old DSA-only item", [](FeedItem& i) { i.signature.clear(); }},
        {"a short signature", [](FeedItem& i) { i.signature = QByteArray(63, 's').toBase64(); }},
        {"an http notes link",
         [](FeedItem& i) { i.notesLink = QStringLiteral("http://plinkora.org/n"); }},
        {"two versions",
         [](FeedItem& i) { i.extra = QStringLiteral("<sparkle:version>9</sparkle:version>"); }},
        {"two enclosures",
         [](FeedItem& i) { i.extra = QStringLiteral("<enclosure url=\"https://a.b/c\"/>"); }},
        {"macOS", [](FeedItem& i) { i.os = QStringLiteral("macos"); }},
        {"another architecture", [](FeedItem& i) { i.os = QStringLiteral("linux-riscv64"); }},
        {"a beta channel",
         [](FeedItem& i) { i.extra = QStringLiteral("<sparkle:channel>beta</sparkle:channel>"); }},
        {"an informational item", [](FeedItem& i) { i.url.clear(), i.signature.clear(); }},
    };
    for (const auto& [name, spoil] : cases) {
        FeedItem unusable = validItem(QStringLiteral("1.1"));
        spoil(unusable);
        const auto result = AppcastParser::parse(appcastFeed(
            {validItem(QStringLiteral("1.0.1")), unusable, validItem(QStringLiteral("0.9"))}));
        ASSERT_TRUE(result.isValid()) << name << ": " << result.error.toStdString();
        EXPECT_EQ(versionsOf(result),
                  (std::vector<QString>{QStringLiteral("1.0.1"), QStringLiteral("0.9")}))
            << name;
        EXPECT_EQ(result.passedOver.size(), 1u) << name;
    }
    // With nothing usable left the feed offers nothing and says so.
    FeedItem mac = validItem(QStringLiteral("1.1"));
    mac.os = QStringLiteral("macos");
    EXPECT_FALSE(AppcastParser::parse(appcastFeed({mac})).isValid());
    EXPECT_FALSE(AppcastParser::parse(appcastFeed({})).isValid());
}

TEST(AppcastParserTest, ReadsTheShapesRealFeedsHave) {
    const std::vector<std::pair<const char*, std::function<void(FeedItem&)>>> cases = {
        {"no length", [](FeedItem& i) { i.length.clear(); }},
        {"a zero length", [](FeedItem& i) { i.length = QStringLiteral("0"); }},
        {"no type", [](FeedItem& i) { i.type.clear(); }},
        {"this architecture by its Debian name",
         [](FeedItem& i) {
             i.os = QStringLiteral("linux-") + (QSysInfo::buildCpuArchitecture() == u"x86_64"
                                                    ? QStringLiteral("amd64")
                                                    : QSysInfo::buildCpuArchitecture());
         }},
        {"localised release notes",
         [](FeedItem& i) {
             i.extra = QStringLiteral("<description xml:lang=\"de\">Neu</description>"
                                      "<sparkle:releaseNotesLink xml:lang=\"de\">"
                                      "https://plinkora.org/de</sparkle:releaseNotesLink>");
         }},
        {"a critical update",
         [](FeedItem& i) { i.extra = QStringLiteral("<sparkle:criticalUpdate/>"); }},
    };
    for (const auto& [name, shape] : cases) {
        FeedItem item = validItem(QStringLiteral("1.1"));
        item.description = QStringLiteral("New");
        item.notesLink = QStringLiteral("https://plinkora.org/en");
        shape(item);
        const auto result = AppcastParser::parse(appcastFeed({item}));
        ASSERT_TRUE(result.isValid()) << name << ": " << result.error.toStdString();
        ASSERT_EQ(versionsOf(result), std::vector<QString>{QStringLiteral("1.1")}) << name;
        EXPECT_EQ(result.items[0].releaseNotes, QStringLiteral("New")) << name;
        EXPECT_EQ(result.items[0].releaseNotesUrl, QUrl(QStringLiteral("https://plinkora.org/en")));
        EXPECT_EQ(result.items[0].isCritical, QByteArray(name) == "a critical update");
    }

    // Versions on the enclosure, Sparkle's namespace under another prefix, a build number with
    // a marketing version, and phased rollout.
    QByteArray feed = appcastFeed({validItem(QStringLiteral("412"))});
    feed.replace("<sparkle:version>412</sparkle:version>", "")
        .replace(" sparkle:os=", " sparkle:version=\"412\" sparkle:shortVersionString=\"1.0.1\" "
                                 "sparkle:os=")
        .replace("</item>", "<sparkle:phasedRolloutInterval>86400</sparkle:phasedRolloutInterval>"
                            "</item>")
        .replace("sparkle:", "s:")
        .replace("xmlns:sparkle=", "xmlns:s=");
    const auto result = AppcastParser::parse(feed);
    ASSERT_TRUE(result.isValid()) << result.error.toStdString();
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].version.text(), QStringLiteral("412"));
    EXPECT_EQ(result.items[0].displayVersion, QStringLiteral("1.0.1"));
    EXPECT_EQ(result.items[0].phasedRolloutInterval, 86400);
    EXPECT_EQ(result.items[0].publishedAt,
              QDateTime(QDate(2026, 12, 6), QTime(12, 0), QTimeZone::utc()));
}
