#include "PlinkoraApp.hpp"

#include "SignalWatcher.hpp"
#include "SingleInstance.hpp"
#include "app/Logger.hpp"
#include "ui/UserInterface.hpp"

#include <QApplication>
#include <QLibraryInfo>
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

/// A text of the command line in the user's language, `arg` in place of "%1".
std::string said(const QTranslator& translator, const char* context, const std::string& english,
                 const std::string& arg = {}) {
    QString text = translator.translate(context, english.c_str());
    if (text.isEmpty()) {
        text = QString::fromStdString(english);
    }
    if (text.contains(QLatin1String("%1"))) {
        text = text.arg(QString::fromStdString(arg));
    }
    return text.toStdString();
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
    case Verb::save:
        state_.saveRecentPlay();
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
                     const InterfaceBuilder& buildInterface) {
    // Loaded before anything is said, since the command line's answers come before the
    // application; it lives as long as the process.
    static QTranslator translator;
    ui::UserInterface::loadTranslations(translator, QLocale::system());
    const char* const context = CommandLine::kTranslationContext;
    const CommandLine commandLine = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    switch (commandLine.action) {
    case CommandLine::Action::help:
        std::fputs(said(translator, context, CommandLine::usage()).c_str(), stdout);
        return 0;
    case CommandLine::Action::version:
        std::printf("Plinkora %s\n", PLINKORA_VERSION);
        return 0;
    case CommandLine::Action::usageError:
        std::fprintf(
            stderr, "plinkora: %s\n%s",
            said(translator, context, commandLine.error, commandLine.errorArgument).c_str(),
            said(translator, context, CommandLine::usage()).c_str());
        return 2;
    case CommandLine::Action::run:
        break;
    }

    // The lock decides, before anything else is set up: one instrument per user.
    SingleInstance instance(SingleInstance::privateFolder());
    if (!instance.claim()) {
        const auto tell = [&](const char* english) {
            std::fputs(said(translator, context, english).c_str(), stderr);
        };
        if (const int status = instance.handOver(commandLine.verb, tell); status >= 0) {
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
        std::fputs(said(translator, context,
                        isSet("WAYLAND_DISPLAY")
                            ? QT_TRANSLATE_NOOP("plinkora::CommandLine",
                                                "Plinkora needs XWayland: this Wayland session "
                                                "has no X display (DISPLAY is not set).\n")
                            : QT_TRANSLATE_NOOP("plinkora::CommandLine",
                                                "Plinkora needs a graphical session: no X "
                                                "display (DISPLAY is not set).\n"))
                       .c_str(),
                   stderr);
        return 1;
    }
    // Qt aborts when it cannot open the display; name it and end properly instead.
    if (needsDisplay && !canReachDisplay()) {
        std::fputs(said(translator, context,
                        QT_TRANSLATE_NOOP("plinkora::CommandLine",
                                          "Plinkora cannot open the X display \"%1\": no X "
                                          "server answers there.\n"),
                        std::getenv("DISPLAY"))
                       .c_str(),
                   stderr);
        return 1;
    }

    QApplication::setOrganizationName(QStringLiteral("Plinkora"));
    QApplication::setApplicationName(QStringLiteral("Plinkora"));
    QApplication::setApplicationVersion(QStringLiteral(PLINKORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.plinkora.Plinkora"));
    QApplication application(argc, argv);
    QCoreApplication::installTranslator(&translator);
    // Qt's own words (the standard buttons), where the system has them in this language.
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qtTexts);
    }
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
    app.setOpenSettings({});
    interface.reset();
    AppState::releaseShared();
    return status;
}

} // namespace plinkora
