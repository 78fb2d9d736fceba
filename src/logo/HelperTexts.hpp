#pragma once

#include "logo/HelperPaths.hpp"

#include <string>

namespace plinkora {

/// The four files of the lid-logo helper: the helper script, its systemd unit, and the scripts
/// that install and remove both. Every line ends with a line feed; the texts are UTF-8.
class HelperTexts {
public:
    static constexpr const char* kHelperScriptName = "logo-helper.sh";
    static constexpr const char* kInstallScriptName = "install.sh";
    static constexpr const char* kUninstallScriptName = "uninstall.sh";

    explicit HelperTexts(HelperPaths paths)
        : paths_(std::move(paths)) {}

    /// Runs as root under systemd: serves "on" / "off" lines from the pipe. Nothing it reads
    /// is executed or used as a path; it only compares the line with the two words.
    std::string helperScript() const;
    std::string serviceUnit() const;
    /// Copies the staged helper and unit from `stagingFolder` (no trailing slash) into place
    /// and (re)starts the service; stops at the first failing command.
    std::string installScript(const std::string& stagingFolder) const;
    /// Removes everything the install script made and leaves the logo lit; always succeeds.
    std::string uninstallScript() const;

    /// `text` as one single-quoted shell word, whatever it contains.
    static std::string shellQuoted(const std::string& text);

private:
    HelperPaths paths_;
};

} // namespace plinkora
