// The global hot key on a real X server: presses come from xdotool through XTEST, exactly as
// from a keyboard, and the competing application is a second X connection.
#include "ChildProcess.hpp"
#include "HotKeyWait.hpp"
#include "LogCapture.hpp"
#include "TempHome.hpp"
#include "system/GlobalHotKey.hpp"

#include <QTemporaryFile>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace plinkora {
namespace {

using testing::waitUntil;
using testing::xdotool;

constexpr auto kModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// Another X client, with its own connection to the server.
class OtherClient {
public:
    OtherClient()
        : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~OtherClient() { xcb_disconnect(connection_); }

    /// Grabs Ctrl+Alt+Super+<keycode of m>; whether the server granted it.
    bool grabM() {
        const auto cookie = xcb_grab_key_checked(
            connection_, 0, root_, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4,
            keyCodeOfM(), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
        std::free(error);
        return error == nullptr;
    }

    /// Waits for a key press to reach this client.
    bool receivesPress(double seconds = 5.0) {
        return waitUntil(
            [this] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                    const bool isPress = (event->response_type & 0x7f) == XCB_KEY_PRESS;
                    std::free(event);
                    if (isPress) {
                        return true;
                    }
                }
                return false;
            },
            seconds);
    }

private:
    xcb_keycode_t keyCodeOfM() {
        const std::string output = testing::runCommand({"xmodmap", "-pke"});
        const auto at = output.find(" = m M");
        const auto start = output.rfind("keycode", at);
        return static_cast<xcb_keycode_t>(std::stoi(output.substr(start + 7, at - start - 7)));
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

class HotKeyX11Test : public ::testing::Test {
protected:
    std::unique_ptr<GlobalHotKey> makeHotKey(Qt::Key key, int* presses) {
        return std::make_unique<GlobalHotKey>(
            key, kModifiers, [presses] { ++*presses; }, GlobalHotKey::Session{});
    }
};

// Made as the X11 session makes it; held down, the server's auto-repeat (660 ms delay, 25 per
// second) sends many presses that must not toggle again.
TEST_F(HotKeyX11Test, RunsOncePerPressWithExactlyItsModifiersAndNotWhileHeld) {
    testing::ScopedEnv session("XDG_SESSION_TYPE", std::string("x11"));
    int presses = 0;
    auto hotKey = makeGlobalHotKey(Qt::Key_M, kModifiers, [&] { ++presses; });

    // Near misses first: a later hit proves they were delivered and ignored.
    xdotool({"key", "ctrl+alt+m", "ctrl+super+m", "ctrl+alt+super+shift+m", "ctrl+alt+super+n"});
    xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitUntil([&] { return presses >= 1; }));
    xdotool({"keydown", "ctrl+alt+super+m"});
    QThread::msleep(1200);
    QCoreApplication::processEvents();
    xdotool({"keyup", "ctrl+alt+super+m"});
    xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitUntil([&] { return presses >= 3; }));
    EXPECT_FALSE(waitUntil([&] { return presses > 3; }, 0.3));
}

TEST_F(HotKeyX11Test, WorksWithNumLockAndCapsLockOn) {
    int presses = 0;
    auto hotKey = makeHotKey(Qt::Key_M, &presses);

    // Num Lock on, then Caps Lock too, then Num Lock off again, and Caps Lock off at the end.
    int expected = 0;
    for (const char* lock : {"Num_Lock", "Caps_Lock", "Num_Lock"}) {
        xdotool({"key", lock});
        xdotool({"key", "ctrl+alt+super+m"});
        EXPECT_TRUE(waitUntil([&] { return presses == expected + 1; })) << "after " << lock;
        expected = presses;
    }
    xdotool({"key", "Caps_Lock"});
}

TEST_F(HotKeyX11Test, ATakenCombinationFailsSilentlyAndIsTakenUpOnceLetGo) {
    auto other = std::make_unique<OtherClient>();
    ASSERT_TRUE(other->grabM());
    testing::LogCapture log;
    int presses = 0;
    auto hotKey = makeHotKey(Qt::Key_M, &presses);
    EXPECT_FALSE(hotKey->isRegistered());
    EXPECT_EQ(hotKey->state(), HotKey::State::taken);

    xdotool({"key", "ctrl+alt+super+m"});
    EXPECT_TRUE(other->receivesPress());
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 0);
    for (const auto& line : log.lines()) {
        EXPECT_NE(line.level, LogLevel::error) << line.text;
        EXPECT_NE(line.level, LogLevel::info) << line.text;
    }

    // Let go: the next try (the settings window opening) takes it up; still held, it stays
    // taken, and a keymap change tries again.
    auto holder = std::make_unique<OtherClient>();
    other.reset();
    ASSERT_TRUE(holder->grabM());
    hotKey->retry();
    EXPECT_EQ(hotKey->state(), HotKey::State::taken);
    holder.reset();
    testing::runCommand({"setxkbmap", "-layout", "us"});
    ASSERT_TRUE(waitUntil([&] { return hotKey->state() == HotKey::State::active; }));
    xdotool({"key", "ctrl+alt+super+m"});
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
}

TEST_F(HotKeyX11Test, DestructionReleasesTheGrabAndSilencesTheAction) {
    int presses = 0;
    auto hotKey = makeHotKey(Qt::Key_M, &presses);
    {
        OtherClient whileHeld;
        EXPECT_FALSE(whileHeld.grabM());
    }
    hotKey.reset();

    OtherClient after;
    EXPECT_TRUE(after.grabM());
    int otherPresses = 0;
    auto other = makeHotKey(Qt::Key_N, &otherPresses);
    xdotool({"key", "ctrl+alt+super+m", "ctrl+alt+super+n"});
    ASSERT_TRUE(waitUntil([&] { return otherPresses == 1; }));
    EXPECT_EQ(presses, 0);
}

// Restores the keymap's lines for the given key codes when it goes.
class KeymapChange {
public:
    explicit KeymapChange(const std::vector<std::string>& expressions)
        : saved_(testing::runCommand({"xmodmap", "-pke"})) {
        std::vector<std::string> argv{"xmodmap"};
        for (const std::string& expression : expressions) {
            argv.push_back("-e");
            argv.push_back(expression);
        }
        testing::runCommand(argv);
    }
    ~KeymapChange() {
        QTemporaryFile file;
        file.open();
        file.write(QByteArray::fromStdString(saved_));
        file.flush();
        testing::runCommand({"xmodmap", file.fileName().toStdString()});
    }

private:
    std::string saved_;
};

TEST_F(HotKeyX11Test, FollowsTheMToAnotherKeyWhenTheLayoutChanges) {
    int presses = 0;
    auto hotKey = makeHotKey(Qt::Key_M, &presses);
    {
        // As between QWERTY and AZERTY, where M sits on the QWERTY layout's comma key.
        KeymapChange swap({"keycode 58 = comma less", "keycode 59 = m M"});
        // The new grab follows the server's notice of the change; press until it is in place.
        for (int attempt = 0; attempt < 20 && presses == 0; ++attempt) {
            xdotool({"key", "ctrl+alt+super+m"});
            waitUntil([&] { return presses > 0; }, 0.2);
        }
        EXPECT_EQ(presses, 1);
    }
    // And back.
    for (int attempt = 0; attempt < 20 && presses == 1; ++attempt) {
        xdotool({"key", "ctrl+alt+super+m"});
        waitUntil([&] { return presses > 1; }, 0.2);
    }
    EXPECT_EQ(presses, 2);
}

TEST_F(HotKeyX11Test, WorksWhenTheFirstLayoutIsNotLatin) {
    // As with "ru,us": the M key's first group is Cyrillic, its second the Latin m.
    KeymapChange russianFirst({"keycode 58 = Cyrillic_softsign Cyrillic_SOFTSIGN m M"});
    int presses = 0;
    auto hotKey = makeHotKey(Qt::Key_M, &presses);
    // The key a person with the Russian layout active presses: the one under the Latin m.
    xdotool({"key", "ctrl+alt+super+Cyrillic_softsign"});
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
}

TEST_F(HotKeyX11Test, ActionMayDestroyTheHotKey) {
    int presses = 0;
    std::unique_ptr<GlobalHotKey> hotKey;
    hotKey = std::make_unique<GlobalHotKey>(
        Qt::Key_M, kModifiers,
        [&] {
            ++presses;
            hotKey.reset();
        },
        GlobalHotKey::Session{});

    xdotool({"key", "ctrl+alt+super+m"});
    ASSERT_TRUE(waitUntil([&] { return presses == 1; }));
    EXPECT_EQ(hotKey, nullptr);
}

} // namespace
} // namespace plinkora
