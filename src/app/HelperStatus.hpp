#pragma once

#include "app/HelperPaths.hpp"

#include <string>

namespace plinkora {

/// Reads whether the lid-logo helper is installed and listening, without writing anything.
class HelperStatus {
public:
    explicit HelperStatus(HelperPaths paths = HelperPaths::production())
        : paths_(std::move(paths)) {}

    /// A file exists at the service unit path.
    bool isInstalled() const;
    /// Whether the helper's pipe has a reader: see openListeningPipe().
    bool isRunning() const;

    /// An LED class device whose name has "lid_logo" in it exists.
    bool hasLidLogoLight() const;

    /// The pipe at `path` opened write-only without blocking, which a FIFO allows only while a
    /// reader holds it; -1 unless what opened is a FIFO: a planted regular file, device or
    /// link is no helper, and is never written to.
    static int openListeningPipe(const std::string& path);

private:
    HelperPaths paths_;
};

} // namespace plinkora
