// Plinkora as a user meets it: the real program on a private X server with a tray, a private
// sound server, the global hot key from the keyboard, a click that sounds middle C, and quitting.
#include "AudioSignals.hpp"
#include "PrivateBus.hpp"
#include "PulseServer.hpp"
#include "RealProgram.hpp"
#include "UiFixture.hpp"
#include "XvfbServer.hpp"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QImage>
#include <QTest>
#include <array>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace plinkora::testing;

namespace {

constexpr long kRate = 48000;
constexpr double kMiddleC = 261.63;

/// A StatusNotifierItem host's watcher, as KDE's and the AppIndicator extension's are: it
/// records which items register.
class StandInWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    QStringList items() const { return items_; }
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        // Some items send their object path instead of a bus name; the sender is the name.
        items_ << (service.startsWith(QLatin1Char('/')) ? message.service() : service);
    }

private:
    QStringList items_;
};

class EndToEnd : public ::testing::Test, protected RealProgram {
protected:
    std::map<std::string, std::string> environment() const {
        return home.programEnvironment(x.display(), pulse.serverAddress());
    }

    std::string xdotool(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        return runCommand(argv, {{"DISPLAY", x.display()}});
    }

    /// A panel with a system tray along the top of the screen.
    std::unique_ptr<ChildProcess> startTray() const {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                     "pixel", "--width", "120", "--height", "24", "--transparent",
                                     "false"},
            std::map<std::string, std::string>{{"DISPLAY", x.display()}}, -1, path("trayer.log"));
    }

    XvfbServer x{"1280x800x24"};
    PulseServer pulse{{"plinkora_out"}};
};

} // namespace

TEST_F(EndToEnd, HotKeyOnClickSoundsMiddleCHotKeyOffAndQuitOnSigterm) {
    pulse.setDefaultSink("plinkora_out");

    // A tray host on the private display, before Plinkora looks for one.
    auto tray = startTray();
    ASSERT_TRUE(waitUntil(
        [&] {
            return !xdotool({"search", "--class", "trayer"}).empty();
        },
        5))
        << "trayer did not start: " << readFile(path("trayer.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    ChildProcess plinkora({binary_}, environment(), -1, logFile_);
    ASSERT_TRUE(waitForLog("scale is now C major")) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(count("no system tray"), 0u) << "Plinkora found no tray:\n" << log();
    EXPECT_TRUE(xdotool({"search", "--onlyvisible", "--name", "Plinkora Settings"}).empty())
        << "with a tray, no window opens at start";

    // A click near the icon's top opens the menu below the icon, not at the cursor.
    const auto visibleWindows = [this] { // x, y, width, height of each
        std::vector<std::array<int, 4>> found;
        std::istringstream ids(xdotool({"search", "--onlyvisible", "--class", "plinkora"}));
        for (std::string id; std::getline(ids, id);) {
            std::array<int, 4> g{};
            std::sscanf(xdotool({"getwindowgeometry", "--shell", id}).c_str(),
                        "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &g[0], &g[1], &g[2], &g[3]);
            found.push_back(g);
        }
        return found;
    };
    const std::array<int, 4> icon = visibleWindows().at(0);
    xdotool({"mousemove", std::to_string(icon[0] + 2), std::to_string(icon[1] + 2), "click", "1"});
    std::vector<std::array<int, 4>> shown;
    ASSERT_TRUE(waitUntil([&] { return (shown = visibleWindows()).size() == 2; }, 5))
        << "the click opened no menu";
    const std::array<int, 4> menu = shown[0] == icon ? shown[1] : shown[0];
    EXPECT_EQ(menu[1], icon[1] + icon[3]) << "the menu is not just below the icon";
    EXPECT_LE(menu[0], icon[0]);
    EXPECT_GE(menu[0] + menu[2], icon[0] + icon[2]) << "the menu is not under the icon";
    xdotool({"key", "Escape"});

    xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitForLog("Plinkora on")) << log();
    ASSERT_TRUE(waitForLog("audio engine running on", 1, 20)) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const std::string recording = home.path().toStdString() + "/monitor.wav";
    auto recorder = pulse.recordMonitor("plinkora_out", recording);
    const auto recorded = [&] { return PulseServer::recordedSeconds(recording); };
    ASSERT_TRUE(waitUntil([&] { return recorded() > 0.3; })) << "parecord records nothing";

    // Zone 0 of a vertical layout is the band along the bottom edge.
    xdotool({"mousemove", "640", "780", "click", "1"});
    ASSERT_TRUE(waitForLog("strike zone 0 C4 via")) << log();
    const double struckAt = recorded();
    waitUntil([&] { return recorded() > struckAt + 1.2; });
    recorder->stop();

    const std::vector<float> samples = readFirstChannel(recording);
    ASSERT_GT(samples.size(), static_cast<std::size_t>(kRate)) << "too little was recorded";
    EXPECT_GT(rms(samples), 0.002) << "the null sink heard nothing";
    // Middle C, a semitone and more from any other note (B3 is 246.9 Hz, C♯4 277.2 Hz), in
    // the half second after the attack.
    const auto onset = std::find_if(samples.begin(), samples.end(),
                                    [](float sample) { return std::abs(sample) > 0.01f; });
    ASSERT_GT(std::distance(onset, samples.end()), kRate / 10 * 6) << "no note, or too late";
    EXPECT_NEAR(fundamental({onset + kRate / 10, onset + kRate / 10 * 6}, kRate), kMiddleC, 4);

    // The second shortcut saves what was just played: two files named alike in the music folder.
    xdotool({"key", "ctrl+alt+super+s"});
    ASSERT_TRUE(waitForLog("saved what was just played: ")) << log();
    const QStringList saved =
        QDir(home.path() + QStringLiteral("/Music/Plinkora")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(saved.size(), 2) << saved.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(saved[0].endsWith(QLatin1String(".flac")) &&
                saved[1].endsWith(QLatin1String(".mid")));
    EXPECT_EQ(saved[0].chopped(5), saved[1].chopped(4));

    xdotool({"key", "ctrl+alt+super+m"});
    EXPECT_TRUE(waitForLog("Plinkora off")) << log();

    plinkora.signal(SIGTERM);
    const int status = plinkora.waitForExit(10.0);
    ASSERT_TRUE(WIFEXITED(status)) << log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(count("Plinkora quitting"), 1u) << "the shutdown that leaves the logo lit ran";
}

TEST_F(EndToEnd, AStatusNotifierHostShowsTheIconLegiblyWithItsState) {
    PrivateBus bus;
    StandInWatcher watcher;
    QDBusConnection host = bus.connect(QStringLiteral("host"));
    ASSERT_TRUE(host.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
    ASSERT_TRUE(host.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                    QDBusConnection::ExportAllSlots |
                                        QDBusConnection::ExportAllProperties));
    auto session = environment();
    session["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
    ChildProcess plinkora({binary_}, session, -1, logFile_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.items().isEmpty(); }, 10000)) << log();
    EXPECT_EQ(count("no system tray"), 0u) << log();

    const auto property = [&](const char* name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            watcher.items().first(), QStringLiteral("/StatusNotifierItem"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.kde.StatusNotifierItem") << QString::fromLatin1(name);
        const QDBusMessage reply = host.call(get);
        return reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    };
    // The largest of the pixmaps the item offers, ARGB in network order.
    QImage icon;
    const QDBusArgument pixmaps = property("IconPixmap");
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0, height = 0;
        QByteArray argb;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> argb;
        pixmaps.endStructure();
        if (width > icon.width() && argb.size() == qsizetype{width} * height * 4) {
            icon = QImage(width, height, QImage::Format_ARGB32);
            for (int i = 0; i < width * height; ++i) {
                const auto* p = reinterpret_cast<const unsigned char*>(argb.constData()) +
                                std::ptrdiff_t{4} * i;
                icon.setPixel(i % width, i / width, qRgba(p[1], p[2], p[3], p[0]));
            }
        }
    }
    pixmaps.endArray();
    ASSERT_GE(icon.width(), 16) << "the item offers no icon";
    const int enough = icon.width() * icon.height() / 8;
    for (const QColor panel : {QColor(Qt::black), QColor(Qt::white), QColor(0x2b, 0x2b, 0x2b)}) {
        EXPECT_GT(legiblePixels(icon, panel), enough) << panel.name().toStdString();
    }

    const auto toolTip = [&] {
        return runCommand({"gdbus", "call", "--address", bus.address(), "--dest",
                           watcher.items().first().toStdString(), "--object-path",
                           "/StatusNotifierItem", "--method", "org.freedesktop.DBus.Properties.Get",
                           "org.kde.StatusNotifierItem", "ToolTip"});
    };
    EXPECT_NE(toolTip().find("Plinkora is off"), std::string::npos) << toolTip();
    ChildProcess on({binary_, "--on"}, session, -1, home.path().toStdString() + "/on.log");
    EXPECT_TRUE(waitUntil([&] { return toolTip().find("Plinkora is on") != std::string::npos; }, 5))
        << toolTip();
}

TEST_F(EndToEnd, WithoutATrayTheSettingsWindowOpensAndASecondLaunchBringsItBack) {
    ChildProcess plinkora({binary_}, environment(), -1, logFile_);
    ASSERT_TRUE(waitForLog("no system tray")) << log();
    std::string window;
    const auto settingsShown = [&] {
        return !(window = xdotool({"search", "--onlyvisible", "--name", "Plinkora Settings"}))
                    .empty();
    };
    ASSERT_TRUE(waitUntil(settingsShown, 5)) << "the settings window did not open";
    window = window.substr(0, window.find('\n'));

    // Ctrl+W closes it; the program keeps running.
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "ctrl+w"});
    ASSERT_TRUE(waitUntil([&] { return !settingsShown(); }, 5))
        << "Ctrl+W did not close the settings window";
    EXPECT_TRUE(plinkora.isRunning());

    ChildProcess second({binary_, "--settings"}, environment(), -1,
                        home.path().toStdString() + "/second.log");
    const int secondStatus = second.waitForExit(10.0);
    EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);
    EXPECT_TRUE(waitUntil(settingsShown, 5)) << "the second launch did not bring the window back";

    // A panel with a tray that starts late still gets the icon.
    auto tray = startTray();
    EXPECT_TRUE(waitUntil(
        [&] {
            return runCommand({"xwininfo", "-root", "-tree"}, {{"DISPLAY", x.display()}})
                       .find("\"Plinkora\": (\"plinkora\" \"Plinkora\")  22x22") !=
                   std::string::npos;
        },
        5))
        << "no icon in the tray that started late";

    // The display going away ends Plinkora too, through its shutdown.
    x.stop();
    const int status = plinkora.waitForExit(10.0);
    EXPECT_TRUE(WIFEXITED(status)) << log();
    EXPECT_EQ(count("Plinkora quitting"), 1u) << log();
}

#include "EndToEndTest.moc"
