#include "logo/LidLogoController.hpp"

#include "app/Logger.hpp"
#include "logo/FifoPipeWriter.hpp"
#include "logo/HelperError.hpp"
#include "logo/HelperTexts.hpp"
#include "logo/PkexecRunner.hpp"
#include "logo/StagingFolder.hpp"

#include <algorithm>

namespace plinkora {

namespace {

/// Far beyond any note's hold; keeps a runaway value from overflowing a timer.
constexpr double kLongestHold = 3600.0;

} // namespace

LidLogoController::LidLogoController(Scheduler& scheduler)
    : LidLogoController(scheduler, HelperPaths::production(),
                        std::make_unique<FifoPipeWriter>(HelperPaths::production().pipePath),
                        std::make_unique<PkexecRunner>()) {}

LidLogoController::LidLogoController(Scheduler& scheduler, HelperPaths paths,
                                     std::unique_ptr<PipeWriter> pipe,
                                     std::unique_ptr<PrivilegedRunner> administrator)
    : scheduler_(scheduler)
    , paths_(std::move(paths))
    , pipe_(std::move(pipe))
    , administrator_(std::move(administrator)) {}

// Members go in reverse order: the darkening item (which refers to this object) first, the
// writer, which lets the last lines reach the helper, after it.
LidLogoController::~LidLogoController() = default;

void LidLogoController::setPulsing(bool pulsing) {
    pulsing_ = pulsing;
    darkenWorkItem_.cancel();
    // The logo rests dark while pulsing.
    send(pulsing ? Lamp::off : Lamp::on);
}

void LidLogoController::noteStruck(double litFor) {
    if (!pulsing_) {
        return;
    }
    send(Lamp::on);
    // Each strike moves the darkening, so a run of notes keeps the logo lit until the last
    // one's hold ends.
    const double delay = litFor > 0 ? std::min(litFor, kLongestHold) : 0.0;
    darkenWorkItem_ = ScheduledTask(scheduler_, scheduler_.after(delay, [this] {
        darkenWorkItem_.release();
        if (pulsing_) {
            send(Lamp::off);
        }
    }));
}

void LidLogoController::leaveLit() {
    pulsing_ = false;
    darkenWorkItem_.cancel();
    // Whatever was sent before, "on" goes out: the helper may have missed the last line.
    lamp_ = Lamp::off;
    send(Lamp::on);
}

void LidLogoController::installHelper() {
    runStaged(Script::install);
}

void LidLogoController::uninstallHelper() {
    runStaged(Script::uninstall);
}

void LidLogoController::send(Lamp command) {
    if (command == lamp_) {
        return;
    }
    // Taken as done now: a line the helper never gets is not tried again, and the next
    // different command is written normally.
    lamp_ = command;
    pipe_->write(command);
}

void LidLogoController::runStaged(Script script) {
    const bool installs = script == Script::install;
    try {
        const HelperTexts texts(paths_);
        StagingFolder staging = StagingFolder::prepare();
        staging.write({
            {HelperTexts::kHelperScriptName, texts.helperScript()},
            {paths_.serviceUnitName(), texts.serviceUnit()},
            {HelperTexts::kInstallScriptName, texts.installScript(staging.path())},
            {HelperTexts::kUninstallScriptName, texts.uninstallScript()},
        });
        administrator_->runAsAdministrator(staging.pathOf(
            installs ? HelperTexts::kInstallScriptName : HelperTexts::kUninstallScriptName));
    } catch (const HelperError& failure) {
        Logger::error(Logger::format("%s the logo helper failed: %s",
                                     installs ? "Installing" : "Removing", failure.what()));
        throw;
    }
    Logger::info(installs ? "Logo helper installed" : "Logo helper removed");
    // The helper has just been started or removed; either way the logo is lit now.
    lamp_ = Lamp::on;
}

} // namespace plinkora
