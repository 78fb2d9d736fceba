#pragma once

#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "TempHome.hpp"
#include "UpdateTestKit.hpp"
#include "UpdateTestServer.hpp"
#include "app/Settings.hpp"
#include "system/AppUpdater.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace plinkora::testing {

/// An updater at version 1.0.0 running as a fake AppImage in a private home, against an
/// in-process HTTPS server, with a key made for the test and a manual clock.
class AppUpdaterTest : public ::testing::Test {
protected:
    static constexpr int kWaitMs = 10'000;

    AppUpdaterTest();
    ~AppUpdaterTest() override;

    UpdaterEnvironment environment();
    AppUpdater& start(std::optional<UpdaterEnvironment> environment = std::nullopt);
    void restart();

    /// Publishes `bytes` as version `version` at /Plinkora-<version>.AppImage in the feed.
    FeedItem publish(const QString& version, const QByteArray& bytes);
    void serveFeed(const std::vector<FeedItem>& items);
    /// Serves `feed` with its signature beside it, as a release does.
    void serveSignedFeed(const QByteArray& feed);

    /// The updater's visible top-level window of that type and name, once it shows.
    template <class Window> Window* waitForWindow(const char* objectName) {
        Window* found = nullptr;
        (void)QTest::qWaitFor(
            [&] { return (found = visibleWindow<Window>(objectName)) != nullptr; }, kWaitMs);
        return found;
    }
    template <class Window> static Window* visibleWindow(const char* objectName) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<Window*>(widget);
            if (window && window->isVisible() &&
                window->objectName() == QLatin1String(objectName)) {
                return window;
            }
        }
        return nullptr;
    }
    QMessageBox* waitForAlert() { return waitForWindow<QMessageBox>("updateAlert"); }
    static QPushButton* button(QWidget* window, const QString& text);
    static void click(QWidget* window, const QString& text);
    /// Lets posted events and deferred deletes run.
    static void settle();
    bool waitUntilCanCheck() {
        return QTest::qWaitFor([&] { return updater->canCheckForUpdates(); }, kWaitMs);
    }

    QString appImage() const { return appImagePath; }
    QStringList downloadLeftovers() const;

    TempHome home;
    QString tmpDir;
    std::unique_ptr<ScopedEnv> tmpEnv;
    std::unique_ptr<Settings> settings;
    ManualScheduler scheduler;
    UpdateTestServer server;
    TestSigningKey key;
    QDateTime wallClock = QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);
    QString appImagePath;
    QByteArray installedBytes;

    int broughtToFront = 0;
    QStringList opened;
    QStringList relaunched;
    struct Reminder {
        QString title;
        QString text;
        std::function<void()> onClicked;
    };
    std::vector<Reminder> reminders;
    std::unique_ptr<AppUpdater> updater;
};

} // namespace plinkora::testing
