#include "logo/LidLogoController.hpp"

#include "app/Logger.hpp"
#include "logo/FifoPipeWriter.hpp"
#include "logo/HelperTexts.hpp"
#include "logo/PkexecRunner.hpp"

#include <algorithm>
#include <unistd.h>

namespace plinkora {

namespace {

/// Far beyond any note's hold; keeps a runaway value from overflowing a timer.
constexpr double kLongestHold = 3600.0;

} // namespace

LidLogoController::LidLogoController(Scheduler& scheduler)
    : LidLogoController(
          scheduler, HelperPaths::production(),
          std::make_unique<FifoPipeWriter>(HelperPaths::production().pipePath),
          std::make_unique<PkexecRunner>(),
          std::make_unique<LogindLed>(QDBusConnection::systemBus(), "/sys/class/leds")) {}

LidLogoController::LidLogoController(Scheduler& scheduler, HelperPaths paths,
                                     std::unique_ptr<PipeWriter> pipe,
                                     std::unique_ptr<PrivilegedRunner> administrator,
                                     std::unique_ptr<LogindLed> direct)
    : scheduler_(scheduler)
    , paths_(std::move(paths))
    , pipe_(std::move(pipe))
    , administrator_(std::move(administrator))
    , direct_(std::move(direct)) {
    if (!direct_) {
        return;
    }
    direct_->probe([weak = std::weak_ptr<LidLogoController*>(self_)](bool offered) {
        const auto self = weak.lock();
        if (!self || !offered) {
            return;
        }
        LidLogoController& logo = **self;
        Logger::info("The lid logo is switched through logind; no helper is needed");
        logo.usesDirect_ = true;
        // The light shows what was last decided, whatever the helper did with it.
        logo.direct_->write(logo.lamp_);
        if (logo.onNeedsHelperChanged_) {
            logo.onNeedsHelperChanged_();
        }
    });
}

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

void LidLogoController::installHelper(HelperDone done) {
    runPrivileged(Script::install, std::move(done));
}

void LidLogoController::uninstallHelper(HelperDone done) {
    runPrivileged(Script::uninstall, std::move(done));
}

void LidLogoController::setOnNeedsHelperChanged(std::function<void()> callback) {
    onNeedsHelperChanged_ = std::move(callback);
}

void LidLogoController::send(Lamp command) {
    if (command == lamp_) {
        return;
    }
    // Taken as done now: a line the helper never gets is not tried again, and the next
    // different command is written normally.
    lamp_ = command;
    if (usesDirect_) {
        direct_->write(command);
    } else {
        pipe_->write(command);
    }
}

void LidLogoController::runPrivileged(Script script, HelperDone done) {
    const bool installs = script == Script::install;
    const HelperTexts texts(paths_, ::getuid());
    administrator_->runAsAdministrator(
        installs ? texts.installScript() : texts.uninstallScript(),
        [weak = std::weak_ptr<LidLogoController*>(self_), installs,
         done = std::move(done)](std::optional<std::string> failure) {
            if (failure) {
                Logger::error(Logger::format("%s the logo helper failed: %s",
                                             installs ? "Installing" : "Removing",
                                             failure->c_str()));
            } else {
                Logger::info(installs ? "Logo helper installed" : "Logo helper removed");
                // The helper has just been started or removed; either way the logo is lit now.
                if (const auto self = weak.lock()) {
                    (*self)->lamp_ = Lamp::on;
                }
            }
            if (done) {
                done(std::move(failure));
            }
        });
}

} // namespace plinkora
