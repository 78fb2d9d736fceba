#include "music/ZoneOrientation.hpp"

#include "music/RawValues.hpp"

namespace plinkora::music {

std::string_view rawValue(ZoneOrientation orientation) {
    return orientation == ZoneOrientation::vertical ? "vertical" : "horizontal";
}

std::optional<ZoneOrientation> zoneOrientationFromRaw(std::string_view raw) {
    return fromRawValue(kAllOrientations, raw);
}

std::string displayLabel(ZoneOrientation orientation) {
    return orientation == ZoneOrientation::vertical ? "Vertical (low notes at bottom)"
                                                    : "Horizontal (low notes at left)";
}

} // namespace plinkora::music
