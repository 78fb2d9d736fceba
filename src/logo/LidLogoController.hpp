#pragma once

#include "app/LidLogo.hpp"
#include "app/Scheduler.hpp"
#include "logo/HelperPaths.hpp"
#include "logo/Lamp.hpp"
#include "logo/PipeWriter.hpp"
#include "logo/PrivilegedRunner.hpp"

#include <memory>

namespace plinkora {

/// Decides when the lid logo is lit or dark, tells the root helper through its pipe, and
/// installs or removes that helper.
///
/// Main thread only. It remembers the command it sent last and never repeats it; the pipe
/// writes themselves happen on the writer's own worker, so nothing here waits for the helper.
/// installHelper() and uninstallHelper() do block, until the password prompt has been
/// answered and the script has ended.
class LidLogoController final : public LidLogo {
public:
    /// The installed system: the production paths, the FIFO writer and pkexec.
    explicit LidLogoController(Scheduler& scheduler);
    LidLogoController(Scheduler& scheduler, HelperPaths paths, std::unique_ptr<PipeWriter> pipe,
                      std::unique_ptr<PrivilegedRunner> administrator);
    ~LidLogoController() override;
    LidLogoController(const LidLogoController&) = delete;
    LidLogoController& operator=(const LidLogoController&) = delete;

    void setPulsing(bool pulsing) override;
    void noteStruck(double litFor) override;
    void leaveLit() override;
    /// Stages the helper's files and runs install.sh as administrator; throws HelperError.
    void installHelper() override;
    /// Stages the helper's files and runs uninstall.sh as administrator; throws HelperError.
    void uninstallHelper() override;

private:
    /// Sends `command` unless it repeats the last one.
    void send(Lamp command);
    enum class Script { install, uninstall };
    void runStaged(Script script);

    Scheduler& scheduler_;
    const HelperPaths paths_;
    std::unique_ptr<PipeWriter> pipe_;
    std::unique_ptr<PrivilegedRunner> administrator_;

    /// The command sent last, or assumed: at start the logo is taken to be lit.
    Lamp lamp_ = Lamp::on;
    bool pulsing_ = false;
    ScheduledTask darkenWorkItem_;
};

} // namespace plinkora
