// The real program on the desktops people use, one row each: its own X server, window manager
// and compositor (or none), a terminal the user types in, and the overlay switched on over it.
#include "ChildProcess.hpp"
#include "TempHome.hpp"
#include "XvfbServer.hpp"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace plinkora::testing;

namespace {

struct Desktop {
    const char* name;
    std::vector<std::string> windowManager;
    std::vector<std::string> compositor;
    bool composites;
};

const Desktop kDesktops[] = {
    {"openbox", {"openbox"}, {}, false},
    {"openbox_picom",
     {"openbox"},
     {"picom", "--backend", "xrender", "--no-fading-openclose"},
     true},
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
};

std::string readFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

class DesktopMatrix : public ::testing::TestWithParam<Desktop> {
protected:
    void SetUp() override {
        const char* binary = std::getenv("PLINKORA_BINARY");
        ASSERT_NE(binary, nullptr) << "PLINKORA_BINARY names the program under test";
        binary_ = binary;
        QFile config(home.path() + QStringLiteral("/i3.config"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("font pango:monospace 8\nbar {\n    status_command true\n}\n");
    }

    std::string path(const std::string& name) const {
        return home.path().toStdString() + "/" + name;
    }
    std::map<std::string, std::string> display() const { return {{"DISPLAY", x.display()}}; }
    std::string run(std::vector<std::string> argv) const { return runCommand(argv, display()); }
    std::unique_ptr<ChildProcess> start(std::vector<std::string> argv, const std::string& log) {
        return std::make_unique<ChildProcess>(argv, display(), -1, path(log));
    }
    /// Plinkora itself, or a second launch of it with a verb.
    std::unique_ptr<ChildProcess> plinkora(const std::string& verb, const std::string& log) {
        return std::make_unique<ChildProcess>(
            verb.empty() ? std::vector<std::string>{binary_}
                         : std::vector<std::string>{binary_, verb},
            home.programEnvironment(x.display(), "unix:/nonexistent/pulse"), -1, path(log));
    }
    bool waitFor(const std::function<bool()>& condition, double seconds = 10) const {
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return condition();
    }
    std::size_t logged(const std::string& fragment) const {
        const std::string text = readFile(path("plinkora.log"));
        std::size_t n = 0;
        for (auto at = text.find(fragment); at != std::string::npos;
             at = text.find(fragment, at + 1)) {
            ++n;
        }
        return n;
    }
    /// The colour of one screen pixel, as ImageMagick names it.
    std::string pixel(int px, int py) const {
        return run({"import", "-window", "root", "-crop",
                    "1x1+" + std::to_string(px) + "+" + std::to_string(py), "-format",
                    "%[pixel:p{0,0}]", "info:-"});
    }
    /// A terminal whose typed lines land in `file`, placed at `geometry`.
    std::unique_ptr<ChildProcess> terminal(const std::string& name, const std::string& geometry,
                                           const std::string& file,
                                           std::vector<std::string> options = {}) {
        std::vector<std::string> argv{"xterm", "-name", name, "-geometry", geometry};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-e", "sh", "-c", "stty -echo; cat > " + path(file)});
        auto process = start(argv, name + ".log");
        EXPECT_TRUE(waitFor([&] {
            return !run({"xdotool", "search", "--onlyvisible", "--classname", name}).empty();
        })) << name
            << " did not open";
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return process;
    }

    TempHome home;
    XvfbServer x{"1280x800x24"};
    std::string binary_;
};

TEST_P(DesktopMatrix, TheOverlayIsClearOnTopAndLeavesTheKeyboardAlone) {
    const Desktop& desktop = GetParam();
    std::vector<std::string> command = desktop.windowManager;
    std::replace(command.begin(), command.end(), std::string("i3.config"), path("i3.config"));
    auto windowManager = start(command, "wm.log");
    std::unique_ptr<ChildProcess> compositor;
    if (!desktop.compositor.empty()) {
        compositor = start(desktop.compositor, "compositor.log");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(windowManager->isRunning()) << readFile(path("wm.log"));
    // Started off, then a terminal the user types in, then switched on from outside.
    auto instrument = plinkora("", "plinkora.log");
    ASSERT_TRUE(waitFor([&] { return logged("scale is now") == 1; }))
        << readFile(path("plinkora.log"));
    if (logged("no system tray") > 0) {
        // Without a tray the settings window opens; the terminal comes after it. The whole
        // window, its title bar and borders too, is on the 800-pixel-high screen.
        std::string window;
        EXPECT_TRUE(waitFor([&] {
            window = run({"xdotool", "search", "--onlyvisible", "--name", "Plinkora Settings"});
            return !window.empty();
        }));
        window = window.substr(0, window.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int top = 0, height = 0, extents[4] = {0, 0, 0, 0};
        std::sscanf(run({"xwininfo", "-id", window}).c_str(),
                    "%*[^A]Absolute upper-left X: %*d "
                    "Absolute upper-left Y: %d %*[^H]Height: %d",
                    &top, &height);
        std::sscanf(run({"xprop", "-id", window, "_NET_FRAME_EXTENTS"}).c_str(),
                    "%*[^=]= %d, %d, %d, %d", &extents[0], &extents[1], &extents[2], &extents[3]);
        EXPECT_GE(top - extents[2], 0) << "the title bar is above the screen";
        EXPECT_LE(top + height + extents[3], 800) << "the window runs below the screen";
    }
    auto typing = terminal("typing", "60x6+0+0", "typed.txt");
    // The person clicks into the terminal to type there.
    const std::string typingWindow = run({"xdotool", "search", "--classname", "typing"});
    run({"xdotool", "windowactivate", "--sync", typingWindow.substr(0, typingWindow.find('\n'))});
    const std::string beneath = pixel(1200, 420);
    auto on = plinkora("--on", "on.log");
    ASSERT_TRUE(waitFor([&] { return logged("Plinkora on") == 1; }))
        << readFile(path("plinkora.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    EXPECT_EQ(logged(desktop.composites ? "overlay: a compositing manager runs"
                                        : "overlay: no compositing manager"),
              1u);
    // Clear: an empty stretch of a zone shows what lies beneath, as it did before.
    EXPECT_EQ(pixel(1200, 420), beneath) << desktop.name;

    // The keyboard stays with the terminal after switching on and after a strike.
    run({"xdotool", "type", "--delay", "20", "one\n"});
    run({"xdotool", "mousemove", "900", "740", "click", "1"});
    EXPECT_TRUE(waitFor([&] { return logged("strike zone 0 C4 via") == 1; }))
        << readFile(path("plinkora.log"));
    run({"xdotool", "type", "--delay", "20", "two\n"});
    EXPECT_TRUE(waitFor([&] { return readFile(path("typed.txt")) == "one\ntwo\n"; }))
        << "typed into the terminal: \"" << readFile(path("typed.txt")) << "\"; the focus is on "
        << run({"xdotool", "getwindowfocus", "getwindowname"});

    // A window opened afterwards, over the lowest zone, still lies beneath the overlay.
    auto later = terminal("later", "60x6+0+640", "later.txt");
    run({"xdotool", "mousemove", "100", "740", "click", "1"});
    EXPECT_TRUE(waitFor([&] { return logged("strike zone 0 C4 via") == 2; }))
        << "the later window took the click";

    // A bar that reserves space stays uncovered, also where no work area is published (i3).
    if (const std::string bar = run({"xdotool", "search", "--onlyvisible", "--class", "i3bar"});
        !bar.empty()) {
        run({"xdotool", "mousemove", "900", "798", "click", "1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(logged("strike zone"), 2u) << "the overlay covers i3bar";
    }

    // Nor does a full-screen window that has the focus.
    auto full = terminal("full", "60x6+0+0", "full.txt", {"-fullscreen"});
    run({"xdotool", "mousemove", "640", "400", "click", "1"});
    EXPECT_TRUE(waitFor([&] { return logged("strike zone") == 3; }))
        << "the full-screen window took the click";

    // A compositor started while the overlay is on is followed without a restart.
    if (!desktop.composites) {
        auto picom = start({"picom", "--backend", "xrender"}, "late-compositor.log");
        EXPECT_TRUE(waitFor([&] { return logged("overlay: a compositing manager runs") == 1; }));
    }

    auto toggle = plinkora("--toggle", "toggle.log");
    EXPECT_TRUE(waitFor([&] { return logged("Plinkora off") == 1; }))
        << readFile(path("plinkora.log"));
}

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopMatrix, ::testing::ValuesIn(kDesktops),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
