// Checking for updates: user-initiated and scheduled checks, their windows and reminders,
// the preference, and a build without a key.
#include "AppUpdaterTestFixture.hpp"
#include "system/UpdateWindow.hpp"

#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBrowser>

using namespace plinkora;
using namespace plinkora::testing;

namespace {

QString labelText(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QString();
}

QString notesText(QWidget* window) {
    auto* notes = window->findChild<QTextBrowser*>(QStringLiteral("releaseNotes"));
    return notes != nullptr ? notes->toPlainText() : QString();
}

} // namespace

TEST_F(AppUpdaterTest, AUserCheckOffersTheNewestNewerVersionInAWindowInFront) {
    FeedItem newest = publish(QStringLiteral("1.2.0"), fakeAppImage(12));
    newest.shortVersion = QStringLiteral("1.2");
    newest.description = QStringLiteral("<p>Chords ring <b>longer</b>.</p>");
    serveFeed({publish(QStringLiteral("1.0.0"), fakeAppImage(10)), newest,
               publish(QStringLiteral("1.1.0"), fakeAppImage(11))});
    start();
    ASSERT_TRUE(updater->canCheckForUpdates());
    QSignalSpy canCheck(updater.get(), &Updater::canCheckForUpdatesChanged);

    updater->checkForUpdates();
    EXPECT_FALSE(updater->canCheckForUpdates());
    // A second request while one runs starts nothing new.
    updater->checkForUpdates();

    UpdateWindow* window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(updater->canCheckForUpdates());
    EXPECT_EQ(canCheck.size(), 2);
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 1);
    EXPECT_EQ(broughtToFront, 1);
    EXPECT_EQ(labelText(window, "versions"),
              QStringLiteral("Plinkora 1.2 is now available\u2014you have 1.0.0. Would you like "
                             "to install it now?"));
    EXPECT_EQ(notesText(window), QStringLiteral("Chords ring longer."));
    EXPECT_EQ(settings->lastUpdateCheck(), wallClock);

    click(window, QStringLiteral("Remind Me Later"));
    settle();
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);
    EXPECT_TRUE(settings->skippedVersion().isEmpty());
    // Nothing was downloaded.
    EXPECT_EQ(server.hits(QStringLiteral("/Plinkora-1.2.0.AppImage")), 0);

    serveFeed({publish(QStringLiteral("0.9"), fakeAppImage(9)),
               publish(QStringLiteral("1.0"), fakeAppImage(10))});
    updater->checkForUpdates();
    QMessageBox* alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("You're up to date!"));
    EXPECT_EQ(alert->informativeText(),
              QStringLiteral("Plinkora 1.0.0 is currently the newest version available."));
    EXPECT_EQ(broughtToFront, 2);
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);
    EXPECT_TRUE(updater->canCheckForUpdates());
}

// What the feed's parser refuses is tested with the parser; here, that each kind of failure
// reaches the user as its own message.
TEST_F(AppUpdaterTest, FeedsThatCannotBeReachedOrReadSaySoAndAllowTheNextCheck) {
    const QByteArray good = appcastFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});

    struct Case {
        const char* name;
        std::function<void()> prepare;
        QString message;
    };
    const QString unreachable = QStringLiteral("The update feed could not be reached.");
    const QString unreadable = QStringLiteral("The update feed could not be read.");
    const QString unverified = QStringLiteral("The update feed could not be verified.");
    const TestSigningKey otherKey;
    const std::vector<Case> cases = {
        {"missing on the server",
         [&] {
             server.route(QStringLiteral("/appcast.xml"), {404, "no", "text/plain", {}, -1});
         },
         unreachable},
        {"unsigned",
         [&] {
             server.serve(QStringLiteral("/appcast.xml"), good);
             server.route(QStringLiteral("/appcast.xml.sig"), {404, "no", "text/plain", {}, -1});
         },
         unverified},
        {"signed by another key",
         [&] {
             serveSignedFeed(good);
             server.serve(QStringLiteral("/appcast.xml.sig"), otherKey.signBase64(good));
         },
         unverified},
        {"changed after signing",
         [&] {
             serveSignedFeed(good);
             server.serve(QStringLiteral("/appcast.xml"), QByteArray(good).replace("1.1", "9.9"));
         },
         unverified},
        {"trickling past the deadline",
         [&] {
             server.route(QStringLiteral("/appcast.xml"),
                          {200, good, "application/rss+xml", {}, 10});
         },
         unreachable},
        {"larger than 1 MB",
         [&] { serveSignedFeed(good + QByteArray(qsizetype{1024} * 1024, ' ')); }, unreadable},
        {"redirected to http",
         [&] {
             server.redirect(QStringLiteral("/appcast.xml"),
                             server.insecureUrl(QStringLiteral("/appcast.xml")));
         },
         unreachable},
    };
    UpdaterEnvironment impatient = environment();
    impatient.feedDeadlineMs = 1500;
    start(impatient);
    QSignalSpy canCheck(updater.get(), &Updater::canCheckForUpdatesChanged);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        test.prepare();
        canCheck.clear();
        updater->checkForUpdates();
        EXPECT_FALSE(updater->canCheckForUpdates());
        QMessageBox* alert = waitForAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(), test.message);
        EXPECT_FALSE(alert->informativeText().isEmpty());
        EXPECT_TRUE(updater->canCheckForUpdates());
        EXPECT_EQ(canCheck.size(), 2);
        EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);
        click(alert, QStringLiteral("OK"));
        settle();
    }
    EXPECT_EQ(server.insecureConnections(), 0);
    EXPECT_EQ(server.hits(QStringLiteral("/Plinkora-1.1.AppImage")), 0);
}

TEST_F(AppUpdaterTest, AnInsecureOrUntrustedFeedIsNeverRead) {
    UpdaterEnvironment insecure = environment();
    insecure.feedUrl = server.insecureUrl(QStringLiteral("/appcast.xml"));
    start(insecure);
    updater->checkForUpdates();
    QMessageBox* alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("The update feed could not be reached."));
    EXPECT_EQ(server.insecureConnections(), 0);
    EXPECT_TRUE(updater->canCheckForUpdates());

    // The system's trust store does not know the test's certificate authority.
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});
    UpdaterEnvironment untrusted = environment();
    untrusted.tls.reset();
    start(untrusted);
    updater->checkForUpdates();
    EXPECT_TRUE(waitUntilCanCheck());
    alert = waitForAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("The update feed could not be reached."));
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 0);
}

TEST_F(AppUpdaterTest, ReleaseNotesLoadNothingTheyReferTo) {
    QImage pixel(4, 4, QImage::Format_RGB32);
    pixel.fill(Qt::red);
    const QString localImage = home.path() + QStringLiteral("/pixel.png");
    ASSERT_TRUE(pixel.save(localImage));
    FeedItem item = publish(QStringLiteral("1.1"), fakeAppImage(11));
    item.description =
        QStringLiteral("<p>Brighter rings.</p><img src=\"%1\"><img src=\"file://%2\">"
                       "<link rel=\"stylesheet\" href=\"%3\">")
            .arg(server.url(QStringLiteral("/pixel.png")).toString(), localImage,
                 server.url(QStringLiteral("/style.css")).toString());
    serveFeed({item});
    start();
    updater->checkForUpdates();
    UpdateWindow* window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    window->grab(); // Lays the notes out and paints them, as on screen.
    settle();
    EXPECT_TRUE(notesText(window).contains(QStringLiteral("Brighter rings.")));
    EXPECT_EQ(server.requests(),
              (QStringList{QStringLiteral("/appcast.xml"), QStringLiteral("/appcast.xml.sig")}));
    // A local file is no more loaded than a remote one.
    auto* notes = window->findChild<QTextBrowser*>(QStringLiteral("releaseNotes"));
    ASSERT_NE(notes, nullptr);
    EXPECT_FALSE(notes->document()
                     ->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(localImage))
                     .isValid());
}

TEST_F(AppUpdaterTest, ScheduledChecksRunAMinuteAfterStartAndThenDaily) {
    serveFeed({publish(QStringLiteral("1.0"), fakeAppImage(10))});
    start();
    EXPECT_TRUE(updater->automaticallyChecksForUpdates());
    scheduler.advance(59);
    settle();
    EXPECT_TRUE(updater->canCheckForUpdates()) << "a check began before the minute was up";
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 0);
    scheduler.advance(1);
    EXPECT_FALSE(updater->canCheckForUpdates());
    ASSERT_TRUE(waitUntilCanCheck());
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 1);
    EXPECT_EQ(settings->lastUpdateCheck(), wallClock);
    // Nothing new: a scheduled check stays silent.
    EXPECT_EQ(visibleWindow<QMessageBox>("updateAlert"), nullptr);
    EXPECT_TRUE(reminders.empty());
    EXPECT_EQ(broughtToFront, 0);

    wallClock = wallClock.addSecs(qint64{24} * 3600);
    scheduler.advance(24 * 3600 - 1);
    settle();
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 1);
    scheduler.advance(1);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.hits(QStringLiteral("/appcast.xml")) == 2; }, kWaitMs));
    ASSERT_TRUE(waitUntilCanCheck());
    EXPECT_EQ(settings->lastUpdateCheck(), wallClock);

    // A restart soon after does not check again until a day has passed since the last check.
    wallClock = wallClock.addSecs(3600);
    restart();
    scheduler.advance(23 * 3600 - 1);
    settle();
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 2);
    scheduler.advance(1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return server.hits(QStringLiteral("/appcast.xml")) == 3; }, kWaitMs));
    // A failing scheduled check shows nothing either.
    EXPECT_EQ(visibleWindow<QMessageBox>("updateAlert"), nullptr);
}

TEST_F(AppUpdaterTest, AScheduledCheckRemindsGentlyAndTheReminderOpensTheWindow) {
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});
    start();
    scheduler.advance(60);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reminders.empty(); }, kWaitMs));
    ASSERT_EQ(reminders.size(), 1u);
    EXPECT_EQ(reminders[0].title, QStringLiteral("Plinkora 1.1 is available"));
    // The reminder replaces a window: none shows until it is clicked.
    settle();
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);
    EXPECT_EQ(broughtToFront, 0);

    reminders[0].onClicked();
    UpdateWindow* window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(broughtToFront, 1);
    EXPECT_EQ(window->update().version.text(), QStringLiteral("1.1"));

    // Clicking a reminder after the updater is gone does nothing.
    auto onClicked = reminders[0].onClicked;
    updater.reset();
    settle();
    onClicked();
    settle();
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);
}

TEST_F(AppUpdaterTest, ASkippedVersionGetsNoReminderButAUserCheckOffersIt) {
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});
    start();
    updater->checkForUpdates();
    UpdateWindow* window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    click(window, QStringLiteral("Skip This Version"));
    settle();
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);

    restart();
    EXPECT_EQ(settings->skippedVersion(), QStringLiteral("1.1"));
    scheduler.advance(24 * 3600);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.hits(QStringLiteral("/appcast.xml")) == 2; }, kWaitMs));
    ASSERT_TRUE(waitUntilCanCheck());
    settle();
    EXPECT_TRUE(reminders.empty());
    EXPECT_EQ(visibleWindow<UpdateWindow>("updateWindow"), nullptr);

    updater->checkForUpdates();
    window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->update().version.text(), QStringLiteral("1.1"));
    window->close();
    settle();

    // A release newer than the skipped one is reminded of again.
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11)),
               publish(QStringLiteral("1.1.1"), fakeAppImage(12))});
    wallClock = wallClock.addDays(2);
    scheduler.advance(24 * 3600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reminders.empty(); }, kWaitMs));
    EXPECT_EQ(reminders[0].title, QStringLiteral("Plinkora 1.1.1 is available"));

    // A skipped release that its publisher marks critical is reminded of all the same.
    settings->setSkippedVersion(QStringLiteral("1.1.1"));
    FeedItem critical = publish(QStringLiteral("1.1.1"), fakeAppImage(12));
    critical.extra = QStringLiteral("<sparkle:criticalUpdate/>");
    serveFeed({critical});
    reminders.clear();
    wallClock = wallClock.addDays(2);
    scheduler.advance(24 * 3600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reminders.empty(); }, kWaitMs));
    reminders[0].onClicked();
    window = waitForWindow<UpdateWindow>("updateWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(labelText(window, "heading"),
              QStringLiteral("A critical update of Plinkora is available!"));
    EXPECT_EQ(button(window, QStringLiteral("Skip This Version")), nullptr);
}

TEST_F(AppUpdaterTest, ThePreferenceIsPersistedObservableAndStopsScheduledChecks) {
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});
    start();
    QSignalSpy changed(updater.get(), &Updater::automaticallyChecksForUpdatesChanged);
    updater->setAutomaticallyChecksForUpdates(false);
    updater->setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_FALSE(updater->automaticallyChecksForUpdates());
    scheduler.advance(3 * 24 * 3600);
    settle();
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 0);

    restart();
    EXPECT_FALSE(updater->automaticallyChecksForUpdates());
    scheduler.advance(2 * 24 * 3600);
    settle();
    EXPECT_EQ(server.hits(QStringLiteral("/appcast.xml")), 0);
    // A user-initiated check still works.
    EXPECT_TRUE(updater->canCheckForUpdates());

    QSignalSpy changedAgain(updater.get(), &Updater::automaticallyChecksForUpdatesChanged);
    updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_EQ(changedAgain.size(), 1);
    scheduler.advance(60);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !reminders.empty(); }, kWaitMs));
    settings->flush();
    EXPECT_TRUE(Settings(home.settingsFile()).automaticallyChecksForUpdates());
}

TEST_F(AppUpdaterTest, ABuildWithoutAKeyNeverChecks) {
    serveFeed({publish(QStringLiteral("1.1"), fakeAppImage(11))});
    LogCapture log;
    UpdaterEnvironment keyless = environment();
    keyless.publicKey.clear();
    start(keyless);
    EXPECT_FALSE(updater->canCheckForUpdates());
    EXPECT_EQ(log.count("updates are off in this build"), 1u);

    QSignalSpy canCheck(updater.get(), &Updater::canCheckForUpdatesChanged);
    updater->checkForUpdates();
    scheduler.advance(3 * 24 * 3600);
    settle();
    EXPECT_EQ(canCheck.size(), 0);
    EXPECT_FALSE(updater->canCheckForUpdates());
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(visibleWindow<QMessageBox>("updateAlert"), nullptr);
}
