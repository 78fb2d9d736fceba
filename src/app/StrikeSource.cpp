#include "app/StrikeSource.hpp"

namespace plinkora {

std::string_view rawValue(StrikeSource source) {
    return source == StrikeSource::touch ? "Touch" : "Click";
}

} // namespace plinkora
