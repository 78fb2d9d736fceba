#include "RecordingControllers.hpp"

namespace plinkora::testing {

RecordingApp::RecordingApp(Scheduler& scheduler, QString settingsFile, HelperStatus status,
                           bool loginEnabled)
    : scheduler_(scheduler)
    , settingsFile_(std::move(settingsFile))
    , status_(std::move(status))
    , loginEnabled_(loginEnabled) {
    restart();
}

void RecordingApp::restart() {
    state.reset();
    hotKey = nullptr;
    hotKeys.clear();
    AppDependencies deps;
    deps.scheduler = &scheduler_;
    deps.settings = std::make_unique<Settings>(settingsFile_);
    auto login = std::make_unique<FakeLoginItem>();
    login->enabled = loginEnabled_;
    loginItem = login.get();
    deps.loginItem = std::move(login);
    deps.helperStatus = status_;
    deps.makeOverlay = keeping(overlay, log);
    deps.makePiano = keeping(piano, log);
    deps.makeLogo = keeping(logo, log);
    deps.makeUpdater = keeping(updater, log);
    deps.makeHotKey = [this](Qt::Key key, Qt::KeyboardModifiers modifiers,
                             std::function<void()> action) {
        auto made = std::make_unique<RecordingHotKey>(log, std::move(action));
        hotKeys[key] = made.get();
        // The first is the toggle's.
        if (hotKey == nullptr) {
            hotKeyKey = key;
            hotKeyModifiers = modifiers;
            hotKey = made.get();
        }
        return made;
    };
    deps.hasTouchscreen = [this] { return touchscreen; };
    state = std::make_unique<AppState>(std::move(deps));
}

} // namespace plinkora::testing
