#pragma once

#include <string>

namespace plinkora {

/// Where the lid-logo helper lives once installed. Every helper text is made from one of these,
/// so tests point the whole installation into a temporary root.
///
/// The paths are written into shell scripts and a systemd unit: the installation quotes them
/// for the shell, but they must not contain double quotes, dollar signs, backslashes or white
/// space (the fixed production paths and a mkdtemp root never do).
struct HelperPaths {
    std::string label{};
    std::string helperFolder{};
    std::string helperScriptPath{};
    std::string pipeFolder{};
    std::string pipePath{};
    std::string serviceUnitPath{};
    /// What the lid logo's lights were before the helper first switched them; uninstall
    /// puts them back.
    std::string ledStatePath{};
    /// A shell glob, expanded by the helper on every command.
    std::string ledGlob{};
    /// The LED class folder the glob looks into.
    std::string ledFolder{};

    /// The installed system's paths.
    static HelperPaths production();
    /// The production layout below `root` (an absolute path without a trailing slash); the
    /// label stays the same.
    static HelperPaths underRoot(const std::string& root);

    /// The staged name of the service unit: the label followed by ".service".
    std::string serviceUnitName() const { return label + ".service"; }
};

} // namespace plinkora
