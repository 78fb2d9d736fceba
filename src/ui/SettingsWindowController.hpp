#pragma once

#include "ui/SettingsWindow.hpp"

#include <memory>

namespace plinkora::ui {

/// Makes the settings window on first use and keeps that one window for good. A panel that
/// arrives later (as at login) or grows takes room from the screen: the window then moves and
/// shrinks to stay whole on it. Main thread only.
class SettingsWindowController final {
public:
    /// Room kept for the title bar and borders on a screen lower than the window.
    static constexpr int kFrameAllowance = 48;

    SettingsWindowController(AppState& state, SettingsWindow::Options options);
    ~SettingsWindowController();

    /// Shows the window and brings it to the front: where it was saved, or 520 × 820 centred on
    /// the screen the first time.
    void show();
    /// Raises the window when it is on screen; does nothing otherwise.
    void bringToFront();
    /// Null until the first show().
    SettingsWindow* window() { return window_.get(); }

private:
    void placeFirstTime();
    void keepOnScreen();

    AppState& state_;
    SettingsWindow::Options options_;
    std::unique_ptr<SettingsWindow> window_;
};

} // namespace plinkora::ui
