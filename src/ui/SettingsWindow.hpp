#pragma once

#include <QWidget>
#include <functional>

class QPushButton;
class QScrollArea;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

class SettingsView;

/// The "Plinkora Settings" window: the settings form in a scroll area, 520 wide, 420 to 10000
/// high. Closing it only hides it. Once asked to, it saves its frame on every move and resize.
/// Main thread only.
class SettingsWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 520;
    static constexpr int kMinimumHeight = 420;
    static constexpr int kMaximumHeight = 10000;
    static constexpr int kInitialHeight = 820;

    struct Options {
        bool sandboxed = false;
        /// Where there is no tray, the window is Plinkora's only face and offers quitting.
        bool showsQuitButton = false;
        std::function<void()> checkForUpdates;
        std::function<void()> quit;
    };

    SettingsWindow(AppState& state, const Options& options, QWidget* parent = nullptr);

    SettingsView& view() { return *view_; }
    QScrollArea& scrollArea() { return *scrollArea_; }
    /// Null unless the window offers quitting.
    QPushButton* quitButton() { return quitButton_; }

    /// Restores the saved frame; false when there is none or it cannot be used.
    bool restoreFrame();
    /// From now on every move and resize is saved.
    void startSavingFrame() { savesFrame_ = true; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    /// The wheel over a choice or slider that lacks the focus scrolls the form instead.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveFrame();

    AppState& state_;
    SettingsView* view_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    bool savesFrame_ = false;
};

} // namespace plinkora::ui
