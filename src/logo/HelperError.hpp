#pragma once

#include <stdexcept>
#include <string>

namespace plinkora {

/// A failure of installing or removing the lid-logo helper. what() is the message the settings
/// window shows, so it is written for the user.
class HelperError : public std::runtime_error {
public:
    enum class Kind {
        /// The helper's files could not be staged (the folder is unsafe or not writable).
        stagingFailed,
        /// The privileged run failed: no pkexec, the prompt was dismissed, or the script failed.
        scriptFailed,
    };

    static HelperError stagingFailed(const std::string& message) {
        return HelperError(Kind::stagingFailed, message);
    }
    static HelperError scriptFailed(const std::string& message) {
        return HelperError(Kind::scriptFailed, message);
    }

    Kind kind() const { return kind_; }

private:
    HelperError(Kind kind, const std::string& message)
        : std::runtime_error(message)
        , kind_(kind) {}

    Kind kind_;
};

} // namespace plinkora
