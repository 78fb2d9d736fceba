#pragma once

#include "app/HelperStatus.hpp"
#include "app/HotKey.hpp"
#include "app/LidLogo.hpp"
#include "app/LoginItem.hpp"
#include "app/Overlay.hpp"
#include "app/Piano.hpp"
#include "app/Scheduler.hpp"
#include "app/SettingList.hpp"
#include "app/Settings.hpp"
#include "app/StrikeSource.hpp"
#include "app/Updater.hpp"
#include "music/Scale.hpp"

#include <QCoreApplication>
#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace plinkora {

class AppState;

/// A setting as a control binds to it: its getter, the setter that stores it and runs its
/// action, and the signal that says it changed, named in `setting` below (the stored ones made
/// from their rows in SettingList.hpp); the settings window and the menu bind through these
/// alone.
template <typename T> struct BoundSetting {
    SettingArg<T> (AppState::*get)() const;
    void (AppState::*set)(SettingArg<T>);
    void (AppState::*changed)(SettingArg<T>);
};

/// Everything Plinkora needs from its surroundings. The factories are called once each, in
/// the order overlay, piano, logo, updater, and last the hot key.
struct AppDependencies {
    Scheduler* scheduler = nullptr;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<LoginItem> loginItem;
    HelperStatus helperStatus;
    std::function<std::unique_ptr<Overlay>()> makeOverlay;
    std::function<std::unique_ptr<Piano>()> makePiano;
    std::function<std::unique_ptr<LidLogo>()> makeLogo;
    std::function<std::unique_ptr<Updater>()> makeUpdater;
    HotKeyFactory makeHotKey;
    /// Whether the machine has a touch screen; asked on every read.
    std::function<bool()> hasTouchscreen;
};

// A stored setting's getter and setter (which stores the value, runs its action and says when
// it changed), and its change signal.
#define PLINKORA_ACCESSORS(Type, name, Name, initial, read, action)                                \
    SettingArg<Type> name() const {                                                                \
        return instrument_.name;                                                                   \
    }                                                                                              \
    void set##Name(SettingArg<Type> value);
#define PLINKORA_CHANGED(Type, name, Name, initial, read, action)                                  \
    void name##Changed(plinkora::SettingArg<Type> value);

/// The one shared state: the user's settings, what the user interface shows, and the
/// controllers doing the work. Main thread only.
///
/// Every setter stores its value and runs its action on every assignment, also when the value
/// is unchanged; the change signal fires only when the value changed (lastInput: always).
class AppState final : public QObject {
    Q_OBJECT

public:
    struct LastInput {
        StrikeSource source;
        int zone;
        QDateTime date;
    };

    explicit AppState(AppDependencies dependencies, QObject* parent = nullptr);
    ~AppState() override;

    /// The process's instance, made on first use by the factory installed with
    /// setSharedFactory(), and destroyed by releaseShared() at the end, before the application
    /// object, so that every controller's own shutdown runs (the logo's last line, the
    /// settings' last save).
    static AppState& shared();
    static void setSharedFactory(std::function<std::unique_ptr<AppState>()> factory);
    static void releaseShared();
    /// True when Plinkora runs in a sandbox that cannot install a root helper.
    static bool isSandboxed();

    template <typename T> T get(const BoundSetting<T>& setting) const {
        return (this->*setting.get)();
    }
    template <typename T> void set(const BoundSetting<T>& setting, SettingArg<T> value) {
        (this->*setting.set)(value);
    }

    bool isEnabled() const { return isEnabled_; }
    void setIsEnabled(bool enabled);
    PLINKORA_STORED_SETTINGS(PLINKORA_ACCESSORS)
    /// Why the chosen sound bank does not play; empty once it does.
    const std::optional<std::string>& soundBankMessage() const { return soundBankMessage_; }
    bool launchesAtLogin() const { return launchesAtLogin_; }
    void setLaunchesAtLogin(bool launches);

    bool logoHelperInstalled() const { return logoHelperInstalled_; }
    bool logoHelperRunning() const { return logoHelperRunning_; }
    const std::optional<std::string>& logoHelperMessage() const { return logoHelperMessage_; }
    /// Why the last change of launchesAtLogin did not take; empty once one succeeds.
    const std::optional<std::string>& loginItemMessage() const { return loginItemMessage_; }
    /// An install or removal is waiting for the administrator prompt or its script.
    bool logoHelperBusy() const { return logoHelperBusy_; }
    /// Whether this computer has a lid-logo light at all.
    bool logoHasLight() const { return logoHasLight_; }
    /// false where the session switches the light itself and the helper is not needed.
    bool logoNeedsHelper() const { return logo_->needsHelper(); }
    const std::string& audioOutputName() const { return audioOutputName_; }
    /// Whether the global shortcut reaches Plinkora, and from where.
    /// Tries a refused shortcut again (the settings window does when it opens).
    void retryHotKey() {
        if (hotKey_) {
            hotKey_->retry();
        }
    }
    HotKey::State hotKeyState() const {
        return hotKey_ ? hotKey_->state() : HotKey::State::notBound;
    }
    const std::optional<LastInput>& lastInput() const { return lastInput_; }
    const std::string& lastTouchDiagnostic() const { return lastTouchDiagnostic_; }

    music::Scale scale() const {
        return {instrument_.keyRoot, instrument_.scaleMode, instrument_.zoneCount};
    }
    std::string lastInputDescription() const;
    bool hasTouchscreen() const;

    void refreshHelperStatus();
    /// Start the privileged step and return at once; logoHelperBusy() holds until it ends.
    /// Ignored while one is already under way.
    void installLogoHelper();
    void uninstallLogoHelper();
    /// Runs once at quit: hides the overlay and leaves the logo lit.
    void shutdown();
    /// What the global hot key does: inverts isEnabled.
    void toggle();
    /// Writes the last minutes of play into the music folder's "Plinkora" folder, off the main
    /// thread; `saveReported` says how it went.
    void saveRecentPlay();

    Overlay& overlay() { return *overlay_; }
    Piano& piano() { return *piano_; }
    LidLogo& logo() { return *logo_; }
    Updater& updater() { return *updater_; }
    Settings& settings() { return *settings_; }

Q_SIGNALS:
    void isEnabledChanged(bool enabled);
    PLINKORA_STORED_SETTINGS(PLINKORA_CHANGED)
    void soundBankMessageChanged();
    void launchesAtLoginChanged(bool launches);
    void logoHelperInstalledChanged(bool installed);
    void logoHelperRunningChanged(bool running);
    void logoHelperMessageChanged();
    void loginItemMessageChanged();
    void logoHelperBusyChanged(bool busy);
    void logoHasLightChanged(bool hasLight);
    void logoNeedsHelperChanged();
    void audioOutputNameChanged();
    void hotKeyStateChanged();
    /// For one desktop notification: what saving the last minutes did.
    void saveReported(const QString& summary, const QString& body);
    void lastInputChanged();
    void lastTouchDiagnosticChanged();

private:
    /// Stores one instrument setting and persists it; `changed` fires if its value changed.
    template <typename T>
    void assign(T InstrumentSettings::*setting, const T& value,
                void (AppState::*changed)(SettingArg<T>)) {
        const bool differs = !(instrument_.*setting == value);
        instrument_.*setting = value;
        if (differs) {
            Q_EMIT(this->*changed)(value);
        }
        settings_->set(setting, value);
    }
    void applyEnabled();
    void applyScale();
    void strike(int zone, StrikeSource source, std::uint8_t velocity);
    void setLogoHelperInstalled(bool installed);
    void setLogoHelperRunning(bool running);
    void setLogoHelperMessage(std::optional<std::string> message);
    void setLogoHelperBusy(bool busy);
    void runHelperStep(bool installs);
    void finishHelperRun(bool installed, std::optional<std::string> failure);
    void setAudioOutputName(std::string name);
    void setLastTouchDiagnostic(std::string diagnostic);

    Scheduler& scheduler_;
    std::unique_ptr<Settings> settings_;
    std::unique_ptr<LoginItem> loginItem_;
    HelperStatus helperStatus_;
    std::function<bool()> hasTouchscreen_;

    bool isEnabled_ = false;
    InstrumentSettings instrument_;
    std::optional<std::string> soundBankMessage_;
    bool launchesAtLogin_ = false;
    bool logoHelperInstalled_ = false;
    bool logoHelperRunning_ = false;
    std::optional<std::string> logoHelperMessage_;
    std::optional<std::string> loginItemMessage_;
    bool logoHelperBusy_ = false;
    bool logoHasLight_ = false;
    std::string audioOutputName_;
    std::optional<LastInput> lastInput_;
    std::string lastTouchDiagnostic_ =
        QCoreApplication::translate("plinkora::AppState", "No touch yet").toStdString();

    std::unique_ptr<Overlay> overlay_;
    std::unique_ptr<Piano> piano_;
    std::unique_ptr<LidLogo> logo_;
    std::unique_ptr<Updater> updater_;
    std::unique_ptr<HotKey> hotKey_;
    std::unique_ptr<HotKey> saveHotKey_;
    ScheduledTask helperRecheck_;
    bool hasShutDown_ = false;
};

#undef PLINKORA_ACCESSORS
#undef PLINKORA_CHANGED

namespace setting {
using A = AppState;
inline constexpr BoundSetting<bool> isEnabled{&A::isEnabled, &A::setIsEnabled,
                                              &A::isEnabledChanged};
inline constexpr BoundSetting<bool> launchesAtLogin{&A::launchesAtLogin, &A::setLaunchesAtLogin,
                                                    &A::launchesAtLoginChanged};
#define PLINKORA_BOUND(Type, name, Name, initial, read, action)                                    \
    inline constexpr BoundSetting<Type> name{&A::name, &A::set##Name, &A::name##Changed};
PLINKORA_STORED_SETTINGS(PLINKORA_BOUND)
#undef PLINKORA_BOUND
} // namespace setting

/// The note length the piano is given: the user's value clamped to 0.5 ... 8.0 s.
double clampedNoteLength(double seconds);

} // namespace plinkora
