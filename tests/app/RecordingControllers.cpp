#include "RecordingControllers.hpp"

#include <sstream>

namespace plinkora::testing {

namespace {

std::string number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

const char* text(bool value) {
    return value ? "true" : "false";
}

} // namespace

void RecordingPiano::setNoteLength(double seconds) {
    noteLength_ = seconds;
    log_.push_back("piano.noteLength(" + number(seconds) + ")");
}

void RecordingPiano::setScale(const music::Scale& newScale) {
    scale = newScale;
    log_.push_back("piano.scale(" + newScale.title() + " " + std::to_string(newScale.degrees) +
                   ")");
}

void RecordingPiano::play(int zone, std::uint8_t velocity) {
    log_.push_back("piano.play(" + std::to_string(zone) + "," + std::to_string(velocity) + ")");
}

void RecordingPiano::start() {
    log_.push_back("piano.start");
    running = startSucceeds;
}

void RecordingOverlay::setOrientation(music::ZoneOrientation orientation) {
    log_.push_back("overlay.orientation(" + std::string(music::rawValue(orientation)) + ")");
}

void RecordingOverlay::setShowsGuides(bool shows) {
    log_.push_back(std::string("overlay.showsGuides(") + text(shows) + ")");
}

void RecordingOverlay::setScale(const music::Scale& scale) {
    log_.push_back("overlay.scale(" + scale.title() + " " + std::to_string(scale.degrees) + ")");
}

void RecordingLogo::setPulsing(bool pulsing) {
    log_.push_back(std::string("logo.setPulsing(") + text(pulsing) + ")");
}

void RecordingLogo::noteStruck(double litFor) {
    log_.push_back("logo.noteStruck(" + number(litFor) + ")");
}

void RecordingLogo::installHelper(HelperDone done) {
    log_.push_back("logo.installHelper");
    pending = std::move(done);
    if (!holdsReplies) {
        finishPending();
    }
}

void RecordingLogo::uninstallHelper(HelperDone done) {
    log_.push_back("logo.uninstallHelper");
    pending = std::move(done);
    if (!holdsReplies) {
        finishPending();
    }
}

void RecordingLogo::finishPending() {
    auto done = std::move(pending);
    pending = {};
    done(failure.empty() ? std::nullopt : std::optional<std::string>(failure));
}

std::optional<std::string> FakeLoginItem::setEnabled(bool value) {
    ++calls;
    if (!failure.empty()) {
        return failure;
    }
    enabled = value;
    return std::nullopt;
}

void RecordingUpdater::setAutomaticallyChecksForUpdates(bool checks) {
    if (checks != automatic_) {
        automatic_ = checks;
        Q_EMIT automaticallyChecksForUpdatesChanged(checks);
    }
}

void RecordingUpdater::setCanCheck(bool canCheck) {
    if (canCheck != canCheck_) {
        canCheck_ = canCheck;
        Q_EMIT canCheckForUpdatesChanged(canCheck);
    }
}

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
