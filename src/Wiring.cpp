#include "Wiring.hpp"

#include "app/AutostartLoginItem.hpp"
#include "app/QtScheduler.hpp"
#include "audio/PianoEngine.hpp"
#include "logo/LidLogoController.hpp"
#include "overlay/OverlayController.hpp"
#include "system/AppUpdater.hpp"
#include "system/GlobalHotKey.hpp"
#include "ui/UserInterface.hpp"

#include <QApplication>
#include <QInputDevice>

namespace plinkora {

namespace {

bool anyTouchscreen() {
    const auto devices = QInputDevice::devices();
    for (const QInputDevice* device : devices) {
        if (device->type() == QInputDevice::DeviceType::TouchScreen) {
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<AppState> makeProductionState() {
    Scheduler& scheduler = QtScheduler::instance();
    AppDependencies dependencies;
    dependencies.scheduler = &scheduler;
    dependencies.settings = std::make_unique<Settings>();
    // The state owns the settings and destroys the updater before them.
    Settings* settings = dependencies.settings.get();
    dependencies.loginItem = std::make_unique<AutostartLoginItem>(
        AutostartLoginItem::defaultFolder(), QCoreApplication::applicationFilePath());
    dependencies.makeOverlay = [] { return std::make_unique<OverlayController>(); };
    dependencies.makePiano = [&scheduler] { return std::make_unique<PianoEngine>(scheduler); };
    dependencies.makeLogo = [&scheduler] { return std::make_unique<LidLogoController>(scheduler); };
    dependencies.makeUpdater = [settings, &scheduler] {
        return std::make_unique<AppUpdater>(*settings, scheduler);
    };
    dependencies.makeHotKey = &makeGlobalHotKey;
    dependencies.hasTouchscreen = &anyTouchscreen;
    return std::make_unique<AppState>(std::move(dependencies));
}

std::unique_ptr<QObject> buildUserInterface(AppState& state, PlinkoraApp& app) {
    auto interface = std::make_unique<ui::UserInterface>(
        state, ui::UserInterface::systemOptions(app.startedAtLogin()));
    app.setOpenSettings([ui = interface.get()] { ui->openSettings(); });
    return interface;
}

} // namespace plinkora
