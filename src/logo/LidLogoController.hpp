#pragma once

#include "app/HelperPaths.hpp"
#include "app/LidLogo.hpp"
#include "app/Scheduler.hpp"
#include "logo/Lamp.hpp"
#include "logo/LogindLed.hpp"
#include "logo/PipeWriter.hpp"
#include "logo/PrivilegedRunner.hpp"

#include <memory>

namespace plinkora {

/// Decides when the lid logo is lit or dark and tells the light: through logind where the
/// session may switch it itself, otherwise through the root helper's pipe. Installs or
/// removes that helper.
///
/// Main thread only. It remembers the command it sent last and never repeats it; the pipe
/// writes happen on the writer's own worker and logind is asked asynchronously, so nothing
/// here waits, not even for the administrator prompt.
class LidLogoController final : public LidLogo {
public:
    /// The installed system: the production paths, the FIFO writer, pkexec and logind.
    explicit LidLogoController(Scheduler& scheduler);
    /// `direct` may be null: then the helper is the only way.
    LidLogoController(Scheduler& scheduler, HelperPaths paths, std::unique_ptr<PipeWriter> pipe,
                      std::unique_ptr<PrivilegedRunner> administrator,
                      std::unique_ptr<LogindLed> direct = nullptr);
    ~LidLogoController() override;
    LidLogoController(const LidLogoController&) = delete;
    LidLogoController& operator=(const LidLogoController&) = delete;

    void setPulsing(bool pulsing) override;
    void noteStruck(double litFor) override;
    void leaveLit() override;
    void installHelper(HelperDone done) override;
    void uninstallHelper(HelperDone done) override;
    bool needsHelper() const override { return !usesDirect_; }
    void setOnNeedsHelperChanged(std::function<void()> callback) override;

private:
    /// Sends `command` unless it repeats the last one.
    void send(Lamp command);
    enum class Script { install, uninstall };
    void runPrivileged(Script script, HelperDone done);

    Scheduler& scheduler_;
    const HelperPaths paths_;
    std::unique_ptr<PipeWriter> pipe_;
    std::unique_ptr<PrivilegedRunner> administrator_;
    std::unique_ptr<LogindLed> direct_;
    bool usesDirect_ = false;
    std::function<void()> onNeedsHelperChanged_;
    /// Tells replies that arrive after the controller is gone to do nothing.
    std::shared_ptr<LidLogoController*> self_ = std::make_shared<LidLogoController*>(this);

    /// The command sent last, or assumed: at start the logo is taken to be lit.
    Lamp lamp_ = Lamp::on;
    bool pulsing_ = false;
    ScheduledTask darkenWorkItem_;
};

} // namespace plinkora
