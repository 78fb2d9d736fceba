#pragma once

#include <optional>
#include <string>

namespace plinkora {

/// Starting Plinkora when the user logs in.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual bool isEnabled() const = 0;
    /// Registers or unregisters; returns the failure's description, or nothing on success.
    virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

} // namespace plinkora
