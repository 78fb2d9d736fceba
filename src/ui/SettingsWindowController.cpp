#include "ui/SettingsWindowController.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace plinkora::ui {

SettingsWindowController::SettingsWindowController(AppState& state, SettingsWindow::Options options)
    : state_(state)
    , options_(std::move(options)) {}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::show() {
    if (!window_) {
        window_ = std::make_unique<SettingsWindow>(state_, options_);
        if (!window_->restoreFrame()) {
            placeFirstTime();
        }
        window_->startSavingFrame();
    }
    window_->show();
    bringToFront();
}

void SettingsWindowController::bringToFront() {
    if (window_ && window_->isVisible()) {
        if (window_->isMinimized()) {
            window_->showNormal();
        }
        window_->raise();
        window_->activateWindow();
    }
}

void SettingsWindowController::placeFirstTime() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    int height = SettingsWindow::kInitialHeight;
    if (available.isValid()) {
        // On a screen lower than the window, a window reaching past the screen's edge would hide
        // its own lower part; it starts as tall as the screen allows instead.
        height = std::clamp(available.height(), SettingsWindow::kMinimumHeight, height);
    }
    window_->resize(SettingsWindow::kWidth, height);
    if (available.isValid()) {
        window_->move(available.x() + (available.width() - SettingsWindow::kWidth) / 2,
                      available.y() + (available.height() - height) / 2);
    }
}

} // namespace plinkora::ui
