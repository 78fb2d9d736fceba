#pragma once

namespace plinkora {

/// The lid logo's light as the application core drives it. Main thread only; nothing here
/// blocks on the helper's pipe, but installing and removing wait for the administrator prompt.
class LidLogo {
public:
    virtual ~LidLogo() = default;

    /// true: the logo rests dark and flashes on each note; false: pulsing stops, any pending
    /// darkening is cancelled and the logo is lit.
    virtual void setPulsing(bool pulsing) = 0;
    /// Lights the logo now and darkens it after `litFor` seconds, while pulsing.
    virtual void noteStruck(double litFor) = 0;
    /// Pulsing stops and "on" is sent even if the logo is believed lit.
    virtual void leaveLit() = 0;
    /// Installs and starts the helper. Throws an exception whose what() is the message to show.
    virtual void installHelper() = 0;
    /// Removes the helper and leaves the logo lit. Throws like installHelper().
    virtual void uninstallHelper() = 0;
};

} // namespace plinkora
