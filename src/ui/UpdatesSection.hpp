#pragma once

#include "ui/FormSection.hpp"

#include <functional>

namespace plinkora {
class Updater;
}

namespace plinkora::ui {

/// "Updates": automatic checks, and a check now.
class UpdatesSection final : public FormSection {
    Q_OBJECT

public:
    /// `checkForUpdates` is the menu's "Check for Updates…" action.
    UpdatesSection(Updater& updater, std::function<void()> checkForUpdates,
                   QWidget* parent = nullptr);
};

} // namespace plinkora::ui
