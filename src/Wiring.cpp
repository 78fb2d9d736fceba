#include "Wiring.hpp"

#include "app/AutostartLoginItem.hpp"
#include "app/Logger.hpp"
#include "app/QtScheduler.hpp"

#include <QCoreApplication>
#include <QInputDevice>

namespace plinkora {

namespace {

// Stand-ins for controllers whose parts are not built yet; each says so once.
void notBuilt(const char* part) {
    Logger::info(std::string(part) + " is not built yet");
}

class PendingPiano final : public Piano {
public:
    PendingPiano() { notBuilt("the piano engine"); }
    void setNoteLength(double seconds) override { noteLength_ = seconds; }
    double noteLength() const override { return noteLength_; }
    void setScale(const music::Scale&) override {}
    void play(int, std::uint8_t) override {}
    void start() override {}
    void stopAfterTail() override {}
    std::string outputDeviceName() const override { return "System default"; }
    void setOnOutputDeviceChange(std::function<void()>) override {}
    bool isEngineRunning() const override { return false; }
    bool instrumentLoaded() const override { return false; }

private:
    double noteLength_ = 2.0;
};

class PendingOverlay final : public Overlay {
public:
    PendingOverlay() { notBuilt("the overlay"); }
    void setOrientation(music::ZoneOrientation) override {}
    void setShowsGuides(bool) override {}
    void setScale(const music::Scale&) override {}
    void setOnTouchDiagnostic(DiagnosticCallback) override {}
    void setOnStrike(StrikeCallback) override {}
    void show() override { isShowing_ = true; }
    void hide() override { isShowing_ = false; }
    bool isShowing() const override { return isShowing_; }

private:
    bool isShowing_ = false;
};

class PendingLogo final : public LidLogo {
public:
    PendingLogo() { notBuilt("lid logo pulsing"); }
    void setPulsing(bool) override {}
    void noteStruck(double) override {}
    void leaveLit() override {}
    void installHelper() override { throw std::runtime_error("The helper is not available."); }
    void uninstallHelper() override { throw std::runtime_error("The helper is not available."); }
};

class PendingUpdater final : public Updater {
public:
    PendingUpdater() { notBuilt("the updater"); }
    bool canCheckForUpdates() const override { return false; }
    bool automaticallyChecksForUpdates() const override { return false; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    void checkForUpdates() override {}
};

class PendingHotKey final : public HotKey {
public:
    PendingHotKey() { notBuilt("the global hot key"); }
};

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
    AppDependencies dependencies;
    dependencies.scheduler = &QtScheduler::instance();
    dependencies.settings = std::make_unique<Settings>();
    dependencies.loginItem = std::make_unique<AutostartLoginItem>(
        AutostartLoginItem::defaultFolder(), QCoreApplication::applicationFilePath());
    dependencies.makeOverlay = [] { return std::make_unique<PendingOverlay>(); };
    dependencies.makePiano = [] { return std::make_unique<PendingPiano>(); };
    dependencies.makeLogo = [] { return std::make_unique<PendingLogo>(); };
    dependencies.makeUpdater = [] { return std::make_unique<PendingUpdater>(); };
    dependencies.makeHotKey = [](Qt::Key, Qt::KeyboardModifiers, std::function<void()>) {
        return std::make_unique<PendingHotKey>();
    };
    dependencies.hasTouchscreen = &anyTouchscreen;
    return std::make_unique<AppState>(std::move(dependencies));
}

void buildUserInterface(AppState&, PlinkoraApp&) {}

} // namespace plinkora
