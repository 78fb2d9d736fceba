// The settings form over a real AppState: every section's rows, texts and bindings.
#include "ChildProcess.hpp"
#include "TempHome.hpp"
#include "UiFixture.hpp"
#include "ui/KeySection.hpp"
#include "ui/LogoSection.hpp"
#include "ui/MenuContent.hpp"
#include "ui/PlayingSection.hpp"
#include "ui/SettingsView.hpp"
#include "ui/SettingsWindowController.hpp"
#include "ui/StatusSection.hpp"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace plinkora;
using namespace plinkora::testing;
using music::KeyRoot;
using music::ScaleMode;
using plinkora::ui::SettingsView;

namespace {

class SettingsFormTest : public ::testing::Test {
protected:
    SettingsView& makeView(bool sandboxed = false) {
        view = std::make_unique<SettingsView>(app.state(), sandboxed, [this] { ++updateChecks; });
        view->resize(520, 2400);
        view->show();
        return *view;
    }

    template <typename T> T& child(const char* name) {
        T* found = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }

    QString text(const char* name) { return child<QLabel>(name).text(); }

    /// Shows the form again, as opening the window after closing it does.
    void reopen() {
        view->hide();
        view->show();
    }

    /// A list's entries, joined by spaces.
    static QString items(const QComboBox& box) {
        QStringList all;
        for (int index = 0; index < box.count(); ++index) {
            all << box.itemText(index);
        }
        return all.join(u' ');
    }

    UiFixture app;
    std::unique_ptr<SettingsView> view;
    int updateChecks = 0;
};

} // namespace

// On GNOME the key goes into GNOME's own shortcuts (its real schema, in a private keyfile)
// beside the user's, and comes out again.
TEST_F(SettingsFormTest, OnGnomeTheKeyIsAddedToGnomesShortcutsAndTakenOutAgain) {
    plinkora::testing::ScopedEnv desktop("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    plinkora::testing::ScopedEnv backend("GSETTINGS_BACKEND", "keyfile");
    const auto gsettings = [](const std::string& verb, const std::string& schema,
                              const std::string& key, const std::string& value = {}) {
        std::vector<std::string> argv{"gsettings", verb, schema, key};
        if (!value.empty()) {
            argv.push_back(value);
        }
        const std::string out = plinkora::testing::runCommand(argv);
        return out.substr(0, out.find('\n'));
    };
    const std::string list = "org.gnome.settings-daemon.plugins.media-keys";
    const std::string own = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
    const std::string entry = list + ".custom-keybinding:" + own + "plinkora/";
    gsettings("set", list, "custom-keybindings", "['" + own + "custom0/']");
    makeView();
    auto& button = child<QPushButton>("gnomeShortcut");
    app.hotKey->become(HotKey::State::active);
    EXPECT_FALSE(button.isVisible()) << "offered where the key already works";
    app.hotKey->become(HotKey::State::activeInX11Only);
    ASSERT_TRUE(button.isVisible());

    button.click();
    EXPECT_EQ(gsettings("get", list, "custom-keybindings"),
              "['" + own + "custom0/', '" + own + "plinkora/', '" + own + "plinkora-save/']");
    EXPECT_EQ(gsettings("get", entry, "binding"), "'<Control><Alt><Super>m'");
    EXPECT_EQ(gsettings("get", entry, "command"), "'plinkora --toggle'");
    EXPECT_EQ(gsettings("get", list + ".custom-keybinding:" + own + "plinkora-save/", "command"),
              "'plinkora --save'");
    EXPECT_EQ(button.text(), QStringLiteral("Remove from GNOME Keyboard Shortcuts"));

    button.click();
    EXPECT_EQ(gsettings("get", list, "custom-keybindings"), "['" + own + "custom0/']");
    EXPECT_EQ(gsettings("get", entry, "binding"), "''");
    EXPECT_EQ(button.text(), QStringLiteral("Add to GNOME Keyboard Shortcuts"));
}

TEST_F(SettingsFormTest, KeyNamesRespellWithTheModeWithoutChangingTheSelection) {
    app.state().setKeyRoot(KeyRoot::cSharp);
    makeView();
    auto& key = child<QComboBox>("key");
    EXPECT_EQ(items(key), QString::fromUtf8("C D♭ D E♭ E F F♯ G A♭ A B♭ B"));
    EXPECT_EQ(key.currentText(), QString::fromUtf8("D♭"));

    auto& mode = child<QComboBox>("mode");
    EXPECT_EQ(mode.count(), 9);
    mode.setFocus();
    QTest::keyClick(&mode, Qt::Key_Down);
    EXPECT_EQ(app.state().scaleMode(), ScaleMode::minor);
    EXPECT_EQ(items(key), QString::fromUtf8("C C♯ D E♭ E F F♯ G G♯ A B♭ B"));
    EXPECT_EQ(key.currentIndex(), 1);
    EXPECT_EQ(app.state().keyRoot(), KeyRoot::cSharp);

    // A mode changed elsewhere (the state restored from a file, say) shows here too.
    app.state().setScaleMode(ScaleMode::blues);
    EXPECT_EQ(mode.currentText(), QStringLiteral("Blues"));
    app.state().setScaleMode(ScaleMode::major);
    EXPECT_EQ(mode.currentIndex(), 0);
    EXPECT_EQ(key.currentText(), QString::fromUtf8("D♭"));
}

// A stored length between the steps shows as it is and is not rounded onto a step.
TEST_F(SettingsFormTest, ANoteLengthBetweenTheStepsIsShownAndKeptAsItIs) {
    makeView();
    app.state().setNoteLength(3.1);
    EXPECT_EQ(text("noteLengthValue"), QStringLiteral("3.10 s"));
    EXPECT_EQ(child<QSlider>("noteLength").value(), 10);
    EXPECT_DOUBLE_EQ(app.state().noteLength(), 3.1);
}

// Every control bound to a setting, in the window and in the menu: the user's choice sets it
// (running its action), and a change from elsewhere shows there without being written back.
TEST_F(SettingsFormTest, EveryBoundControlSetsItsSettingAndFollowsItWithoutWritingBack) {
    makeView();
    ui::MenuContent tray(app.state(), {}, false);
    // How many actions one assignment runs, when it changes the value and when it does not:
    // a control writing back what it shows would run them twice.
    const auto actionsRun = [&](const auto& setting, auto value) {
        const std::size_t mark = app.log.size();
        app.state().set(setting, value);
        const std::size_t changing = app.log.size() - mark;
        app.state().set(setting, value);
        EXPECT_EQ(changing, app.log.size() - mark - changing) << "written back";
    };
    const struct {
        QObject* control;
        BoundSetting<bool> setting;
    } toggles[] = {
        {findWithText<QCheckBox>(*view, QStringLiteral("Plinkora On")), setting::isEnabled},
        {findWithText<QCheckBox>(*view, QStringLiteral("Show note separator lines")),
         setting::showsGuides},
        {&child<QCheckBox>("midiOutput"), setting::midiOutput},
        {findWithText<QCheckBox>(*view, QStringLiteral("Pulse the logo on the lid")),
         setting::pulsesLogo},
        {findWithText<QAction>(tray.menu(), QStringLiteral("Plinkora On")), setting::isEnabled},
        {findWithText<QAction>(tray.menu(), QStringLiteral("Show Note Lines")),
         setting::showsGuides},
        {findWithText<QAction>(tray.menu(), QStringLiteral("Pulse Lid Logo")), setting::pulsesLogo},
    };
    for (const auto& toggle : toggles) {
        ASSERT_NE(toggle.control, nullptr);
        SCOPED_TRACE(toggle.control->property("text").toString().toStdString());
        auto* button = qobject_cast<QAbstractButton*>(toggle.control);
        auto* action = qobject_cast<QAction*>(toggle.control);
        const auto shown = [&] { return button ? button->isChecked() : action->isChecked(); };
        app.state().set(toggle.setting, false);
        button ? button->click() : action->trigger();
        EXPECT_TRUE(app.state().get(toggle.setting));
        actionsRun(toggle.setting, false);
        EXPECT_FALSE(shown());
        actionsRun(toggle.setting, true);
        EXPECT_TRUE(shown());
        app.state().set(toggle.setting, false);
    }

    // The lists: in the window by the keyboard, in the menu by an entry.
    const auto list = [&](const char* name, const auto& setting, auto chosen, auto other) {
        SCOPED_TRACE(name);
        auto& box = child<QComboBox>(name);
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_End);
        EXPECT_EQ(app.state().get(setting), chosen);
        actionsRun(setting, other);
        EXPECT_EQ(box.currentData().toInt(), static_cast<int>(other));
    };
    list("orientation", setting::orientation, music::ZoneOrientation::horizontal,
         music::ZoneOrientation::vertical);
    list("sound", setting::sound, music::Sound::steelDrums, music::Sound::grandPiano);
    list("dynamics", setting::dynamics, music::kAllDynamics.back(), music::Dynamics::fixed);
    const auto submenu = [&](const char* title, const auto& setting, int chosen, int other) {
        SCOPED_TRACE(title);
        QMenu* menu = findWithText<QAction>(tray.menu(), QLatin1String(title))->menu();
        ASSERT_NE(menu, nullptr);
        menu->actions()[chosen]->trigger();
        EXPECT_EQ(static_cast<int>(app.state().get(setting)), chosen);
        menu->actions()[chosen]->trigger();
        EXPECT_TRUE(menu->actions()[chosen]->isChecked()) << "choosing it again keeps it";
        using Value = decltype(app.state().get(setting));
        actionsRun(setting, static_cast<Value>(other));
        EXPECT_TRUE(menu->actions()[other]->isChecked());
        EXPECT_FALSE(menu->actions()[chosen]->isChecked());
    };
    submenu("Orientation", setting::orientation, 1, 0);
    submenu("Mode", setting::scaleMode, 7, 2);
    EXPECT_EQ(app.state().scaleMode(), music::ScaleMode::dorian);
}

TEST_F(SettingsFormTest, PlayingRowsFollowTheState) {
    makeView();
    ASSERT_NE(findWithText<QLabel>(*view, QStringLiteral("Ctrl+Alt+Super+M")), nullptr);
    // Only MIDI out can stand in for the built-in sound.
    auto& midi = child<QCheckBox>("midiOutput");
    auto& builtIn = child<QCheckBox>("playsBuiltInSound");
    EXPECT_FALSE(builtIn.isEnabled());
    app.state().setMidiOutput(true);
    builtIn.click();
    EXPECT_FALSE(app.state().playsBuiltInSound());
    app.state().setMidiOutput(false);
    EXPECT_FALSE(midi.isChecked() || builtIn.isEnabled());

    EXPECT_EQ(child<QComboBox>("sound").count(), 16);
    auto& bank = child<QLabel>("soundBank");
    auto& systemBank = child<QPushButton>("systemSoundBank");
    EXPECT_EQ(bank.text(), QStringLiteral("System General MIDI"));
    app.state().setSoundBank("/music/Bright Piano.sf2");
    EXPECT_EQ(bank.text(), QStringLiteral("Bright Piano.sf2"));
    systemBank.click();
    EXPECT_TRUE(app.state().soundBank().empty());
    EXPECT_TRUE(systemBank.isHidden());

    // A login item that cannot be written turns the toggle back and says why, as plain text.
    auto* login = findWithText<QCheckBox>(*view, QStringLiteral("Launch at login"));
    auto& why = child<QLabel>("loginItemMessage");
    EXPECT_FALSE(why.isVisible());
    app.loginItem->failure = "<b>the path</b> cannot be written";
    login->click();
    EXPECT_FALSE(login->isChecked());
    EXPECT_TRUE(why.isVisible());
    EXPECT_EQ(why.text(), QStringLiteral("<b>the path</b> cannot be written"));
    EXPECT_EQ(why.textFormat(), Qt::PlainText);
}

TEST_F(SettingsFormTest, HelperReadOutShowsEveryState) {
    makeView();
    auto& status = child<QLabel>("helperStatus");
    auto& dot = child<QLabel>("helperDot");
    auto* refresh = findWithText<QPushButton>(*view, QStringLiteral("Refresh"));
    ASSERT_NE(refresh, nullptr);

    EXPECT_EQ(status.text(), QStringLiteral("Not installed"));
    EXPECT_LT(pixmapCentre(dot).hsvSaturation(), 30) << "grey";
    EXPECT_NE(findWithText<QPushButton>(*view, QString::fromUtf8("Install Helper…")), nullptr);

    app.installHelperFiles();
    app.setHelperRunning(true);
    refresh->click();
    EXPECT_EQ(status.text(), QStringLiteral("Installed and running"));
    EXPECT_NEAR(pixmapCentre(dot).hsvHue(), 135, 15) << "green";
    EXPECT_NE(findWithText<QPushButton>(*view, QString::fromUtf8("Uninstall Helper…")), nullptr);

    // Showing the form again looks again: the helper stopped meanwhile.
    app.setHelperRunning(false);
    reopen();
    EXPECT_EQ(status.text(), QStringLiteral("Installed, not running"));
    EXPECT_NEAR(pixmapCentre(dot).hsvHue(), 35, 15) << "orange";

    // A computer without the light is told so.
    QDir(app.home.path() + QStringLiteral("/leds")).removeRecursively();
    app.setHelperRunning(true);
    refresh->click();
    EXPECT_EQ(status.text(), QStringLiteral("Installed, but this computer has no lid-logo light"));

    // While the administrator step runs the window stays live, says so, and takes no second one.
    app.logo->holdsReplies = true;
    auto* uninstall = findWithText<QPushButton>(*view, QString::fromUtf8("Uninstall Helper…"));
    uninstall->click();
    EXPECT_EQ(status.text(), QString::fromUtf8("Waiting for the administrator password…"));
    EXPECT_FALSE(uninstall->isEnabled());
    app.removeHelperFiles();
    app.logo->finishPending();
    EXPECT_EQ(status.text(), QStringLiteral("Not installed"));
    EXPECT_TRUE(uninstall->isEnabled());

    // Where the session switches the light itself, the helper's rows give way to a note.
    auto& direct = child<QLabel>("logoDirect");
    EXPECT_FALSE(direct.isVisible());
    app.logo->switchesDirectly = true;
    app.logo->onNeedsHelperChanged();
    EXPECT_TRUE(direct.isVisible());
    EXPECT_FALSE(status.isVisible());
    EXPECT_FALSE(refresh->isVisible());
}

TEST_F(SettingsFormTest, AFailedUninstallShowsItsMessageInRedAndTheRefreshedStatus) {
    app.installHelperFiles();
    app.setHelperRunning(true);
    app.state().refreshHelperStatus();
    makeView();
    auto& message = child<QLabel>("helperMessage");
    EXPECT_FALSE(message.isVisible());

    app.logo->failure = "<b>Request</b> dismissed by the administrator prompt.";
    findWithText<QPushButton>(*view, QString::fromUtf8("Uninstall Helper…"))->click();
    EXPECT_EQ(app.log.back(), "logo.uninstallHelper");
    EXPECT_TRUE(message.isVisible());
    EXPECT_EQ(message.text(),
              QStringLiteral("<b>Request</b> dismissed by the administrator prompt."));
    EXPECT_EQ(message.textFormat(), Qt::PlainText);
    // Red where it counts: in the pixels painted, not only in the palette.
    EXPECT_GT(countPixels(message.grab().toImage(),
                          [](QColor pixel) {
                              return pixel.red() > pixel.green() + 80 &&
                                     pixel.red() > pixel.blue() + 80;
                          }),
              20);
    EXPECT_EQ(text("helperStatus"), QStringLiteral("Installed and running"));

    // The next uninstall goes through: the message goes and the read-out follows the files.
    app.logo->failure.clear();
    app.removeHelperFiles();
    findWithText<QPushButton>(*view, QString::fromUtf8("Uninstall Helper…"))->click();
    EXPECT_FALSE(message.isVisible());
    EXPECT_EQ(text("helperStatus"), QStringLiteral("Not installed"));
    EXPECT_NE(findWithText<QPushButton>(*view, QString::fromUtf8("Install Helper…")), nullptr);
}

TEST_F(SettingsFormTest, WhenSandboxedTheLogoSectionLinksTheDownload) {
    makeView(/*sandboxed=*/true);
    auto* section = view->findChild<ui::LogoSection*>();
    EXPECT_TRUE(section->findChildren<QCheckBox*>().empty() &&
                section->findChildren<QPushButton*>().empty());
    EXPECT_TRUE(
        text("downloadLink").contains(QStringLiteral("href=\"https://plinkora.org/plinkora/\"")));
}

TEST_F(SettingsFormTest, UpdatesFollowTheUpdater) {
    makeView();
    auto* automatic =
        findWithText<QCheckBox>(*view, QStringLiteral("Check for updates automatically"));
    auto* check = findWithText<QPushButton>(*view, QString::fromUtf8("Check for Updates…"));
    ASSERT_TRUE(automatic && check);
    EXPECT_TRUE(automatic->isChecked());
    automatic->click();
    EXPECT_FALSE(app.updater->automaticallyChecksForUpdates());
    app.updater->setAutomaticallyChecksForUpdates(true);
    EXPECT_TRUE(automatic->isChecked());

    EXPECT_FALSE(check->isEnabled());
    app.updater->setCanCheck(true);
    EXPECT_TRUE(check->isEnabled());
    check->click();
    EXPECT_EQ(updateChecks, 1);

    // A build that cannot update itself offers neither row and says why.
    for (const auto availability :
         {Updater::Availability::notInThisBuild, Updater::Availability::byTheDesktop}) {
        app.updater->availableAs = availability;
        makeView();
        automatic =
            findWithText<QCheckBox>(*view, QStringLiteral("Check for updates automatically"));
        check = findWithText<QPushButton>(*view, QString::fromUtf8("Check for Updates…"));
        app.updater->setCanCheck(true);
        EXPECT_FALSE(automatic->isEnabled() || automatic->isChecked() || check->isEnabled());
    }
}

// A screen reader names every control it can reach, in the window and in the tray menu.
TEST_F(SettingsFormTest, EveryControlHasAName) {
    makeView();
    for (QWidget* control : view->findChildren<QWidget*>()) {
        if (control->focusPolicy() == Qt::NoFocus || !control->isVisibleTo(view.get()) ||
            qobject_cast<QScrollBar*>(control) != nullptr) {
            continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        // On Linux a list's name is what it shows; what it chooses comes from its label.
        const bool isList = qobject_cast<QComboBox*>(control) != nullptr;
        EXPECT_TRUE(!accessible->text(QAccessible::Name).trimmed().isEmpty() &&
                    (!isList || !accessible->relations(QAccessible::Label).isEmpty()))
            << control->metaObject()->className() << " " << control->objectName().toStdString();
    }
    ui::MenuContent menu(app.state(), {}, false);
    for (const QAction* action : menu.menu().actions()) {
        EXPECT_TRUE(action->isSeparator() || !action->text().isEmpty());
    }
}
