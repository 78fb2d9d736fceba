#pragma once

#include "app/AppState.hpp"
#include "app/LoginItem.hpp"

#include <memory>
#include <string>
#include <vector>

namespace plinkora::testing {

/// A factory for AppDependencies that makes a `Made` of `arguments` and keeps it in `slot`.
template <typename Made, typename... Arguments> auto keeping(Made*& slot, Arguments&... arguments) {
    return [&slot, &arguments...] {
        auto made = std::make_unique<Made>(arguments...);
        slot = made.get();
        return made;
    };
}

/// One journal of every controller call, in order, as "piano.start" or "logo.setPulsing(true)".
using CallLog = std::vector<std::string>;

class RecordingPiano final : public Piano {
public:
    explicit RecordingPiano(CallLog& log)
        : log_(log) {
        log_.push_back("piano.create");
    }
    void setNoteLength(double seconds) override;
    double noteLength() const override { return noteLength_; }
    void setScale(const music::Scale& scale) override;
    void play(int zone, std::uint8_t velocity) override;
    void start() override;
    void stopAfterTail() override { log_.push_back("piano.stopAfterTail"); }
    std::string outputDeviceName() const override { return deviceName; }
    void setOnOutputDeviceChange(std::function<void()> callback) override {
        onOutputDeviceChange = std::move(callback);
    }
    bool isEngineRunning() const override { return running; }
    bool instrumentLoaded() const override { return loaded; }
    void setSound(music::Sound sound) override {
        log_.push_back("piano.sound(" + std::string(rawValue(sound)) + ")");
    }
    void setSoundBank(const std::string& path) override {
        log_.push_back("piano.soundBank(" + path + ")");
    }
    void
    setOnSoundBankResult(std::function<void(const std::optional<std::string>&)> callback) override {
        onSoundBankResult = std::move(callback);
    }
    void saveRecent(const std::string& folder, const std::string&,
                    std::function<void(const SavedPlay&)> done) override {
        log_.push_back("piano.saveRecent(" + folder + ")");
        finishSave = std::move(done);
    }
    void setMidiOutput(bool enabled) override {
        log_.push_back(std::string("piano.midiOutput(") + (enabled ? "true" : "false") + ")");
    }
    void setPlaysBuiltInSound(bool plays) override {
        log_.push_back(std::string("piano.builtInSound(") + (plays ? "true" : "false") + ")");
    }

    std::string deviceName = "Null Output";
    bool running = false;
    bool startSucceeds = true;
    bool loaded = true;
    music::Scale scale;
    std::function<void()> onOutputDeviceChange;
    std::function<void(const std::optional<std::string>&)> onSoundBankResult;
    std::function<void(const SavedPlay&)> finishSave;

private:
    CallLog& log_;
    double noteLength_ = 0;
};

class RecordingOverlay final : public Overlay {
public:
    explicit RecordingOverlay(CallLog& log)
        : log_(log) {
        log_.push_back("overlay.create");
    }
    void setOrientation(music::ZoneOrientation orientation) override;
    void setShowsGuides(bool shows) override;
    void setScale(const music::Scale& scale) override;
    void setOnTouchDiagnostic(DiagnosticCallback callback) override {
        onTouchDiagnostic = std::move(callback);
    }
    void setOnStrike(StrikeCallback callback) override { onStrike = std::move(callback); }
    void setDynamics(music::Dynamics dynamics) override {
        log_.push_back("overlay.dynamics(" + std::string(rawValue(dynamics)) + ")");
    }
    void show() override { log_.push_back("overlay.show"); }
    void hide() override { log_.push_back("overlay.hide"); }

    StrikeCallback onStrike;
    DiagnosticCallback onTouchDiagnostic;

private:
    CallLog& log_;
};

class RecordingLogo final : public LidLogo {
public:
    explicit RecordingLogo(CallLog& log)
        : log_(log) {
        log_.push_back("logo.create");
    }
    void setPulsing(bool pulsing) override;
    void noteStruck(double litFor) override;
    void leaveLit() override { log_.push_back("logo.leaveLit"); }
    void installHelper(HelperDone done) override;
    void uninstallHelper(HelperDone done) override;

    std::string failure; ///< Reported by install and uninstall when not empty.
    /// When set, install and uninstall wait for finishPending() instead of ending at once.
    bool holdsReplies = false;
    HelperDone pending;
    void finishPending();
    bool needsHelper() const override { return !switchesDirectly; }
    void setOnNeedsHelperChanged(std::function<void()> callback) override {
        onNeedsHelperChanged = std::move(callback);
    }
    bool switchesDirectly = false;
    std::function<void()> onNeedsHelperChanged;

private:
    CallLog& log_;
};

/// An updater whose readiness the test switches.
class RecordingUpdater final : public Updater {
public:
    explicit RecordingUpdater(CallLog& log)
        : log_(log) {
        log_.push_back("updater.create");
    }
    bool canCheckForUpdates() const override { return canCheck_; }
    bool automaticallyChecksForUpdates() const override { return automatic_; }
    void setAutomaticallyChecksForUpdates(bool checks) override;
    void checkForUpdates() override { ++checks; }
    Availability availability() const override { return availableAs; }
    void setCanCheck(bool canCheck);

    int checks = 0;
    Availability availableAs = Availability::available;

private:
    CallLog& log_;
    bool canCheck_ = false;
    bool automatic_ = true;
};

class RecordingHotKey final : public HotKey {
public:
    RecordingHotKey(CallLog& log, std::function<void()> action)
        : action(std::move(action)) {
        log.push_back("hotKey.create");
    }
    State state() const override { return current; }
    void setOnStateChange(std::function<void()> callback) override {
        onStateChange = std::move(callback);
    }
    /// As the desktop's answer or a keymap change would move it.
    void become(State state) {
        current = state;
        if (onStateChange) {
            onStateChange();
        }
    }
    std::function<void()> action;
    State current = State::active;
    std::function<void()> onStateChange;
};

class FakeLoginItem final : public LoginItem {
public:
    bool isEnabled() const override { return enabled; }
    std::optional<std::string> setEnabled(bool value) override;

    bool enabled = false;
    std::string failure; ///< Returned by setEnabled when not empty.
    int calls = 0;
};

/// An AppState built on recording controllers, with handles on each of them.
struct RecordingApp {
    RecordingApp(Scheduler& scheduler, QString settingsFile,
                 HelperStatus status = HelperStatus(HelperPaths::underRoot("/nonexistent")),
                 bool loginEnabled = false);
    /// A new state over the same settings file, as a restart of Plinkora makes.
    void restart();

    CallLog log;
    RecordingOverlay* overlay = nullptr;
    RecordingPiano* piano = nullptr;
    RecordingLogo* logo = nullptr;
    RecordingUpdater* updater = nullptr;
    RecordingHotKey* hotKey = nullptr;
    FakeLoginItem* loginItem = nullptr;
    Qt::Key hotKeyKey = Qt::Key_unknown;
    Qt::KeyboardModifiers hotKeyModifiers;
    std::map<Qt::Key, RecordingHotKey*> hotKeys;
    bool touchscreen = false;
    std::unique_ptr<AppState> state;

private:
    Scheduler& scheduler_;
    QString settingsFile_;
    HelperStatus status_;
    bool loginEnabled_;
};

} // namespace plinkora::testing
