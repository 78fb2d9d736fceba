#include "app/HelperPaths.hpp"

namespace plinkora {

namespace {

constexpr const char* kLabel = "org.plinkora.Plinkora.LogoHelper";

} // namespace

HelperPaths HelperPaths::production() {
    return underRoot(std::string());
}

HelperPaths HelperPaths::underRoot(const std::string& root) {
    HelperPaths paths;
    paths.label = kLabel;
    paths.helperFolder = root + "/usr/local/libexec/plinkora";
    paths.helperScriptPath = paths.helperFolder + "/logo-helper.sh";
    paths.ledStatePath = paths.helperFolder + "/led-state";
    paths.pipeFolder = root + "/run/plinkora";
    paths.pipePath = paths.pipeFolder + "/logo-control";
    paths.serviceUnitPath = root + "/etc/systemd/system/" + paths.serviceUnitName();
    paths.ledFolder = root + "/sys/class/leds";
    paths.ledGlob = paths.ledFolder + "/*lid_logo*";
    return paths;
}

} // namespace plinkora
