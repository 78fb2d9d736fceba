// The real program on the desktops people use, one row each: its own X server, window manager
// and compositor (or none), session bus and sound server, a terminal the user types in, and
// the overlay switched on over it.
// On sway the X server is its XWayland, and the person's keyboard and pointer are Wayland's.
#include "ChildProcess.hpp"
#include "PrivateBus.hpp"
#include "PulseServer.hpp"
#include "RealProgram.hpp"
#include "XvfbServer.hpp"

#include <QDBusInterface>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <thread>
#include <unistd.h>

using namespace plinkora::testing;

namespace {

struct Desktop {
    const char* name;
    std::vector<std::string> windowManager;
    std::vector<std::string> compositor;
    bool composites;
    bool wayland = false;
    /// A smaller laptop screen, and Qt's scaling as a HiDPI desktop sets it.
    const char* screen = "1280x800x24";
    const char* scaleFactor = nullptr;
    /// How many screen pixels a 1280x800 screen's pixel is: where the person's clicks and the
    /// looks at the screen land.
    int zoom = 1;
    /// A headless Wayland session of GNOME's or KDE's compositor, its X clients on its
    /// XWayland.
    const char* waylandCompositor = nullptr;
};

const Desktop kDesktops[] = {
    {"openbox", {"openbox"}, {}, false, false, "1366x768x24", "1.5"},
    {"openbox_picom_scale_2",
     {"openbox"},
     {"picom", "--backend", "xrender", "--no-fading-openclose"},
     true,
     false,
     "2560x1600x24",
     "2",
     2},
    {"i3", {"i3", "-c", "i3.config"}, {}, false},
    // Xfce's window manager composites by itself, when asked; its panel brings a tray.
    {"xfwm4_compositing",
     {"dbus-run-session", "--", "sh", "-c", "xfwm4 --compositor=on & exec xfce4-panel"},
     {},
     true},
    {"xfwm4_without_compositing",
     {"dbus-run-session", "--", "sh", "-c", "xfwm4 --compositor=off & exec xfce4-panel"},
     {},
     false},
    // GNOME's window manager in its X11 mode composites by itself.
    {"mutter_x11",
     {"dbus-run-session", "--", "mutter", "--x11", "--replace", "--sm-disable"},
     {},
     true},
    {"mutter_wayland", {}, {}, true, false, "1280x800x24", nullptr, 1, "mutter"},
    {"kwin_wayland", {}, {}, true, false, "1280x800x24", nullptr, 1, "kwin"},
    // sway runs only as an ordinary account; its XWayland starts with it.
    {"sway", {}, {}, true, true},
};

/// A headless sway session of another account, whose XWayland lets root's clients in.
class SwaySession {
public:
    /// XWayland lets in the account it runs as by name: a number without an account is not
    /// enough, so the session has an account of its own, made on first use.
    static constexpr const char* kAccount = "plinkora-test-desktop";

    SwaySession() {
        if (::getpwnam(kAccount) == nullptr) {
            runCommand({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                        kAccount});
        }
        const passwd* account = ::getpwnam(kAccount);
        if (account == nullptr) {
            throw std::runtime_error("cannot make an account for the sway session");
        }
        const std::string folder = runtime_.path().toStdString();
        if (::chown(folder.c_str(), account->pw_uid, account->pw_gid) != 0) {
            throw std::runtime_error("cannot give the session folder to its account");
        }
        QFile config(runtime_.path() + QStringLiteral("/sway.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(("xwayland force\noutput HEADLESS-1 mode 1280x800\n"
                      "bar {\n    position bottom\n    status_command true\n}\n"
                      "exec sh -c 'xhost +si:localuser:root && echo $DISPLAY > " +
                      folder + "/display'\n")
                         .c_str());
        config.close();
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"setpriv", "--reuid", std::to_string(account->pw_uid),
                                     "--regid", std::to_string(account->pw_gid), "--clear-groups",
                                     "sway", "-c", folder + "/sway.conf"},
            std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", folder},
                                               {"HOME", folder},
                                               {"WLR_BACKENDS", "headless"},
                                               {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                               {"WLR_RENDERER", "pixman"}},
            -1, folder + "/sway.log");
        for (int waited = 0; waited < 200 && display_.empty(); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            QFile file(runtime_.path() + QStringLiteral("/display"));
            if (file.open(QIODevice::ReadOnly)) {
                display_ = file.readAll().trimmed().toStdString();
            }
        }
    }

    const std::string& display() const { return display_; }
    std::string log() const {
        return (runtime_.path() + QStringLiteral("/sway.log")).toStdString();
    }
    /// For Wayland clients of the session, run as root.
    std::map<std::string, std::string> client() const {
        const QStringList sockets =
            QDir(runtime_.path()).entryList({QStringLiteral("sway-ipc.*")}, QDir::System);
        return {{"WAYLAND_DISPLAY", runtime_.path().toStdString() + "/wayland-1"},
                {"SWAYSOCK",
                 sockets.isEmpty()
                     ? std::string()
                     : (runtime_.path() + QLatin1Char('/') + sockets.first()).toStdString()}};
    }

private:
    QTemporaryDir runtime_;
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

/// mutter or kwin as a headless Wayland compositor with one 1280x800 monitor and an XWayland.
class WaylandSession {
public:
    explicit WaylandSession(const std::string& compositor)
        : kwin_(compositor == "kwin") {
        const std::string folder = runtime_.path().toStdString();
        std::map<std::string, std::string> environment{
            {"XDG_RUNTIME_DIR", folder},
            {"HOME", folder},
            {"DBUS_SESSION_BUS_ADDRESS", bus_.address()},
            // Lets the test read the screen, as KDE lets only its own screenshot tool.
            {"KWIN_SCREENSHOT_NO_PERMISSION_CHECKS", "1"}};
        // Its own bus rather than dbus-run-session's, so that the compositor is the child that
        // stops with the session, and takes its XWayland with it.
        std::vector<std::string> argv{"mutter", "--wayland", "--headless", "--virtual-monitor",
                                      "1280x800"};
        if (kwin_) {
            // kwin_wayland carries a file capability that a container's bounding set may lack,
            // and then cannot be run at all; a copy without it runs, under the same name,
            // which kwin checks before it loads its own Qt platform.
            const std::string copy = folder + "/kwin_wayland";
            runCommand({"cp", "/usr/bin/kwin_wayland", copy});
            argv = {copy,
                    "--virtual",
                    "--xwayland",
                    "--width",
                    "1280",
                    "--height",
                    "800",
                    "--exit-with-session",
                    "sh -c 'echo \"$DISPLAY\" > " + folder + "/display; exec sleep infinity'"};
        }
        process_ = std::make_unique<ChildProcess>(argv, environment, -1, folder + "/wm.log");
        waitUntil([&] {
            if (kwin_) {
                x_["DISPLAY"] = readFile(folder + "/display");
                x_["DISPLAY"].erase(x_["DISPLAY"].find_last_not_of('\n') + 1);
                return !x_["DISPLAY"].empty();
            }
            const std::string log = readFile(folder + "/wm.log");
            const auto at = log.find("Using public X11 display ");
            const QStringList auth = QDir(runtime_.path())
                                         .entryList({QStringLiteral(".mutter-Xwaylandauth.*")},
                                                    QDir::Files | QDir::Hidden);
            if (at == std::string::npos || auth.isEmpty()) {
                return false;
            }
            x_["DISPLAY"] = log.substr(at + 25, log.find(',', at) - at - 25);
            x_["XAUTHORITY"] = folder + "/" + auth.first().toStdString();
            return true;
        });
        if (x_["DISPLAY"].empty()) {
            x_.clear();
        }
    }
    /// DISPLAY, and XAUTHORITY where needed, for X clients; empty when XWayland did not come
    /// up.
    const std::map<std::string, std::string>& x() const { return x_; }
    std::string log() const { return readFile(runtime_.path().toStdString() + "/wm.log"); }
    std::string waylandDisplay() const {
        return runtime_.path().toStdString() + (kwin_ ? "/wayland-1" : "/wayland-0");
    }
    /// The colour of one pixel of the compositor's own picture, where it offers one to read:
    /// KDE's screenshot interface does, mutter without GNOME Shell does not.
    std::optional<std::string> pixel(int px, int py) {
        if (!kwin_) {
            return std::nullopt;
        }
        int fds[2];
        if (::pipe(fds) != 0) {
            return std::nullopt;
        }
        QDBusInterface screenshot(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
            QStringLiteral("org.kde.KWin.ScreenShot2"), bus_.connect(QStringLiteral("screenshot")));
        const QDBusMessage reply =
            screenshot.call(QStringLiteral("CaptureArea"), px, py, 1u, 1u, QVariantMap{},
                            QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])));
        ::close(fds[1]);
        std::string picture;
        char buffer[64];
        for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
            picture.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(fds[0]);
        if (reply.type() != QDBusMessage::ReplyMessage || picture.size() < 4) {
            return "no picture: " + reply.errorMessage().toStdString();
        }
        // One 32-bit pixel, its bytes in memory order: equal colours read equal.
        return picture.substr(0, 4);
    }

private:
    bool kwin_;
    QTemporaryDir runtime_;
    PrivateBus bus_;
    std::unique_ptr<ChildProcess> process_;
    std::map<std::string, std::string> x_;
};

class DesktopMatrix : public ::testing::TestWithParam<Desktop>, protected RealProgram {
protected:
    void SetUp() override {
        QFile config(home.path() + QStringLiteral("/i3.config"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("font pango:monospace 8\nbar {\n    status_command true\n}\n");
        if (GetParam().waylandCompositor != nullptr) {
            wayland_ = std::make_unique<WaylandSession>(GetParam().waylandCompositor);
            ASSERT_FALSE(wayland_->x().empty()) << "the compositor's XWayland did not start:\n"
                                                << wayland_->log();
            display_ = wayland_->x().at("DISPLAY");
            return;
        }
        if (!GetParam().wayland) {
            xvfb_ = std::make_unique<XvfbServer>(GetParam().screen);
            display_ = xvfb_->display();
            return;
        }
        if (::geteuid() != 0) {
            GTEST_SKIP() << "sway refuses to run as root, and only root can run it here as "
                            "another account";
        }
        sway_ = std::make_unique<SwaySession>();
        display_ = sway_->display();
        ASSERT_FALSE(display_.empty()) << "sway's XWayland did not start:\n"
                                       << readFile(sway_->log());
    }

    std::map<std::string, std::string> display() const {
        return wayland_ ? wayland_->x() : std::map<std::string, std::string>{{"DISPLAY", display_}};
    }
    std::string run(const std::vector<std::string>& argv) const {
        return runCommand(argv, display());
    }
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                        const std::string& log) {
        return std::make_unique<ChildProcess>(argv, display(), -1, path(log));
    }
    /// Plinkora itself, or a second launch of it with a verb.
    std::unique_ptr<ChildProcess> plinkora(const std::string& verb, const std::string& output) {
        return launch(verb.empty() ? std::vector<std::string>{} : std::vector<std::string>{verb},
                      environment(), output);
    }
    /// A sway user's environment often asks Qt for Wayland.
    std::map<std::string, std::string> environment() const {
        auto environment = home.programEnvironment(display_, sound_.serverAddress());
        environment["DBUS_SESSION_BUS_ADDRESS"] = bus_.address();
        if (wayland_) {
            // A GNOME or KDE Wayland session's own environment: Wayland, with XWayland beside.
            const auto x = wayland_->x();
            environment.insert(x.begin(), x.end());
            environment["WAYLAND_DISPLAY"] = wayland_->waylandDisplay();
        }
        if (GetParam().scaleFactor != nullptr) {
            environment["QT_SCALE_FACTOR"] = GetParam().scaleFactor;
        }
        if (sway_) {
            environment["QT_QPA_PLATFORM"] = "wayland";
            const auto session = sway_->client();
            environment.insert(session.begin(), session.end());
        }
        return environment;
    }
    /// The person's hands: a click at a point of the screen, typing, and a click that moves
    /// the keyboard into a window.
    void click(int px, int py) const {
        px *= GetParam().zoom;
        py *= GetParam().zoom;
        if (sway_) {
            runCommand({std::getenv("PLINKORA_WAYLAND_CLICK"), std::to_string(px),
                        std::to_string(py), "1280", "800"},
                       sway_->client());
        } else {
            run({"xdotool", "mousemove", std::to_string(px), std::to_string(py), "click", "1"});
        }
    }
    /// Whether a click there strikes a zone. Injected input can be lost on a loaded machine, so
    /// it is tried up to three times; a window above the overlay takes every one of them.
    bool strikes(int px, int py) const {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::size_t before = count("strike zone");
            click(px, py);
            if (waitUntil([&] { return count("strike zone") > before; }, 3)) {
                return true;
            }
        }
        return false;
    }
    void type(const std::string& text) const {
        if (sway_) {
            // A new virtual keyboard's first key can arrive before its keymap.
            runCommand({"wtype", "-s", "300", "-d", "20", text}, sway_->client());
        } else {
            run({"xdotool", "type", "--delay", "20", text});
        }
    }
    void pressShortcut() const {
        if (sway_) {
            runCommand({"wtype", "-s", "300", "-M", "ctrl", "-M", "alt", "-M", "logo", "m"},
                       sway_->client());
        } else {
            run({"xdotool", "key", "ctrl+alt+super+m"});
        }
    }
    void activate(const std::string& name) const {
        if (sway_) {
            runCommand({"swaymsg", "[instance=\"" + name + "\"] focus"}, sway_->client());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return;
        }
        const std::string window = run({"xdotool", "search", "--classname", name});
        run({"xdotool", "windowactivate", "--sync", window.substr(0, window.find('\n'))});
    }
    /// The colour of one screen pixel, as ImageMagick names it.
    std::optional<std::string> pixel(int px, int py) const {
        px *= GetParam().zoom;
        py *= GetParam().zoom;
        if (wayland_) {
            return wayland_->pixel(px, py);
        }
        const std::string at = std::to_string(px) + "+" + std::to_string(py);
        if (sway_) {
            // XWayland's root window holds nothing; the compositor's own picture does.
            runCommand({"grim", "-g", std::to_string(px) + "," + std::to_string(py) + " 1x1",
                        path("pixel.png")},
                       sway_->client());
            return run({"convert", path("pixel.png"), "-format", "%[pixel:p{0,0}]", "info:-"});
        }
        return run({"import", "-window", "root", "-crop", "1x1+" + at, "-format", "%[pixel:p{0,0}]",
                    "info:-"});
    }
    /// A terminal whose typed lines land in `file`, placed at `geometry`.
    std::unique_ptr<ChildProcess> terminal(const std::string& name, const std::string& geometry,
                                           const std::string& file,
                                           std::vector<std::string> options = {}) {
        std::vector<std::string> argv{"xterm", "-name", name, "-geometry", geometry};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-e", "sh", "-c", "stty -echo; cat > " + path(file)});
        auto process = start(argv, name + ".log");
        EXPECT_TRUE(waitUntil([&] {
            return !run({"xdotool", "search", "--onlyvisible", "--classname", name}).empty();
        })) << name
            << " did not open";
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return process;
    }

    /// The session's own sound server and bus, as a desktop gives every program.
    PulseServer sound_{{"desktop_speakers"}};
    PrivateBus bus_;
    std::unique_ptr<XvfbServer> xvfb_;
    std::unique_ptr<SwaySession> sway_;
    std::unique_ptr<WaylandSession> wayland_;
    std::string display_;
};

TEST_P(DesktopMatrix, TheOverlayIsClearOnTopAndLeavesTheKeyboardAlone) {
    const Desktop& desktop = GetParam();
    std::vector<std::string> command = desktop.windowManager;
    std::replace(command.begin(), command.end(), std::string("i3.config"), path("i3.config"));
    auto windowManager = command.empty() ? nullptr : start(command, "wm.log");
    std::unique_ptr<ChildProcess> compositor;
    if (!desktop.compositor.empty()) {
        compositor = start(desktop.compositor, "compositor.log");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(!windowManager || windowManager->isRunning()) << readFile(path("wm.log"));
    // Started off, then a terminal the user types in, then switched on from outside.
    auto instrument = plinkora("", "plinkora.log");
    ASSERT_TRUE(waitUntil([&] { return count("scale is now") == 1; })) << log();
    if (count("no system tray") > 0) {
        // Without a tray the settings window opens; the terminal comes after it. The whole
        // window, its title bar and borders too, is on the screen.
        const int screenHeight = std::atoi(std::strchr(desktop.screen, 'x') + 1);
        std::string window;
        EXPECT_TRUE(waitUntil([&] {
            window = run({"xdotool", "search", "--onlyvisible", "--name", "Plinkora Settings"});
            return !window.empty();
        }));
        window = window.substr(0, window.find('\n'));
        int top = 0, height = 0, extents[4] = {0, 0, 0, 0};
        // Settled once the panel, which may come later, has taken its room.
        const auto fits = [&] {
            std::sscanf(run({"xwininfo", "-id", window}).c_str(),
                        "%*[^A]Absolute upper-left X: %*d "
                        "Absolute upper-left Y: %d %*[^H]Height: %d",
                        &top, &height);
            std::sscanf(run({"xprop", "-id", window, "_NET_FRAME_EXTENTS"}).c_str(),
                        "%*[^=]= %d, %d, %d, %d", &extents[0], &extents[1], &extents[2],
                        &extents[3]);
            return top - extents[2] >= 0 && top + height + extents[3] <= screenHeight;
        };
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        waitUntil(fits, 5);
        EXPECT_GE(top - extents[2], 0) << "the title bar is above the screen";
        EXPECT_LE(top + height + extents[3], screenHeight) << "the window runs below the screen";
    }
    // A compositor's own empty screen is black, as a wrongly opaque overlay would be: a
    // light window lies beneath where the screen is looked at.
    auto backdrop = wayland_ ? terminal("backdrop", "20x10+1100+350", "backdrop.txt") : nullptr;
    auto typing = terminal("typing", "60x6+0+0", "typed.txt");
    // The person clicks into the terminal to type there.
    activate("typing");
    const auto beneath = pixel(1200, 420);
    auto on = plinkora("--on", "on.log");
    ASSERT_TRUE(waitUntil([&] { return count("Plinkora on") == 1; })) << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    EXPECT_EQ(count(desktop.composites ? "overlay: a compositing manager runs"
                                       : "overlay: no compositing manager"),
              1u);
    // Clear: an empty stretch of a zone shows what lies beneath, as it did before.
    if (!beneath) {
        std::printf("not checked on %s: the pixel beneath, since mutter without GNOME Shell "
                    "offers no screenshot and XWayland's root window holds no picture\n",
                    desktop.name);
    } else {
        EXPECT_EQ(pixel(1200, 420), beneath) << desktop.name;
    }

    // The keyboard stays with the terminal after switching on and after a strike.
    type("one\n");
    EXPECT_TRUE(strikes(1000, 740)) << log();
    EXPECT_GE(count("strike zone 0 C4 via"), 1u);
    EXPECT_EQ(count("audio engine started on"), 1u) << log();
    type("two\n");
    EXPECT_TRUE(waitUntil([&] { return readFile(path("typed.txt")) == "one\ntwo\n"; }))
        << "typed into the terminal: \"" << readFile(path("typed.txt")) << "\"; the focus is on "
        << run({"xdotool", "getwindowfocus", "getwindowname"});

    // A window opened afterwards, over the lowest zone, still lies beneath the overlay.
    auto later =
        terminal("later", "60x6+0+" + std::to_string(680 * desktop.zoom - 40), "later.txt");
    EXPECT_TRUE(strikes(100, 680)) << "the later window took the click";

    // A bar that reserves space stays uncovered, also where no work area is published (i3)
    // or the bar is no X window at all (sway).
    if (sway_ || !run({"xdotool", "search", "--onlyvisible", "--class", "i3bar"}).empty()) {
        const std::size_t before = count("strike zone");
        click(1000, 798);
        EXPECT_FALSE(waitUntil([&] { return count("strike zone") > before; }, 1))
            << "the overlay covers the bar";
    }

    // Nor does a full-screen window that has the focus.
    auto full = terminal("full", "60x6+0+0", "full.txt", {"-fullscreen"});
    EXPECT_TRUE(strikes(640, 400)) << "the full-screen window took the click";

    // The shortcut switches off and on again; on sway while an X11 window is in front, which
    // is what the settings window says there.
    pressShortcut();
    EXPECT_TRUE(waitUntil([&] { return count("Plinkora off") == 1; }))
        << "the shortcut did nothing: " << log();
    pressShortcut();
    EXPECT_TRUE(waitUntil([&] { return count("Plinkora on") == 2; }));

    // On every workspace.
    if (sway_) {
        runCommand({"swaymsg", "workspace", "2"}, sway_->client());
        EXPECT_TRUE(strikes(640, 400)) << "the overlay stayed behind on the first workspace";
    }

    // A compositor started while the overlay is on is followed without a restart.
    if (!desktop.composites) {
        auto picom = start({"picom", "--backend", "xrender"}, "late-compositor.log");
        EXPECT_TRUE(waitUntil([&] { return count("overlay: a compositing manager runs") == 1; }));
    }

    auto toggle = plinkora("--toggle", "toggle.log");
    EXPECT_TRUE(waitUntil([&] { return count("Plinkora off") == 2; })) << log();
}

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopMatrix, ::testing::ValuesIn(kDesktops),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
