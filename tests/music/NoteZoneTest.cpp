#include "music/NoteZone.hpp"

#include <gtest/gtest.h>

using plinkora::music::NoteZone;
using plinkora::music::Rgb;

namespace {

void expectColor(const Rgb& actual, double r, double g, double b) {
    EXPECT_NEAR(actual.red, r, 5e-5);
    EXPECT_NEAR(actual.green, g, 5e-5);
    EXPECT_NEAR(actual.blue, b, 5e-5);
    EXPECT_DOUBLE_EQ(actual.alpha, 1.0);
}

bool isPaletteColor(const Rgb& color) {
    for (const auto& entry : NoteZone::colors()) {
        if (entry == color) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(NoteZone, WorkedMixes) {
    expectColor(NoteZone::color(1, 8), 1.0, 0.5486, 0.2229);
    expectColor(NoteZone::color(6, 8), 0.6814, 0.42, 0.98);
    expectColor(NoteZone::color(1, 10), 1.0, 0.6089, 0.2056);
    expectColor(NoteZone::color(8, 10), 0.7489, 0.4233, 0.96);
    expectColor(NoteZone::color(4, 12), 0.4364, 0.8145, 0.4145);
    expectColor(NoteZone::color(7, 12), 0.3409, 0.6018, 0.9982);
}

TEST(NoteZone, EndsAndPalettePoints) {
    const auto& palette = NoteZone::colors();
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(NoteZone::color(i, 9), palette[static_cast<std::size_t>(i)]) << i;
    }
    for (int count = 2; count <= 12; ++count) {
        EXPECT_EQ(NoteZone::color(0, count), palette[0]);
        EXPECT_EQ(NoteZone::color(count - 1, count), palette[8]);
        EXPECT_EQ(NoteZone::color(count + 5, count), palette[8]);
        EXPECT_EQ(NoteZone::color(-4, count), palette[0]);
    }
    EXPECT_EQ(NoteZone::color(1, 2), palette[8]);
    for (int count : {1, 0, -3}) {
        for (int zone : {-1, 0, 1, 7}) {
            EXPECT_EQ(NoteZone::color(zone, count), palette[0]);
        }
    }
    for (int zone = 1; zone < 7; ++zone) {
        EXPECT_FALSE(isPaletteColor(NoteZone::color(zone, 8))) << zone;
    }
    EXPECT_EQ(NoteZone::color(std::numeric_limits<int>::max(), std::numeric_limits<int>::max()),
              palette[8]);
}
