#pragma once

#include <functional>
#include <optional>
#include <string>

namespace plinkora {

/// The lid logo's light as the application core drives it. Main thread only; nothing here
/// waits on the helper's pipe or on the administrator prompt.
class LidLogo {
public:
    /// Called on the main thread once the privileged step has ended: empty on success,
    /// otherwise the message to show.
    using HelperDone = std::function<void(std::optional<std::string> failure)>;

    virtual ~LidLogo() = default;

    /// true: the logo rests dark and flashes on each note; false: pulsing stops, any pending
    /// darkening is cancelled and the logo is lit.
    virtual void setPulsing(bool pulsing) = 0;
    /// Lights the logo now and darkens it after `litFor` seconds, while pulsing.
    virtual void noteStruck(double litFor) = 0;
    /// Pulsing stops and "on" is sent even if the logo is believed lit.
    virtual void leaveLit() = 0;
    /// Installs and starts the helper; `done` gets the outcome later.
    virtual void installHelper(HelperDone done) = 0;
    /// Removes the helper and leaves the logo as it was before the install; like
    /// installHelper().
    virtual void uninstallHelper(HelperDone done) = 0;
    /// Whether the logo can be switched only through the root helper. false where the
    /// desktop's login manager lets the user's session switch the light itself.
    virtual bool needsHelper() const { return true; }
    /// Called on the main thread when needsHelper() changes.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): a sink, kept by those that use it
    virtual void setOnNeedsHelperChanged(std::function<void()> /*callback*/) {}
};

} // namespace plinkora
