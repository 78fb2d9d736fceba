#include "app/StrikeSource.hpp"

namespace plinkora {

std::string_view rawValue(StrikeSource source) {
    return source == StrikeSource::touch ? "Touch" : "Click";
}

std::optional<StrikeSource> strikeSourceFromRaw(std::string_view raw) {
    if (raw == "Touch") {
        return StrikeSource::touch;
    }
    if (raw == "Click") {
        return StrikeSource::click;
    }
    return std::nullopt;
}

} // namespace plinkora
