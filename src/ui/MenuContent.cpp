#include "ui/MenuContent.hpp"

#include "app/AppState.hpp"
#include "ui/FormSection.hpp"

#include <QActionGroup>

namespace plinkora::ui {

namespace {

QAction* addToggle(QMenu& menu, const QString& text, bool checked) {
    QAction* action = menu.addAction(text);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

} // namespace

MenuContent::MenuContent(AppState& state, Actions actions, bool sandboxed, QObject* parent)
    : QObject(parent)
    , state_(state)
    , actions_(std::move(actions))
    , menu_(std::make_unique<QMenu>()) {
    QMenu& menu = *menu_;

    // Bindings run from `triggered`, which only the user's choice emits, never from `toggled`:
    // setChecked() from a state change must not assign the state again.
    enabled_ = addToggle(menu, tr("Plinkora On"), state_.isEnabled());
    connect(enabled_, &QAction::triggered, this, [this](bool on) { state_.setIsEnabled(on); });
    connect(&state_, &AppState::isEnabledChanged, enabled_, &QAction::setChecked);

    // Only a key that works from anywhere is offered here; the window says what else to do.
    QAction* hint = menu.addAction(tr("Toggle anywhere with Ctrl+Alt+Super+M"));
    hint->setEnabled(false);
    const auto showHint = [this, hint] {
        hint->setVisible(state_.hotKeyState() == HotKey::State::active);
    };
    showHint();
    connect(&state_, &AppState::hotKeyStateChanged, hint, showHint);

    menu.addSeparator();
    addChoiceMenu(
        tr("Orientation"), music::kAllOrientations,
        [this] { return static_cast<int>(state_.orientation()); },
        [this](int raw) { state_.setOrientation(static_cast<music::ZoneOrientation>(raw)); },
        &AppState::orientationChanged);
    addChoiceMenu(
        tr("Mode"), music::kAllModes, [this] { return static_cast<int>(state_.scaleMode()); },
        [this](int raw) { state_.setScaleMode(static_cast<music::ScaleMode>(raw)); },
        &AppState::scaleModeChanged);

    showsGuides_ = addToggle(menu, tr("Show Note Lines"), state_.showsGuides());
    connect(showsGuides_, &QAction::triggered, this,
            [this](bool shows) { state_.setShowsGuides(shows); });
    connect(&state_, &AppState::showsGuidesChanged, showsGuides_, &QAction::setChecked);

    if (!sandboxed) {
        pulsesLogo_ = addToggle(menu, tr("Pulse Lid Logo"), state_.pulsesLogo());
        connect(pulsesLogo_, &QAction::triggered, this,
                [this](bool pulses) { state_.setPulsesLogo(pulses); });
        connect(&state_, &AppState::pulsesLogoChanged, pulsesLogo_, &QAction::setChecked);
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

template <typename Values, typename Signal>
void MenuContent::addChoiceMenu(const QString& title, const Values& values,
                                const std::function<int()>& current,
                                const std::function<void(int)>& choose, Signal changed) {
    QMenu* submenu = menu_->addMenu(title);
    auto* group = new QActionGroup(submenu);
    group->setExclusive(true);
    for (const auto value : values) {
        QAction* action = submenu->addAction(FormSection::musicText(displayLabel(value)));
        action->setCheckable(true);
        action->setData(static_cast<int>(value));
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [choose, raw = static_cast<int>(value)] { choose(raw); });
    }
    const auto show = [group, current] {
        for (QAction* action : group->actions()) {
            action->setChecked(action->data().toInt() == current());
        }
    };
    show();
    connect(&state_, changed, group, show);
}

} // namespace plinkora::ui
