#pragma once

#include <string_view>

namespace plinkora {

/// The two commands the lid-logo helper understands; each is written to its pipe as one line.
enum class Lamp { on, off };

/// The command's line on the pipe, line feed included.
constexpr std::string_view lampLine(Lamp lamp) {
    return lamp == Lamp::on ? "on\n" : "off\n";
}

} // namespace plinkora
