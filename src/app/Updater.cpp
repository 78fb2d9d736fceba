#include "app/Updater.hpp"

namespace plinkora {

Updater::~Updater() = default;

} // namespace plinkora
