#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace plinkora::music {

/// The one of `all` whose persisted string (its `rawValue`) is `raw`.
template <typename Value, std::size_t N>
std::optional<Value> fromRawValue(const std::array<Value, N>& all, std::string_view raw) {
    for (const Value value : all) {
        if (rawValue(value) == raw) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace plinkora::music
