#pragma once

#include "app/AppState.hpp"
#include "app/LoginItem.hpp"

#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
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

/// How a call's argument is written in the journal.
inline std::string journalText(bool value) {
    return value ? "true" : "false";
}
inline std::string journalText(const std::string& value) {
    return value;
}
inline std::string journalText(const music::Scale& scale) {
    return scale.title() + " " + std::to_string(scale.degrees);
}
inline std::string journalText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string journalText(int value) {
    return std::to_string(value);
}
template <typename Enum>
requires std::is_enum_v<Enum> std::string journalText(Enum value) {
    return std::string(rawValue(value));
}

/// Journals `call`, with its arguments in brackets, comma-separated, when it has any.
template <typename... Arguments>
void journal(CallLog& log, const std::string& call, const Arguments&... arguments) {
    std::string entry = call;
    if constexpr (sizeof...(arguments) > 0) {
        std::string separator = "(";
        ((entry += separator + journalText(arguments), separator = ","), ...);
        entry += ")";
    }
    log.push_back(std::move(entry));
}

class RecordingPiano final : public Piano {
public:
    explicit RecordingPiano(CallLog& log)
        : log_(log) {
        journal(log_, "piano.create");
    }
    void setNoteLength(double seconds) override {
        noteLength_ = seconds;
        journal(log_, "piano.noteLength", seconds);
    }
    double noteLength() const override { return noteLength_; }
    void setScale(const music::Scale& newScale) override {
        scale = newScale;
        journal(log_, "piano.scale", newScale);
    }
    void play(int zone, std::uint8_t velocity) override {
        journal(log_, "piano.play", zone, int{velocity});
    }
    void start() override {
        journal(log_, "piano.start");
        running = startSucceeds;
    }
    void stopAfterTail() override { journal(log_, "piano.stopAfterTail"); }
    std::string outputDeviceName() const override { return deviceName; }
    void setOnOutputDeviceChange(std::function<void()> callback) override {
        onOutputDeviceChange = std::move(callback);
    }
    bool isEngineRunning() const override { return running; }
    bool instrumentLoaded() const override { return loaded; }
    void setSound(music::Sound sound) override { journal(log_, "piano.sound", sound); }
    void setSoundBank(const std::string& path) override { journal(log_, "piano.soundBank", path); }
    void
    setOnSoundBankResult(std::function<void(const std::optional<std::string>&)> callback) override {
        onSoundBankResult = std::move(callback);
    }
    void saveRecent(const std::string& folder, const std::string&,
                    std::function<void(const SavedPlay&)> done) override {
        journal(log_, "piano.saveRecent", folder);
        finishSave = std::move(done);
    }
    void setMidiOutput(bool enabled) override { journal(log_, "piano.midiOutput", enabled); }
    void setPlaysBuiltInSound(bool plays) override { journal(log_, "piano.builtInSound", plays); }

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
        journal(log_, "overlay.create");
    }
    void setOrientation(music::ZoneOrientation orientation) override {
        journal(log_, "overlay.orientation", orientation);
    }
    void setShowsGuides(bool shows) override { journal(log_, "overlay.showsGuides", shows); }
    void setScale(const music::Scale& scale) override { journal(log_, "overlay.scale", scale); }
    void setOnTouchDiagnostic(DiagnosticCallback callback) override {
        onTouchDiagnostic = std::move(callback);
    }
    void setOnStrike(StrikeCallback callback) override { onStrike = std::move(callback); }
    void setDynamics(music::Dynamics dynamics) override {
        journal(log_, "overlay.dynamics", dynamics);
    }
    void show() override { journal(log_, "overlay.show"); }
    void hide() override { journal(log_, "overlay.hide"); }

    StrikeCallback onStrike;
    DiagnosticCallback onTouchDiagnostic;

private:
    CallLog& log_;
};

class RecordingLogo final : public LidLogo {
public:
    explicit RecordingLogo(CallLog& log)
        : log_(log) {
        journal(log_, "logo.create");
    }
    void setPulsing(bool pulsing) override { journal(log_, "logo.setPulsing", pulsing); }
    void noteStruck(double litFor) override { journal(log_, "logo.noteStruck", litFor); }
    void leaveLit() override { journal(log_, "logo.leaveLit"); }
    void installHelper(HelperDone done) override { run("logo.installHelper", std::move(done)); }
    void uninstallHelper(HelperDone done) override { run("logo.uninstallHelper", std::move(done)); }

    std::string failure; ///< Reported by install and uninstall when not empty.
    /// When set, install and uninstall wait for finishPending() instead of ending at once.
    bool holdsReplies = false;
    HelperDone pending;
    void finishPending() {
        std::exchange(pending,
                      {})(failure.empty() ? std::nullopt : std::optional<std::string>(failure));
    }
    bool needsHelper() const override { return !switchesDirectly; }
    void setOnNeedsHelperChanged(std::function<void()> callback) override {
        onNeedsHelperChanged = std::move(callback);
    }
    bool switchesDirectly = false;
    std::function<void()> onNeedsHelperChanged;

private:
    void run(const std::string& call, HelperDone done) {
        journal(log_, call);
        pending = std::move(done);
        if (!holdsReplies) {
            finishPending();
        }
    }
    CallLog& log_;
};

/// An updater whose readiness the test switches.
class RecordingUpdater final : public Updater {
public:
    explicit RecordingUpdater(CallLog& log) { journal(log, "updater.create"); }
    bool canCheckForUpdates() const override { return canCheck_; }
    bool automaticallyChecksForUpdates() const override { return automatic_; }
    void setAutomaticallyChecksForUpdates(bool checks) override {
        if (std::exchange(automatic_, checks) != checks) {
            Q_EMIT automaticallyChecksForUpdatesChanged(checks);
        }
    }
    void checkForUpdates() override { ++checks; }
    Availability availability() const override { return availableAs; }
    void setCanCheck(bool canCheck) {
        if (std::exchange(canCheck_, canCheck) != canCheck) {
            Q_EMIT canCheckForUpdatesChanged(canCheck);
        }
    }

    int checks = 0;
    Availability availableAs = Availability::available;

private:
    bool canCheck_ = false;
    bool automatic_ = true;
};

class RecordingHotKey final : public HotKey {
public:
    RecordingHotKey(CallLog& log, std::function<void()> action)
        : action(std::move(action)) {
        journal(log, "hotKey.create");
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
    std::optional<std::string> setEnabled(bool value) override {
        ++calls;
        if (!failure.empty()) {
            return failure;
        }
        enabled = value;
        return std::nullopt;
    }

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
