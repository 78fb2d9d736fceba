#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "RecordingControllers.hpp"
#include "TempHome.hpp"

#include <QRegularExpression>
#include <QSettings>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plinkora;
using namespace plinkora::testing;
using music::KeyRoot;
using music::ScaleMode;
using music::ZoneOrientation;
using ::testing::ElementsAre;

namespace {

class AppStateTest : public ::testing::Test {
protected:
    std::unique_ptr<RecordingApp> makeApp() {
        auto app = std::make_unique<RecordingApp>(clock, home.settingsFile());
        return app;
    }
    /// Everything logged after `mark` calls were already there.
    static std::vector<std::string> since(const CallLog& log, std::size_t mark) {
        return {log.begin() + static_cast<std::ptrdiff_t>(mark), log.end()};
    }
    QSettings stored() const { return QSettings(home.settingsFile(), QSettings::IniFormat); }

    TempHome home;
    ManualScheduler clock;
    LogCapture logs;
};

} // namespace

TEST_F(AppStateTest, ConstructionOrderAndFreshDefaults) {
    auto app = makeApp();
    EXPECT_THAT(app->log,
                ElementsAre("overlay.create", "piano.create", "logo.create", "updater.create",
                            "overlay.orientation(vertical)", "overlay.showsGuides(false)",
                            "overlay.dynamics(fixed)", "piano.noteLength(2)", "piano.sound(piano)",
                            "piano.soundBank()", "piano.builtInSound(true)",
                            "piano.midiOutput(false)", "piano.scale(C major 9)",
                            "overlay.scale(C major 9)", "hotKey.create", "hotKey.create"));
    EXPECT_EQ(app->hotKeyKey, Qt::Key_M);
    EXPECT_EQ(app->hotKeyModifiers, Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    EXPECT_EQ(app->state->lastInputDescription(), "None yet");
    EXPECT_TRUE(logs.contains("scale is now C major: C4 D4 E4 F4 G4 A4 B4 C5 D5"));
    // Nothing is written at start-up.
    EXPECT_TRUE(stored().allKeys().isEmpty());
}

TEST_F(AppStateTest, SwitchingOnAndOffCallsControllersInOrder) {
    auto app = makeApp();
    auto& state = *app->state;
    app->piano->deviceName = "Speakers";

    std::size_t mark = app->log.size();
    state.setIsEnabled(true);
    EXPECT_THAT(since(app->log, mark),
                ElementsAre("piano.start", "overlay.show", "logo.setPulsing(false)"));
    EXPECT_EQ(state.audioOutputName(), "Speakers");
    EXPECT_TRUE(logs.contains("audio engine running on Speakers"));

    // Assigning the same value runs the same branch again.
    mark = app->log.size();
    state.setIsEnabled(true);
    EXPECT_THAT(since(app->log, mark),
                ElementsAre("piano.start", "overlay.show", "logo.setPulsing(false)"));
    EXPECT_EQ(logs.count("Plinkora on"), 2u);

    mark = app->log.size();
    state.setIsEnabled(false);
    EXPECT_THAT(since(app->log, mark),
                ElementsAre("overlay.hide", "piano.stopAfterTail", "logo.setPulsing(false)"));
    EXPECT_TRUE(logs.contains("Plinkora off"));

    app->piano->startSucceeds = false;
    app->piano->running = false;
    state.setPulsesLogo(true);
    mark = app->log.size();
    state.setIsEnabled(true);
    EXPECT_THAT(since(app->log, mark),
                ElementsAre("piano.start", "overlay.show", "logo.setPulsing(true)"));
    EXPECT_TRUE(logs.contains("audio engine NOT running on Speakers"));
}

TEST_F(AppStateTest, ChangeSignalsFireOnlyOnChangeButActionsAlwaysRun) {
    auto app = makeApp();
    auto& state = *app->state;
    int keySignals = 0;
    QObject::connect(&state, &AppState::keyRootChanged, [&] { ++keySignals; });
    const std::size_t mark = app->log.size();
    logs.clear();
    state.setKeyRoot(KeyRoot::c);
    EXPECT_EQ(keySignals, 0);
    EXPECT_THAT(since(app->log, mark),
                ElementsAre("piano.scale(C major 9)", "overlay.scale(C major 9)"));
    EXPECT_EQ(logs.count("scale is now C major"), 1u);
    EXPECT_EQ(stored().value(QStringLiteral("keyRoot")).toInt(), 0);

    state.setKeyRoot(KeyRoot::g);
    state.setZoneCount(12);
    EXPECT_EQ(keySignals, 1);
    EXPECT_TRUE(logs.contains("scale is now G major: G3 A3 B3 C4 D4 E4 F♯4 G4 A4 B4 C5 D5"));
    EXPECT_EQ(app->piano->scale, (music::Scale{KeyRoot::g, ScaleMode::major, 12}));
}

TEST_F(AppStateTest, SettersPersistWhatTheyAreGivenAndClampOnlyForThePiano) {
    auto app = makeApp();
    auto& state = *app->state;
    // Each setter's action hands its controller the value just set.
    const std::pair<std::function<void()>, const char*> assignments[] = {
        {[&] { state.setOrientation(ZoneOrientation::horizontal); },
         "overlay.orientation(horizontal)"},
        {[&] { state.setScaleMode(ScaleMode::minor); }, "overlay.scale(C minor 9)"},
        {[&] { state.setZoneCount(20); }, "overlay.scale(C minor 20)"},
        {[&] { state.setShowsGuides(true); }, "overlay.showsGuides(true)"},
        {[&] { state.setDynamics(music::Dynamics::position); }, "overlay.dynamics(position)"},
        {[&] { state.setSound(music::Sound::flute); }, "piano.sound(flute)"},
        {[&] { state.setSoundBank("/music/Bright Piano.sf2"); },
         "piano.soundBank(/music/Bright Piano.sf2)"},
        {[&] { state.setMidiOutput(true); }, "piano.midiOutput(true)"},
        {[&] { state.setPlaysBuiltInSound(false); }, "piano.builtInSound(false)"},
        {[&] { state.setNoteLength(20.0); }, "piano.noteLength(8)"},
        {[&] { state.setNoteLength(0.3); }, "piano.noteLength(0.5)"},
    };
    for (const auto& [assign, handed] : assignments) {
        assign();
        EXPECT_EQ(app->log.back(), handed);
    }
    EXPECT_EQ(state.noteLength(), 0.3);
    app->piano->onSoundBankResult("/music/Bright Piano.sf2 is not a SoundFont");
    EXPECT_EQ(state.soundBankMessage(), "/music/Bright Piano.sf2 is not a SoundFont");

    state.settings().flush();
    EXPECT_EQ(stored().value(QStringLiteral("zoneCount")).toInt(), 20);

    // A restart validates what was stored.
    app.reset();
    auto again = makeApp();
    EXPECT_EQ(again->state->zoneCount(), 9);
    EXPECT_EQ(again->state->orientation(), ZoneOrientation::horizontal);
    EXPECT_EQ(again->state->scaleMode(), ScaleMode::minor);
    EXPECT_TRUE(again->state->showsGuides());
    EXPECT_DOUBLE_EQ(again->state->noteLength(), 0.3);
    EXPECT_EQ(again->piano->noteLength(), 0.5);
    EXPECT_EQ(again->state->sound(), music::Sound::flute);
    EXPECT_EQ(again->state->soundBank(), "/music/Bright Piano.sf2");
    EXPECT_TRUE(again->state->midiOutput());
    EXPECT_FALSE(again->state->playsBuiltInSound());
    EXPECT_THAT(again->log, ::testing::IsSupersetOf(
                                {"piano.sound(flute)", "piano.soundBank(/music/Bright Piano.sf2)",
                                 "piano.midiOutput(true)", "piano.builtInSound(false)"}));
}

TEST_F(AppStateTest, StrikeRoutingAndInputReport) {
    auto app = makeApp();
    auto& state = *app->state;
    state.setIsEnabled(true);
    int inputSignals = 0;
    QObject::connect(&state, &AppState::lastInputChanged, [&] { ++inputSignals; });

    std::size_t mark = app->log.size();
    app->overlay->onStrike(0, 10, 10, StrikeSource::click, 92);
    EXPECT_THAT(since(app->log, mark), ElementsAre("piano.play(0,92)"));
    ASSERT_TRUE(state.lastInput());
    EXPECT_EQ(state.lastInput()->zone, 0);
    const std::string described = state.lastInputDescription();
    EXPECT_EQ(described.rfind("Click · C4 · ", 0), 0u) << described;

    // The description follows the current scale, not the one of the strike.
    state.setKeyRoot(KeyRoot::d);
    EXPECT_EQ(state.lastInputDescription().rfind("Click · D4 · ", 0), 0u);
    // The time in the locale's own short style, with nothing stray, in locales whose long
    // style wraps the time zone in brackets.
    for (const char* name : {"ca_ES", "eu_ES", "fa_IR", "nds_DE", "yue_HK", "zh_TW", "en_US"}) {
        const QLocale locale{QString::fromUtf8(name)};
        QLocale::setDefault(locale);
        const QString time = QString::fromStdString(state.lastInputDescription())
                                 .section(QStringLiteral(" \u00B7 "), 2);
        EXPECT_EQ(time, locale.toString(state.lastInput()->date.time(), QLocale::ShortFormat))
            << name;
        EXPECT_FALSE(time.contains(QRegularExpression(QStringLiteral("[()\\[\\]]|^\\s|\\s$"))))
            << name << ": " << time.toStdString();
    }
    QLocale::setDefault(QLocale::c());

    state.setPulsesLogo(true);
    state.setNoteLength(20.0);
    mark = app->log.size();
    // Each strike plays as hard as the overlay's dynamics made it.
    app->overlay->onStrike(12, 0, 0, StrikeSource::touch, 92);
    app->overlay->onStrike(3, 0, 0, StrikeSource::touch, 127);
    EXPECT_THAT(since(app->log, mark), ElementsAre("piano.play(12,92)", "logo.noteStruck(3.2)",
                                                   "piano.play(3,127)", "logo.noteStruck(3.2)"));
    EXPECT_EQ(inputSignals, 3);
    EXPECT_EQ(state.lastInput()->zone, 3);
    app->overlay->onStrike(12, 0, 0, StrikeSource::touch, 92);
    EXPECT_EQ(state.lastInputDescription().rfind("Touch · zone 13 · ", 0), 0u);

    app->overlay->onTouchDiagnostic("touch at (1, 2)");
    EXPECT_EQ(state.lastTouchDiagnostic(), "touch at (1, 2)");
    EXPECT_TRUE(logs.contains("touch touch at (1, 2)"));

    app->piano->deviceName = "Headphones";
    app->piano->onOutputDeviceChange();
    EXPECT_EQ(state.audioOutputName(), "Headphones");
    EXPECT_TRUE(logs.contains("audio output is now Headphones"));
}

TEST_F(AppStateTest, PulsingFollowsEnabledAndQuitLeavesTheLogoLit) {
    auto app = makeApp();
    auto& state = *app->state;
    std::size_t mark = app->log.size();
    state.setPulsesLogo(true);
    EXPECT_THAT(since(app->log, mark), ElementsAre("logo.setPulsing(false)"));
    app->overlay->onStrike(1, 0, 0, StrikeSource::click, 92);

    state.setIsEnabled(true);
    mark = app->log.size();
    state.shutdown();
    state.shutdown();
    EXPECT_THAT(since(app->log, mark), ElementsAre("overlay.hide", "logo.leaveLit"));
    EXPECT_TRUE(state.isEnabled());
}

TEST_F(AppStateTest, HelperInstallRechecksAfterPointEightSeconds) {
    const QString unit = home.path() + QStringLiteral("/unit.service");
    const QString pipe = home.path() + QStringLiteral("/logo-control");
    RecordingApp app(clock, home.settingsFile(),
                     HelperStatus(HelperPaths{.pipePath = pipe.toStdString(),
                                              .serviceUnitPath = unit.toStdString()}));
    auto& state = *app.state;
    EXPECT_FALSE(state.logoHelperInstalled());
    state.setPulsesLogo(true);
    state.setIsEnabled(true);

    home.writeFile(QStringLiteral("unit.service"), "[Unit]\n");
    std::size_t mark = app.log.size();
    state.installLogoHelper();
    EXPECT_THAT(since(app.log, mark), ElementsAre("logo.installHelper"));
    EXPECT_TRUE(state.logoHelperInstalled());
    EXPECT_FALSE(state.logoHelperRunning());
    EXPECT_FALSE(state.logoHelperMessage());

    // The helper starts listening a moment later.
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0666), 0);
    state.refreshHelperStatus();
    EXPECT_FALSE(state.logoHelperRunning()) << "a pipe without a reader is no running helper";
    const int reader = ::open(pipe.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    clock.advance(0.79);
    EXPECT_FALSE(state.logoHelperRunning());
    clock.advance(0.02);
    EXPECT_TRUE(state.logoHelperRunning());
    EXPECT_EQ(app.log.back(), "logo.setPulsing(true)");
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "the probe wrote to the pipe";
    ::close(reader);

    app.logo->failure = "The installer did not finish.";
    state.installLogoHelper();
    EXPECT_EQ(state.logoHelperMessage(), "The installer did not finish.");
    state.setIsEnabled(false);
    mark = app.log.size();
    clock.advance(1.0);
    // Off by now: the re-check refreshes but does not assert pulsing.
    EXPECT_TRUE(since(app.log, mark).empty());

    // Until the administrator step ends the state says so, and a second request waits its turn.
    app.logo->holdsReplies = true;
    mark = app.log.size();
    state.uninstallLogoHelper();
    EXPECT_TRUE(state.logoHelperBusy());
    state.installLogoHelper();
    EXPECT_THAT(since(app.log, mark), ElementsAre("logo.uninstallHelper"));
    app.logo->finishPending();
    EXPECT_FALSE(state.logoHelperBusy());
    EXPECT_EQ(state.logoHelperMessage(), "The installer did not finish.");
    app.logo->holdsReplies = false;
    app.logo->failure.clear();
    state.uninstallLogoHelper();
    EXPECT_FALSE(state.logoHelperMessage());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(AppStateTest, FailedLoginItemChangeIsLoggedAndUndone) {
    auto app = makeApp();
    auto& state = *app->state;
    app->loginItem->failure = "permission denied";
    std::vector<bool> seen;
    QObject::connect(&state, &AppState::launchesAtLoginChanged,
                     [&](bool on) { seen.push_back(on); });
    state.setLaunchesAtLogin(true);
    EXPECT_FALSE(state.launchesAtLogin());
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    EXPECT_EQ(app->loginItem->calls, 1);
    EXPECT_EQ(logs.count("Plinkora: launch at login change failed: permission denied"), 1u);
    EXPECT_EQ(state.loginItemMessage(), "permission denied");

    app->loginItem->failure.clear();
    state.setLaunchesAtLogin(true);
    EXPECT_TRUE(state.launchesAtLogin());
    EXPECT_TRUE(app->loginItem->enabled);
    EXPECT_FALSE(state.loginItemMessage());
}

TEST_F(AppStateTest, SavingTheLastMinutesIsAKeyAwayAndSaysHowItWent) {
    auto app = makeApp();
    ASSERT_EQ(app->hotKeys.count(Qt::Key_S), 1u);
    QStringList reports;
    QObject::connect(app->state.get(), &AppState::saveReported,
                     [&](const QString& summary, const QString& body) {
                         reports << summary + QStringLiteral(": ") + body;
                     });
    const std::string folder = home.path().toStdString() + "/Music/Plinkora";
    for (const SavedPlay& saved :
         {SavedPlay{true, {}, {}, {}}, SavedPlay{false, folder + "/a.mid", folder + "/a.flac", {}},
          SavedPlay{false, folder + "/a.mid", {}, "could not write " + folder + "/a.flac"}}) {
        app->hotKeys[Qt::Key_S]->action();
        ASSERT_EQ(app->log.back(), "piano.saveRecent(" + folder + ")");
        app->piano->finishSave(saved);
    }
    EXPECT_EQ(reports,
              QStringList({QStringLiteral("Nothing to save: Nothing was played in the last five "
                                          "minutes."),
                           QStringLiteral("Saved what you just played: a.mid and a.flac in ") +
                               QString::fromStdString(folder),
                           QStringLiteral("Could not save what you just played: could not write ") +
                               QString::fromStdString(folder) + QStringLiteral("/a.flac")}));
}

TEST_F(AppStateTest, CallbacksDoNothingOnceTheStateIsGone) {
    auto app = makeApp();
    auto strike = app->overlay->onStrike;
    auto diagnostic = app->overlay->onTouchDiagnostic;
    auto hotKeyAction = app->hotKey->action;
    app->state.reset();
    logs.clear();
    strike(0, 0, 0, StrikeSource::click, 92);
    hotKeyAction();
    diagnostic("late");
    EXPECT_EQ(logs.texts(), std::vector<std::string>{"touch late"});
}
