#include "ui/SettingsWindowController.hpp"

#include "app/AppState.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
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
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            // Looked at again a little later too: the window manager may move the window out
            // of the panel's way after the work area has already changed.
            QObject::connect(screen, &QScreen::availableGeometryChanged, window_.get(), [this] {
                keepOnScreen();
                for (const int later : {300, 1500}) {
                    QTimer::singleShot(later, window_.get(), [this] { keepOnScreen(); });
                }
            });
        }
    }
    // The person looks at the shortcut's row now: a key another application let go of since
    // is taken up, and the row says so.
    state_.retryHotKey();
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

void SettingsWindowController::keepOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!window_->isVisible() || screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    const QRect frame = window_->frameGeometry();
    if (available.contains(frame)) {
        return;
    }
    const int borders = frame.height() - window_->height();
    const int height =
        std::clamp(available.height() - borders, SettingsWindow::kMinimumHeight, window_->height());
    window_->resize(window_->width(), height);
    // Qt places a shown window by its frame.
    window_->move(std::clamp(frame.x(), available.x(), available.right() + 1 - frame.width()),
                  std::clamp(frame.y(), available.y(), available.bottom() + 1 - height - borders));
}

void SettingsWindowController::placeFirstTime() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
    int height = SettingsWindow::kInitialHeight;
    if (available.isValid()) {
        // On a screen lower than the window, a window reaching past the screen's edge would hide
        // its own lower part or its title bar; it starts as tall as the screen allows, less
        // room for the title bar and borders, which are not known before the window is shown.
        height = std::clamp(available.height() - kFrameAllowance, SettingsWindow::kMinimumHeight,
                            height);
    }
    window_->resize(SettingsWindow::kWidth, height);
    if (available.isValid()) {
        // Centred, unless the title bar and borders would then reach past the bottom.
        const int centred = available.y() + (available.height() - height) / 2;
        const int lowest = available.y() + available.height() - height - kFrameAllowance;
        window_->move(available.x() + (available.width() - SettingsWindow::kWidth) / 2,
                      std::max(available.y(), std::min(centred, lowest)));
    }
}

} // namespace plinkora::ui
