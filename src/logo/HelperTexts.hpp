#pragma once

#include "app/HelperPaths.hpp"

#include <string>
#include <sys/types.h>

namespace plinkora {

/// The lid-logo helper's texts: the helper script, its systemd unit, and the scripts that
/// install and remove both. Every line ends with a line feed; the texts are UTF-8.
///
/// The install and uninstall scripts are run as root with their whole text on pkexec's
/// command line ("sh -c"), and the install script carries the helper and the unit inside it,
/// so root never reads a file that the user could change while the password prompt is up.
class HelperTexts {
public:
    /// `owner` is the user who installs the helper: the only account besides root that may
    /// open its pipe.
    HelperTexts(HelperPaths paths, uid_t owner)
        : paths_(std::move(paths))
        , owner_(owner) {}

    /// Runs as root under systemd: serves "on" / "off" lines from the pipe. Nothing it reads
    /// is executed or used as a path; it only compares the line with the two words.
    std::string helperScript() const;
    std::string serviceUnit() const;
    /// Puts the helper and the unit in place with explicit modes, records the lid logo's
    /// lights as they are, and (re)starts the service; stops at the first failing command.
    std::string installScript() const;
    /// Removes everything the install script made and puts the lights back as they were before
    /// the install; always succeeds.
    std::string uninstallScript() const;

    /// `text` as one single-quoted shell word, whatever it contains.
    static std::string shellQuoted(const std::string& text);

private:
    HelperPaths paths_;
    uid_t owner_;
};

} // namespace plinkora
