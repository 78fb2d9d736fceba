#pragma once

#include <QWidget>
#include <functional>

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

class KeySection;
class LogoSection;
class PlayingSection;
class StatusSection;
class UpdatesSection;

/// The settings form: "Playing", "Key", "Lid Logo", "Updates" and "Status", each bound to the
/// shared state, with no settings of its own. Main thread only.
class SettingsView final : public QWidget {
    Q_OBJECT

public:
    /// `checkForUpdates` is the menu's "Check for Updates…" action.
    SettingsView(AppState& state, bool sandboxed, std::function<void()> checkForUpdates,
                 QWidget* parent = nullptr);

    StatusSection& status() { return *status_; }

protected:
    /// The helper can be installed or started behind Plinkora's back: look again on each showing.
    void showEvent(QShowEvent* event) override;

private:
    AppState& state_;
    StatusSection* status_ = nullptr;
};

} // namespace plinkora::ui
