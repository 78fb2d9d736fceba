#pragma once

#include "PlinkoraApp.hpp"
#include "app/AppState.hpp"

#include <QObject>
#include <memory>

namespace plinkora {

/// The production state: the real controllers on the Qt event loop.
std::unique_ptr<AppState> makeProductionState();
/// The tray menu and the settings window around the state.
std::unique_ptr<QObject> buildUserInterface(AppState& state, PlinkoraApp& app);

} // namespace plinkora
