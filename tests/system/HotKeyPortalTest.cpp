// The global hot key on a Wayland session: the desktop portal's GlobalShortcuts interface,
// played by a stand-in portal on a private session bus, and the XWayland fallback, played by
// a private Xvfb.
#include "ChildProcess.hpp"
#include "HotKeyWait.hpp"
#include "LogCapture.hpp"
#include "PrivateBus.hpp"
#include "TempHome.hpp"
#include "XvfbServer.hpp"
#include "system/GlobalHotKey.hpp"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace plinkora {
namespace {

using testing::waitUntil;

constexpr auto kModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const char* const kFallbackLine = "works only while an X11 window is in front";

class HotKeyPortalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        privateBus_ = new testing::PrivateBus;
        bus_ = new QDBusConnection(privateBus_->connect(QStringLiteral("plinkora-test")));
        address_ = privateBus_->address();
    }

    static void TearDownTestSuite() {
        delete bus_;
        delete privateBus_;
    }

    void SetUp() override { ASSERT_TRUE(bus_->isConnected()) << "no private session bus"; }

    void TearDown() override { stopPortal(); }

    void startPortal(const std::vector<std::string>& flags = {}) {
        std::vector<std::string> argv{"/usr/bin/python3", PLINKORA_FAKE_PORTAL};
        argv.insert(argv.end(), flags.begin(), flags.end());
        portal_ = std::make_unique<testing::ChildProcess>(
            argv, std::map<std::string, std::string>{{"DBUS_SESSION_BUS_ADDRESS", address_}});
        ASSERT_TRUE(waitUntil([] { return bus_->interface()->isServiceRegistered(kPortal); }));
    }

    void stopPortal() {
        if (portal_) {
            portal_.reset();
            waitUntil([] { return !bus_->interface()->isServiceRegistered(kPortal); });
        }
    }

    static QVariantMap portalState() {
        const QDBusMessage reply = bus_->call(QDBusMessage::createMethodCall(
            kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.plinkora.test.FakePortal"), QStringLiteral("State")));
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }

    static void activate(const QString& session, const QString& shortcut) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.plinkora.test.FakePortal"), QStringLiteral("Activate"));
        call << session << shortcut;
        bus_->call(call);
    }

    std::unique_ptr<GlobalHotKey> makeHotKey(int* presses, bool isWayland = true) {
        return std::make_unique<GlobalHotKey>(
            Qt::Key_M, kModifiers, [presses] { ++*presses; },
            GlobalHotKey::Session{isWayland, *bus_});
    }

    static inline testing::PrivateBus* privateBus_ = nullptr;
    static inline QDBusConnection* bus_ = nullptr;
    static inline std::string address_;
    std::unique_ptr<testing::ChildProcess> portal_;
};

TEST_F(HotKeyPortalTest, BindsThePreferredTriggerAndRunsOnEachActivation) {
    startPortal();
    testing::LogCapture log;
    int presses = 0;
    auto hotKey = makeHotKey(&presses);
    ASSERT_TRUE(waitUntil([&] { return hotKey->isRegistered(); }));
    EXPECT_EQ(portalState().value(QStringLiteral("bindings")).toInt(), 1);

    const QVariantMap state = portalState();
    EXPECT_EQ(state.value(QStringLiteral("trigger")).toString(), QStringLiteral("CTRL+ALT+LOGO+m"));
    EXPECT_FALSE(state.value(QStringLiteral("description")).toString().isEmpty());
    const QString shortcut = state.value(QStringLiteral("shortcutId")).toString();
    ASSERT_FALSE(shortcut.isEmpty());

    // Another session's shortcut and an unknown shortcut of ours are not this hot key.
    activate(QStringLiteral("/org/freedesktop/portal/desktop/session/1_1/other"), shortcut);
    activate(QString(), QStringLiteral("something-else"));
    activate(QString(), shortcut);
    ASSERT_TRUE(waitUntil([&] { return presses >= 1; }));
    activate(QString(), shortcut);
    ASSERT_TRUE(waitUntil([&] { return presses >= 2; }));
    EXPECT_FALSE(waitUntil([&] { return presses > 2; }, 0.3));
    EXPECT_FALSE(log.contains(kFallbackLine));
    EXPECT_EQ(hotKey->state(), HotKey::State::active);
}

TEST_F(HotKeyPortalTest, DestructionClosesTheSessionAndSilencesTheAction) {
    startPortal();
    int presses = 0;
    auto hotKey = makeHotKey(&presses);
    ASSERT_TRUE(waitUntil([&] { return hotKey->isRegistered(); }));
    const QVariantMap first = portalState();
    const QString firstSession = first.value(QStringLiteral("lastSession")).toString();
    const QString shortcut = first.value(QStringLiteral("shortcutId")).toString();
    hotKey.reset();
    EXPECT_TRUE(
        waitUntil([] { return portalState().value(QStringLiteral("sessionsOpen")).toInt() == 0; }));

    // A second hot key's activation proves the first one's was delivered, and ignored.
    int laterPresses = 0;
    auto later = makeHotKey(&laterPresses);
    ASSERT_TRUE(waitUntil([&] { return later->isRegistered(); }));
    activate(firstSession, shortcut);
    activate(QString(), shortcut);
    ASSERT_TRUE(waitUntil([&] { return laterPresses == 1; }));
    EXPECT_EQ(presses, 0);
}

TEST_F(HotKeyPortalTest, RefusedBindingStaysSilent) {
    startPortal({"--refuse-binding"});
    testing::LogCapture log;
    int presses = 0;
    auto hotKey = makeHotKey(&presses);
    ASSERT_TRUE(waitUntil(
        [] { return portalState().value(QStringLiteral("sessionsCreated")).toInt() == 1; }));
    activate(QString(), QStringLiteral("toggle"));
    EXPECT_FALSE(waitUntil([&] { return presses > 0; }, 0.3));
    EXPECT_FALSE(hotKey->isRegistered());
    EXPECT_FALSE(log.contains(kFallbackLine));
}

// Without the portal's interface the X11 grab takes over, on a connection of its own since Qt
// itself is not on X11 there.
class HotKeyFallbackTest : public HotKeyPortalTest {
protected:
    void expectX11Fallback() {
        testing::LogCapture log;
        int presses = 0;
        auto hotKey = makeHotKey(&presses);
        ASSERT_TRUE(waitUntil([&] { return log.contains(kFallbackLine); }, 10));
        EXPECT_EQ(hotKey->state(), HotKey::State::activeInX11Only);
        testing::xdotool({"key", "ctrl+alt+super+m"});
        ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
        testing::xdotool({"key", "ctrl+alt+super+m"});
        ASSERT_TRUE(waitUntil([&] { return presses == 2; }));
        EXPECT_EQ(log.count(kFallbackLine), 1u);
        for (const auto& line : log.lines()) {
            if (line.text.find(kFallbackLine) != std::string::npos) {
                EXPECT_EQ(line.level, LogLevel::info);
            }
        }
        hotKey.reset();
        testing::xdotool({"key", "ctrl+alt+super+m"});
        EXPECT_FALSE(waitUntil([&] { return presses > 2; }, 0.3));
    }

    testing::XvfbServer xvfb_;
    testing::ScopedEnv display_{"DISPLAY", xvfb_.display()};
};

// A portal without the interface, no portal, and a portal without a backend for it, which
// answers calls but never the requests; the machine's own portal is never asked, since the
// private bus activates nothing.
TEST_F(HotKeyFallbackTest, WithoutAWorkingPortalTheX11GrabTakesOver) {
    for (const std::string flag : {"--without-global-shortcuts", "", "--never-responds"}) {
        SCOPED_TRACE(flag);
        if (!flag.empty()) {
            startPortal({flag});
        }
        expectX11Fallback();
        stopPortal();
    }
}

// Some desktops bind the shortcut but assign it no key until the person picks one: the X11
// grab stays, and a key assigned later in the desktop still reaches the action.
TEST_F(HotKeyFallbackTest, ABindingWithoutAKeyKeepsTheX11GrabAndSaysWhereToAssignOne) {
    startPortal({"--no-key"});
    testing::LogCapture log;
    int presses = 0;
    auto hotKey = makeHotKey(&presses);
    ASSERT_TRUE(waitUntil([&] { return log.contains("bound the shortcut without a key"); }));
    EXPECT_TRUE(log.contains(kFallbackLine));
    testing::xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
    activate(portalState().value(QStringLiteral("lastSession")).toString(),
             QStringLiteral("toggle"));
    EXPECT_TRUE(waitUntil([&] { return presses == 2; }));
}

TEST_F(HotKeyFallbackTest, X11SessionNeverAsksThePortal) {
    startPortal();
    int presses = 0;
    auto hotKey = makeHotKey(&presses, false);
    testing::xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
    EXPECT_EQ(portalState().value(QStringLiteral("sessionsCreated")).toInt(), 0);
}

} // namespace
} // namespace plinkora
