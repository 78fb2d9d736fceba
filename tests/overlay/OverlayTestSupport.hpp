#pragma once

#include "app/StrikeSource.hpp"
#include "overlay/ScreenList.hpp"

#include <functional>
#include <vector>

namespace plinkora::testing {

/// Screens described by the test; changes are announced when the test says so.
class FakeScreens final : public ScreenList {
public:
    explicit FakeScreens(std::vector<ScreenInfo> screens, bool hasTouchScreen = false)
        : screens_(std::move(screens))
        , hasTouchScreen_(hasTouchScreen) {}

    std::vector<ScreenInfo> screens() const override { return screens_; }
    bool hasTouchScreen() const override { return hasTouchScreen_; }
    void setOnChange(std::function<void()> onChange) override { onChange_ = std::move(onChange); }

    void replace(std::vector<ScreenInfo> screens) {
        screens_ = std::move(screens);
        if (onChange_) {
            onChange_();
        }
    }

private:
    std::vector<ScreenInfo> screens_;
    bool hasTouchScreen_;
    std::function<void()> onChange_;
};

inline ScreenInfo describedScreen(const char* name, QRect geometry, bool isPrimary = false) {
    return ScreenInfo{QString::fromUtf8(name), geometry, geometry, isPrimary, nullptr};
}

struct RecordedStrike {
    int zone;
    double x;
    double y;
    StrikeSource source;
};

/// The zones of the strikes, in order.
inline std::vector<int> zonesOf(const std::vector<RecordedStrike>& strikes) {
    std::vector<int> zones;
    for (const RecordedStrike& strike : strikes) {
        zones.push_back(strike.zone);
    }
    return zones;
}

} // namespace plinkora::testing
