#pragma once

#include "CommandLine.hpp"
#include "app/AppState.hpp"

#include <QLocale>
#include <QTranslator>
#include <functional>
#include <memory>

namespace plinkora {

/// The entry point: command line, single instance, the Qt application, signals and quit.
class PlinkoraApp final {
public:
    using StateFactory = std::function<std::unique_ptr<AppState>()>;
    /// Builds the user interface around the state once it exists; what it returns lives until
    /// the event loop ends.
    using InterfaceBuilder = std::function<std::unique_ptr<QObject>(AppState&, PlinkoraApp&)>;

    /// Runs Plinkora to its end and returns the process's exit status.
    static int run(int argc, char** argv, StateFactory makeState,
                   const InterfaceBuilder& buildInterface);

    /// What "Settings…" and a plain second launch do; set by the user interface.
    void setOpenSettings(std::function<void()> open) { openSettings_ = std::move(open); }
    /// Acts on a verb from the command line or from a later launch.
    void handle(Verb verb);
    /// Whether the session's autostart started this instance.
    bool startedAtLogin() const { return startedAtLogin_; }

private:
    PlinkoraApp(AppState& state, bool startedAtLogin)
        : state_(state)
        , startedAtLogin_(startedAtLogin) {}

    AppState& state_;
    bool startedAtLogin_;
    std::function<void()> openSettings_;
};

} // namespace plinkora
