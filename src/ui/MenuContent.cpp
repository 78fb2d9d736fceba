#include "ui/MenuContent.hpp"

#include "app/AppState.hpp"
#include "ui/SettingBinding.hpp"

#include <QActionGroup>

namespace plinkora::ui {

MenuContent::MenuContent(AppState& state, Actions actions, bool sandboxed, QObject* parent)
    : QObject(parent)
    , state_(state)
    , actions_(std::move(actions))
    , menu_(std::make_unique<QMenu>()) {
    QMenu& menu = *menu_;

    enabled_ = bindToggle(menu.addAction(tr("Plinkora On")), state_, setting::isEnabled);

    // Only a key that works from anywhere is offered here; the window says what else to do.
    QAction* hint = menu.addAction(tr("Toggle anywhere with Ctrl+Alt+Super+M"));
    hint->setEnabled(false);
    const auto showHint = [this, hint] {
        hint->setVisible(state_.hotKeyState() == HotKey::State::active);
    };
    showHint();
    connect(&state_, &AppState::hotKeyStateChanged, hint, showHint);

    menu.addSeparator();
    boundChoiceMenu(menu, tr("Orientation"), music::kAllOrientations, state_, setting::orientation);
    boundChoiceMenu(menu, tr("Mode"), music::kAllModes, state_, setting::scaleMode);
    showsGuides_ = bindToggle(menu.addAction(tr("Show Note Lines")), state_, setting::showsGuides);
    if (!sandboxed) {
        pulsesLogo_ = bindToggle(menu.addAction(tr("Pulse Lid Logo")), state_, setting::pulsesLogo);
    }

    menu.addSeparator();

    // Saved from memory: nothing has to be started before playing.
    QAction* save = menu.addAction(tr("Save What I Just Played"));
    connect(save, &QAction::triggered, this, [this] { state_.saveRecentPlay(); });

    QAction* settings = menu.addAction(tr("Settings…"));
    // No shortcuts shown: a tray menu has no focus for them to work in.
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, [this] {
        if (actions_.openSettings) {
            actions_.openSettings();
        }
    });

    checkForUpdates_ = menu.addAction(tr("Check for Updates…"));
    checkForUpdates_->setEnabled(state_.updater().canCheckForUpdates());
    connect(&state_.updater(), &Updater::canCheckForUpdatesChanged, checkForUpdates_,
            &QAction::setEnabled);
    connect(checkForUpdates_, &QAction::triggered, this, [this] {
        if (actions_.checkForUpdates) {
            actions_.checkForUpdates();
        }
    });

    menu.addSeparator();

    QAction* quit = menu.addAction(tr("Quit Plinkora"));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [this] {
        if (actions_.quit) {
            actions_.quit();
        }
    });
}

MenuContent::~MenuContent() = default;

} // namespace plinkora::ui
