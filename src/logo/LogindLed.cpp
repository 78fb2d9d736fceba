#include "logo/LogindLed.hpp"

#include "app/Logger.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <filesystem>
#include <fstream>

namespace plinkora {

namespace {

/// A logind that has not answered by then is taken to offer nothing.
constexpr int kProbeTimeoutMs = 5000;

} // namespace

LogindLed::LogindLed(QDBusConnection bus, std::string ledFolder)
    : bus_(std::move(bus))
    , ledFolder_(std::move(ledFolder)) {}

std::vector<LogindLed::Light> LogindLed::findLights() const {
    std::vector<Light> lights;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ledFolder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.find("lid_logo") == std::string::npos) {
            continue;
        }
        Light light{QString::fromStdString(name), 1};
        std::ifstream max(entry.path() / "max_brightness");
        unsigned value = 0;
        if (max >> value && value > 0) {
            light.maxBrightness = value;
        }
        lights.push_back(light);
    }
    return lights;
}

void LogindLed::probe(const std::function<void(bool offered)>& answer) {
    lights_ = findLights();
    if (lights_.empty() || !bus_.isConnected()) {
        answer(false);
        return;
    }
    const QDBusMessage introspect = QDBusMessage::createMethodCall(
        QString::fromUtf8(kService), QString::fromUtf8(kSessionPath),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(introspect, kProbeTimeoutMs), nullptr);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answer](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         const QDBusPendingReply<QString> reply = *call;
                         answer(!reply.isError() &&
                                reply.value().contains(QStringLiteral("name=\"SetBrightness\"")));
                     });
}

void LogindLed::write(Lamp command) {
    for (const Light& light : lights_) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromUtf8(kService), QString::fromUtf8(kSessionPath),
            QString::fromUtf8(kSessionInterface), QStringLiteral("SetBrightness"));
        call << QStringLiteral("leds") << light.name
             << (command == Lamp::on ? light.maxBrightness : 0u);
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), nullptr);
        QObject::connect(
            watcher, &QDBusPendingCallWatcher::finished, watcher,
            [logged = hasLoggedFailure_](QDBusPendingCallWatcher* reply) {
                reply->deleteLater();
                if (reply->isError() && !*logged) {
                    *logged = true;
                    Logger::error(Logger::format("Switching the lid logo through logind failed: %s",
                                                 reply->error().message().toStdString().c_str()));
                }
            });
    }
}

} // namespace plinkora
