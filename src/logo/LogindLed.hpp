#pragma once

#include "logo/PipeWriter.hpp"

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plinkora {

/// Switches the lid logo's light through logind's SetBrightness("leds", …) on the user's own
/// session (systemd 243 and later), which needs neither root nor a helper. Main thread only;
/// every call to logind is asynchronous and nothing waits for a reply.
class LogindLed final : public PipeWriter {
public:
    static constexpr const char* kService = "org.freedesktop.login1";
    static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/auto";
    static constexpr const char* kSessionInterface = "org.freedesktop.login1.Session";

    /// `ledFolder` holds the LED class devices ("/sys/class/leds"); the lid logo's are those
    /// whose name contains "lid_logo".
    LogindLed(QDBusConnection bus, std::string ledFolder);

    /// Answers, on the main thread, whether logind offers SetBrightness and this computer has
    /// a lid-logo light for it to switch. A bus or logind that does not answer means no.
    void probe(const std::function<void(bool offered)>& answer);

    /// Full brightness for on, 0 for off, on every lid-logo light. A refusal is logged once.
    void write(Lamp command) override;

private:
    struct Light {
        QString name;
        unsigned maxBrightness = 1;
    };
    std::vector<Light> findLights() const;

    QDBusConnection bus_;
    std::string ledFolder_;
    std::vector<Light> lights_;
    /// Shared with replies still on their way, which may outlive this object.
    std::shared_ptr<bool> hasLoggedFailure_ = std::make_shared<bool>(false);
};

} // namespace plinkora
