#pragma once

#include <optional>
#include <string_view>

namespace plinkora {

/// What struck a zone: a finger on the screen, or the mouse.
enum class StrikeSource { touch, click };

/// "Touch" or "Click": also the text shown to people.
std::string_view rawValue(StrikeSource source);

} // namespace plinkora
