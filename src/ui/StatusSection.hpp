#pragma once

#include "ui/FormSection.hpp"

class QLabel;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

/// "Status": what Plinkora found on this machine and what it did last. Read-only.
class StatusSection final : public FormSection {
    Q_OBJECT

public:
    explicit StatusSection(AppState& state, QWidget* parent = nullptr);

    /// Reads every value again, the ones without change signals included.
    void refresh();

private:
    /// Re-reads once control is back in the event loop: the engine's running state is known
    /// only after the change that announced itself has been applied.
    void refreshSoon();

    AppState& state_;
    QLabel* touchscreen_ = nullptr;
    QLabel* piano_ = nullptr;
    QLabel* engine_ = nullptr;
    QLabel* output_ = nullptr;
    QLabel* lastInput_ = nullptr;
    QLabel* lastTouch_ = nullptr;
    bool refreshPending_ = false;
};

} // namespace plinkora::ui
