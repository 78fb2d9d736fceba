#include "app/PlinkoraApp.hpp"

#include "app/Logger.hpp"
#include "app/SignalWatcher.hpp"
#include "app/SingleInstance.hpp"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace plinkora {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool canReachDisplay() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reached;
}

} // namespace

void PlinkoraApp::handle(Verb verb) {
    switch (verb) {
    case Verb::toggle:
        state_.toggle();
        break;
    case Verb::on:
        state_.setIsEnabled(true);
        break;
    case Verb::off:
        state_.setIsEnabled(false);
        break;
    case Verb::activate:
    case Verb::settings:
        if (openSettings_) {
            openSettings_();
        } else {
            Logger::info("the settings window is not available in this build");
        }
        break;
    }
}

int PlinkoraApp::run(int argc, char** argv, StateFactory makeState,
                     InterfaceBuilder buildInterface) {
    const CommandLine commandLine = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    switch (commandLine.action) {
    case CommandLine::Action::help:
        std::fputs(CommandLine::usage().c_str(), stdout);
        return 0;
    case CommandLine::Action::version:
        std::printf("Plinkora %s\n", PLINKORA_VERSION);
        return 0;
    case CommandLine::Action::usageError:
        std::fprintf(stderr, "plinkora: %s\n%s", commandLine.error.c_str(),
                     CommandLine::usage().c_str());
        return 2;
    case CommandLine::Action::run:
        break;
    }

    // The lock decides, before anything else is set up: one instrument per user.
    SingleInstance instance(SingleInstance::privateFolder());
    if (!instance.claim()) {
        if (const int status = instance.handOver(commandLine.verb); status >= 0) {
            return status;
        }
    }

    // Wayland lets no ordinary client keep an always-on-top overlay: run through XWayland,
    // also when the user's environment asks Qt for Wayland.
    const char* requested = std::getenv("QT_QPA_PLATFORM");
    if (requested != nullptr && std::string(requested).rfind("wayland", 0) == 0) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        Logger::info("QT_QPA_PLATFORM=" + std::string(requested) +
                     " is set, but the overlay needs X11: Plinkora runs through XWayland");
    } else if (isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool needsDisplay = platform == nullptr || std::string(platform).rfind("xcb", 0) == 0;
    if (needsDisplay && !isSet("DISPLAY")) {
        std::fputs(isSet("WAYLAND_DISPLAY")
                       ? "Plinkora needs XWayland: this Wayland session has no X display "
                         "(DISPLAY is not set).\n"
                       : "Plinkora needs a graphical session: no X display (DISPLAY is not "
                         "set).\n",
                   stderr);
        return 1;
    }
    // Qt aborts when it cannot open the display; name it and end properly instead.
    if (needsDisplay && !canReachDisplay()) {
        std::fprintf(stderr,
                     "Plinkora cannot open the X display \"%s\": no X server answers "
                     "there.\n",
                     std::getenv("DISPLAY"));
        return 1;
    }

    QApplication::setOrganizationName(QStringLiteral("Plinkora"));
    QApplication::setApplicationName(QStringLiteral("Plinkora"));
    QApplication::setApplicationVersion(QStringLiteral(PLINKORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.plinkora.Plinkora"));
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    instance.listen();

    // Before anything is built, so that an early SIGTERM still goes through the quit path.
    SignalWatcher signals([](int) { QCoreApplication::quit(); });

    AppState::setSharedFactory(std::move(makeState));
    AppState& state = AppState::shared();
    // Older autostart entries lack the option; the session manager's variable tells then.
    PlinkoraApp app(state, commandLine.atLogin || isSet("DESKTOP_AUTOSTART_ID"));
    std::unique_ptr<QObject> interface = buildInterface ? buildInterface(state, app) : nullptr;

    QObject::connect(&application, &QCoreApplication::aboutToQuit, &state,
                     [&state] { state.shutdown(); });
    // Qt ends the process with exit(1), on this thread, when the X connection breaks (the
    // server died, the session ended): the shutdown must run then too.
    static AppState* exiting = nullptr;
    static bool hasExitHandler = false;
    exiting = &state;
    if (!hasExitHandler) {
        hasExitHandler = std::atexit([] {
                             if (exiting != nullptr) {
                                 exiting->shutdown();
                             }
                         }) == 0;
    }
    instance.setOnVerb([&app](Verb verb) { app.handle(verb); });
    if (commandLine.verb != Verb::activate && commandLine.verb != Verb::toggle &&
        commandLine.verb != Verb::off) {
        app.handle(commandLine.verb);
    }

    const int status = QApplication::exec();
    state.shutdown();
    exiting = nullptr;
    interface.reset();
    AppState::releaseShared();
    return status;
}

} // namespace plinkora
