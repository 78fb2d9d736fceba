#pragma once

#include <string>

namespace plinkora {

/// Reads whether the lid-logo helper is installed and listening, without writing anything.
class HelperStatus {
public:
    static constexpr const char* kServiceUnitPath =
        "/etc/systemd/system/org.plinkora.Plinkora.LogoHelper.service";
    static constexpr const char* kPipePath = "/run/plinkora/logo-control";
    static constexpr const char* kLedFolder = "/sys/class/leds";

    explicit HelperStatus(std::string serviceUnitPath = kServiceUnitPath,
                          std::string pipePath = kPipePath, std::string ledFolder = kLedFolder);

    /// A file exists at the service unit path.
    bool isInstalled() const;
    /// The pipe opens write-only without blocking, which a FIFO does only while a reader holds
    /// it, and what opened is a FIFO: a planted regular file or link is no helper.
    bool isRunning() const;

    /// An LED class device whose name has "lid_logo" in it exists.
    bool hasLidLogoLight() const;

private:
    std::string serviceUnitPath_;
    std::string pipePath_;
    std::string ledFolder_;
};

} // namespace plinkora
