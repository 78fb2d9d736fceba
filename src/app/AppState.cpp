#include "app/AppState.hpp"

#include "app/Logger.hpp"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>

namespace plinkora {

namespace {

std::function<std::unique_ptr<AppState>()>& sharedFactory() {
    static std::function<std::unique_ptr<AppState>()> factory;
    return factory;
}

std::string joinedNames(const music::Scale& scale) {
    std::string joined;
    for (const auto& name : scale.names()) {
        joined += (joined.empty() ? "" : " ") + name;
    }
    return joined;
}

} // namespace

double clampedNoteLength(double seconds) {
    return std::clamp(seconds, 0.5, 8.0);
}

AppState::AppState(AppDependencies dependencies, QObject* parent)
    : QObject(parent)
    , scheduler_(*dependencies.scheduler)
    , settings_(std::move(dependencies.settings))
    , loginItem_(std::move(dependencies.loginItem))
    , helperStatus_(std::move(dependencies.helperStatus))
    , hasTouchscreen_(std::move(dependencies.hasTouchscreen)) {
    // Assignments here run no actions and persist nothing.
    instrument_ = settings_->load();
    launchesAtLogin_ = loginItem_->isEnabled();

    overlay_ = dependencies.makeOverlay();
    piano_ = dependencies.makePiano();
    logo_ = dependencies.makeLogo();
    updater_ = dependencies.makeUpdater();

    overlay_->setOrientation(instrument_.orientation);
    overlay_->setShowsGuides(instrument_.showsGuides);
    overlay_->setDynamics(instrument_.dynamics);
    piano_->setNoteLength(clampedNoteLength(instrument_.noteLength));
    piano_->setSound(instrument_.sound);
    piano_->setSoundBank(instrument_.soundBank);
    piano_->setPlaysBuiltInSound(instrument_.playsBuiltInSound);
    piano_->setMidiOutput(instrument_.midiOutput);

    applyScale();

    QPointer<AppState> weak(this);
    overlay_->setOnTouchDiagnostic([weak](const std::string& diagnostic) {
        if (weak) {
            weak->setLastTouchDiagnostic(diagnostic);
        }
        Logger::info("touch " + diagnostic);
    });
    piano_->setOnSoundBankResult([weak](const std::optional<std::string>& problem) {
        if (weak && problem != weak->soundBankMessage_) {
            weak->soundBankMessage_ = problem;
            Q_EMIT weak->soundBankMessageChanged();
        }
    });
    audioOutputName_ = piano_->outputDeviceName();
    piano_->setOnOutputDeviceChange([weak] {
        if (!weak) {
            return;
        }
        weak->setAudioOutputName(weak->piano_->outputDeviceName());
        Logger::info("audio output is now " + weak->audioOutputName_);
    });
    overlay_->setOnStrike(
        [weak](int zone, double, double, StrikeSource source, std::uint8_t velocity) {
            if (weak) {
                weak->strike(zone, source, velocity);
            }
        });

    logo_->setOnNeedsHelperChanged([weak] {
        if (weak) {
            Q_EMIT weak->logoNeedsHelperChanged();
        }
    });

    hotKey_ = dependencies.makeHotKey(
        Qt::Key_M, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier, [weak] {
            if (weak) {
                weak->toggle();
            }
        });
    saveHotKey_ = dependencies.makeHotKey(
        Qt::Key_S, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier, [weak] {
            if (weak) {
                weak->saveRecentPlay();
            }
        });
    if (hotKey_) {
        hotKey_->setOnStateChange([weak] {
            if (weak) {
                Q_EMIT weak->hotKeyStateChanged();
            }
        });
    }
    refreshHelperStatus();
}

AppState::~AppState() {
    // Nothing may call back into a half-destroyed state.
    helperRecheck_.cancel();
    hotKey_.reset();
    saveHotKey_.reset();
    overlay_->setOnStrike({});
    overlay_->setOnTouchDiagnostic({});
    piano_->setOnOutputDeviceChange({});
    piano_->setOnSoundBankResult({});
    logo_->setOnNeedsHelperChanged({});
    updater_.reset();
    logo_.reset();
    piano_.reset();
    overlay_.reset();
}

static std::unique_ptr<AppState>& sharedInstance() {
    static std::unique_ptr<AppState> instance;
    return instance;
}

AppState& AppState::shared() {
    auto& instance = sharedInstance();
    if (!instance) {
        instance = sharedFactory()();
    }
    return *instance;
}

void AppState::releaseShared() {
    sharedInstance().reset();
}

void AppState::setSharedFactory(std::function<std::unique_ptr<AppState>()> factory) {
    sharedFactory() = std::move(factory);
}

bool AppState::isSandboxed() {
    static const bool sandboxed =
        std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr || std::getenv("FLATPAK_ID") != nullptr;
    return sandboxed;
}

void AppState::setIsEnabled(bool enabled) {
    const bool changed = enabled != isEnabled_;
    isEnabled_ = enabled;
    if (changed) {
        Q_EMIT isEnabledChanged(enabled);
    }
    applyEnabled();
}

#define PLINKORA_SETTER(Type, name, Name, initial, read, action)                                   \
    void AppState::set##Name(SettingArg<Type> value) {                                             \
        assign(&InstrumentSettings::name, value, &AppState::name##Changed);                        \
        action;                                                                                    \
    }
PLINKORA_STORED_SETTINGS(PLINKORA_SETTER)
#undef PLINKORA_SETTER

void AppState::setLaunchesAtLogin(bool launches) {
    const bool changed = launches != launchesAtLogin_;
    launchesAtLogin_ = launches;
    if (changed) {
        Q_EMIT launchesAtLoginChanged(launches);
    }
    auto failure = loginItem_->setEnabled(launches);
    if (failure != loginItemMessage_) {
        loginItemMessage_ = failure;
        Q_EMIT loginItemMessageChanged();
    }
    if (failure) {
        Logger::notice("Plinkora: launch at login change failed: " + *failure);
        // Only bring the toggle back in line with what is on disk; no second attempt.
        const bool actual = loginItem_->isEnabled();
        if (actual != launchesAtLogin_) {
            launchesAtLogin_ = actual;
            Q_EMIT launchesAtLoginChanged(actual);
        }
    }
}

void AppState::setLogoHelperInstalled(bool installed) {
    if (installed != logoHelperInstalled_) {
        logoHelperInstalled_ = installed;
        Q_EMIT logoHelperInstalledChanged(installed);
    }
}

void AppState::setLogoHelperRunning(bool running) {
    if (running != logoHelperRunning_) {
        logoHelperRunning_ = running;
        Q_EMIT logoHelperRunningChanged(running);
    }
}

void AppState::setLogoHelperMessage(std::optional<std::string> message) {
    if (message != logoHelperMessage_) {
        logoHelperMessage_ = std::move(message);
        Q_EMIT logoHelperMessageChanged();
    }
}

void AppState::setAudioOutputName(std::string name) {
    if (name != audioOutputName_) {
        audioOutputName_ = std::move(name);
        Q_EMIT audioOutputNameChanged();
    }
}

void AppState::setLastTouchDiagnostic(std::string diagnostic) {
    if (diagnostic != lastTouchDiagnostic_) {
        lastTouchDiagnostic_ = std::move(diagnostic);
        Q_EMIT lastTouchDiagnosticChanged();
    }
}

void AppState::applyEnabled() {
    Logger::info(std::string("Plinkora ") + (isEnabled_ ? "on" : "off"));
    if (isEnabled_) {
        piano_->start();
        setAudioOutputName(piano_->outputDeviceName());
        Logger::info(std::string("audio engine ") +
                     (piano_->isEngineRunning() ? "running" : "NOT running") + " on " +
                     audioOutputName_);
        overlay_->show();
        logo_->setPulsing(instrument_.pulsesLogo);
    } else {
        overlay_->hide();
        piano_->stopAfterTail();
        logo_->setPulsing(false);
    }
}

void AppState::applyScale() {
    const music::Scale current = scale();
    piano_->setScale(current);
    overlay_->setScale(current);
    Logger::info("scale is now " + current.title() + ": " + joinedNames(current));
}

void AppState::strike(int zone, StrikeSource source, std::uint8_t velocity) {
    // The note first: what is heard must not wait for the log, the read-outs or the logo.
    piano_->play(zone, velocity);
    if (instrument_.pulsesLogo) {
        logo_->noteStruck(piano_->noteLength() * 0.4);
    }
    if (Logger::isDebugEnabled()) {
        const auto names = scale().names();
        const std::string name = zone >= 0 && static_cast<std::size_t>(zone) < names.size()
                                     ? names[static_cast<std::size_t>(zone)]
                                     : "?";
        Logger::debug(Logger::format("strike zone %ld ", static_cast<long>(zone)) + name + " via " +
                      std::string(rawValue(source)));
    }
    lastInput_ = LastInput{source, zone, QDateTime::currentDateTime()};
    Q_EMIT lastInputChanged();
}

std::string AppState::lastInputDescription() const {
    if (!lastInput_) {
        return tr("None yet").toStdString();
    }
    const auto names = scale().names();
    const int zone = lastInput_->zone;
    const std::string label = zone >= 0 && static_cast<std::size_t>(zone) < names.size()
                                  ? names[static_cast<std::size_t>(zone)]
                                  : tr("zone %1").arg(zone + 1).toStdString();
    // The locale's own short time style. Long styles carry a time zone, and cutting it out
    // leaves stray brackets in some locales ("23:17:53 ()" in Catalan).
    const QString time = QLocale().toString(lastInput_->date.time(), QLocale::ShortFormat);
    const QString source = lastInput_->source == StrikeSource::touch ? tr("Touch") : tr("Click");
    return source.toStdString() + " \u00B7 " + label + " \u00B7 " + time.toStdString();
}

bool AppState::hasTouchscreen() const {
    return hasTouchscreen_ && hasTouchscreen_();
}

void AppState::refreshHelperStatus() {
    setLogoHelperInstalled(helperStatus_.isInstalled());
    setLogoHelperRunning(helperStatus_.isRunning());
    const bool hasLight = helperStatus_.hasLidLogoLight();
    if (hasLight != logoHasLight_) {
        logoHasLight_ = hasLight;
        Q_EMIT logoHasLightChanged(hasLight);
    }
}

void AppState::setLogoHelperBusy(bool busy) {
    if (busy != logoHelperBusy_) {
        logoHelperBusy_ = busy;
        Q_EMIT logoHelperBusyChanged(busy);
    }
}

void AppState::installLogoHelper() {
    runHelperStep(true);
}

void AppState::uninstallLogoHelper() {
    runHelperStep(false);
}

void AppState::runHelperStep(bool installs) {
    if (logoHelperBusy_) {
        return;
    }
    setLogoHelperBusy(true);
    QPointer<AppState> weak(this);
    auto done = [weak, installs](std::optional<std::string> failure) {
        if (weak) {
            weak->finishHelperRun(installs, std::move(failure));
        }
    };
    if (installs) {
        logo_->installHelper(std::move(done));
    } else {
        logo_->uninstallHelper(std::move(done));
    }
}

void AppState::finishHelperRun(bool installed, std::optional<std::string> failure) {
    setLogoHelperBusy(false);
    setLogoHelperMessage(std::move(failure));
    refreshHelperStatus();
    if (!installed) {
        return;
    }
    // The freshly started helper needs a moment before it listens.
    QPointer<AppState> weak(this);
    helperRecheck_ = ScheduledTask(scheduler_, scheduler_.after(0.8, [weak] {
        if (!weak) {
            return;
        }
        weak->helperRecheck_.release();
        weak->refreshHelperStatus();
        if (weak->instrument_.pulsesLogo && weak->isEnabled_) {
            weak->logo_->setPulsing(true);
        }
    }));
}

void AppState::shutdown() {
    if (hasShutDown_) {
        return;
    }
    hasShutDown_ = true;
    Logger::info("Plinkora quitting");
    overlay_->hide();
    logo_->leaveLit();
}

void AppState::toggle() {
    setIsEnabled(!isEnabled_);
}

void AppState::saveRecentPlay() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation) +
                           QStringLiteral("/Plinkora");
    const QString name = QStringLiteral("Plinkora ") + QDateTime::currentDateTime().toString(
                                                           QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QPointer<AppState> weak(this);
    piano_->saveRecent(
        folder.toStdString(), name.toStdString(), [weak, folder](const SavedPlay& saved) {
            if (!weak) {
                return;
            }
            if (saved.nothingPlayed) {
                Logger::info("nothing played in the last five minutes: nothing saved");
                Q_EMIT weak->saveReported(tr("Nothing to save"),
                                          tr("Nothing was played in the last five minutes."));
            } else if (!saved.problem.empty()) {
                Logger::error("could not save what was just played: " + saved.problem);
                Q_EMIT weak->saveReported(tr("Could not save what you just played"),
                                          QString::fromStdString(saved.problem));
            } else {
                Logger::info("saved what was just played: " + saved.midiFile + ", " +
                             saved.audioFile);
                Q_EMIT weak->saveReported(
                    tr("Saved what you just played"),
                    tr("%1 and %2 in %3")
                        .arg(QFileInfo(QString::fromStdString(saved.midiFile)).fileName(),
                             QFileInfo(QString::fromStdString(saved.audioFile)).fileName(),
                             folder));
            }
        });
}

} // namespace plinkora
