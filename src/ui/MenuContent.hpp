#pragma once

#include <QMenu>
#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

/// The tray menu: the everyday controls, bound both ways to the shared state. It keeps no
/// settings of its own; every check mark follows the state whatever changed it. Main thread only.
class MenuContent final : public QObject {
    Q_OBJECT

public:
    struct Actions {
        /// What "Settings…" does.
        std::function<void()> openSettings;
        /// What "Check for Updates…" does.
        std::function<void()> checkForUpdates;
        /// What "Quit Plinkora" does.
        std::function<void()> quit;
    };

    /// `sandboxed` leaves out "Pulse Lid Logo": a sandboxed build cannot run the helper.
    MenuContent(AppState& state, Actions actions, bool sandboxed, QObject* parent = nullptr);
    ~MenuContent() override;

    QMenu& menu() { return *menu_; }

private:
    AppState& state_;
    Actions actions_;
    std::unique_ptr<QMenu> menu_;
    QAction* enabled_ = nullptr;
    QAction* showsGuides_ = nullptr;
    QAction* pulsesLogo_ = nullptr;
    QAction* checkForUpdates_ = nullptr;
};

} // namespace plinkora::ui
