#include "music/Scale.hpp"

#include "music/Dynamics.hpp"

#include <gtest/gtest.h>
#include <sstream>

using namespace plinkora::music;

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) {
        out += (out.empty() ? "" : " ") + name;
    }
    return out;
}

std::string joined(const std::vector<std::uint8_t>& notes) {
    std::ostringstream out;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        out << (i ? " " : "") << int(notes[i]);
    }
    return out.str();
}

struct Worked {
    Scale scale;
    const char* notes;
    const char* names;
    const char* title;
};

} // namespace

TEST(Scale, WorkedExamples) {
    const Worked table[] = {
        {{KeyRoot::c, ScaleMode::major, 9},
         "60 62 64 65 67 69 71 72 74",
         "C4 D4 E4 F4 G4 A4 B4 C5 D5",
         "C major"},
        {{KeyRoot::eFlat, ScaleMode::minor, 8},
         "63 65 66 68 70 71 73 75",
         "E♭4 F4 G♭4 A♭4 B♭4 B4 D♭5 E♭5",
         "E♭ minor"},
        {{KeyRoot::aFlat, ScaleMode::minor, 8},
         "56 58 59 61 63 64 66 68",
         "G♯3 A♯3 B3 C♯4 D♯4 E4 F♯4 G♯4",
         "G♯ minor"},
        {{KeyRoot::g, ScaleMode::major, 12},
         "55 57 59 60 62 64 66 67 69 71 72 74",
         "G3 A3 B3 C4 D4 E4 F♯4 G4 A4 B4 C5 D5",
         "G major"},
        {{KeyRoot::fSharp, ScaleMode::major, 12},
         "66 68 70 71 73 75 77 78 80 82 83 85",
         "F♯4 G♯4 A♯4 B4 C♯5 D♯5 F5 F♯5 G♯5 A♯5 B5 C♯6",
         "F♯ major"},
        // The other modes climb their own steps, spelt in their parent major key.
        {{KeyRoot::d, ScaleMode::dorian, 8},
         "62 64 65 67 69 71 72 74",
         "D4 E4 F4 G4 A4 B4 C5 D5",
         "D dorian"},
        {{KeyRoot::g, ScaleMode::mixolydian, 8},
         "55 57 59 60 62 64 65 67",
         "G3 A3 B3 C4 D4 E4 F4 G4",
         "G mixolydian"},
        {{KeyRoot::a, ScaleMode::harmonicMinor, 8},
         "57 59 60 62 64 65 68 69",
         "A3 B3 C4 D4 E4 F4 G♯4 A4",
         "A harmonic minor"},
        {{KeyRoot::c, ScaleMode::majorPentatonic, 9},
         "60 62 64 67 69 72 74 76 79",
         "C4 D4 E4 G4 A4 C5 D5 E5 G5",
         "C major pentatonic"},
        {{KeyRoot::e, ScaleMode::minorPentatonic, 8},
         "64 67 69 71 74 76 79 81",
         "E4 G4 A4 B4 D5 E5 G5 A5",
         "E minor pentatonic"},
        {{KeyRoot::c, ScaleMode::blues, 8},
         "60 63 65 66 67 70 72 75",
         "C4 E♭4 F4 G♭4 G4 B♭4 C5 E♭5",
         "C blues"},
        {{KeyRoot::f, ScaleMode::chromatic, 12},
         "65 66 67 68 69 70 71 72 73 74 75 76",
         "F4 G♭4 G4 A♭4 A4 B♭4 B4 C5 D♭5 D5 E♭5 E5",
         "F chromatic"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.title);
        EXPECT_EQ(joined(row.scale.midiNotes()), row.notes);
        EXPECT_EQ(joined(row.scale.names()), row.names);
        EXPECT_EQ(row.scale.title(), row.title);
    }
}

TEST(Scale, SpellingOfAllTwentyFourKeys) {
    // Expected "s" for sharps and "f" for flats, keys from C upwards.
    const std::string major = "sfsfsfssfsfs";
    const std::string minor = "fsffsfsfssfs";
    for (auto key : kAllKeys) {
        const auto i = static_cast<std::size_t>(rawValue(key));
        EXPECT_EQ(usesFlats(key, ScaleMode::major), major[i] == 'f') << i;
        EXPECT_EQ(usesFlats(key, ScaleMode::minor), minor[i] == 'f') << i;
    }
    std::vector<std::string> majorLabels, minorLabels;
    for (auto key : kAllKeys) {
        majorLabels.push_back(keyLabel(key, ScaleMode::major));
        minorLabels.push_back(keyLabel(key, ScaleMode::minor));
    }
    EXPECT_EQ(joined(majorLabels), "C D♭ D E♭ E F F♯ G A♭ A B♭ B");
    EXPECT_EQ(joined(minorLabels), "C C♯ D E♭ E F F♯ G G♯ A B♭ B");
}

TEST(Scale, EdgeCases) {
    const Scale empty{KeyRoot::c, ScaleMode::major, 0};
    EXPECT_TRUE(empty.midiNotes().empty());
    EXPECT_TRUE(empty.names().empty());
    EXPECT_EQ(empty.title(), "C major");
    EXPECT_TRUE((Scale{KeyRoot::c, ScaleMode::major, -3}.midiNotes().empty()));

    EXPECT_EQ((Scale{KeyRoot::cSharp, ScaleMode::major, 8}.title()), "D♭ major");
    EXPECT_EQ((Scale{KeyRoot::cSharp, ScaleMode::minor, 8}.title()), "C♯ minor");
    EXPECT_EQ((Scale{KeyRoot::aFlat, ScaleMode::major, 8}.title()), "A♭ major");

    // The accidental is one code point (three UTF-8 bytes), never '#' or 'b'.
    const auto name = Scale{KeyRoot::bFlat, ScaleMode::major, 8}.names()[0];
    EXPECT_EQ(name, "B\u266D3");
    for (auto key : kAllKeys) {
        for (auto mode : kAllModes) {
            for (const auto& n : Scale{key, mode, 12}.names()) {
                EXPECT_EQ(n.find('#'), std::string::npos);
                EXPECT_EQ(n.find('b'), std::string::npos);
            }
        }
    }
    EXPECT_EQ(Scale{}, (Scale{KeyRoot::c, ScaleMode::major, 9}));
    EXPECT_NE(Scale{}, (Scale{KeyRoot::c, ScaleMode::minor, 9}));
}

TEST(Dynamics, VelocityFromPositionOrPressureWithinItsRange) {
    const struct {
        Dynamics dynamics;
        double across;
        std::optional<double> pressure;
        int velocity;
    } cases[] = {
        {Dynamics::fixed, 0.0, 1.0, 92},           {Dynamics::position, 0.0, {}, 40},
        {Dynamics::position, 1.0, {}, 127},        {Dynamics::position, 0.5, 1.0, 84},
        {Dynamics::position, -0.2, {}, 40},        {Dynamics::position, 1.7, {}, 127},
        {Dynamics::touch, 0.0, 1.0, 127},          {Dynamics::touch, 0.9, 0.25, 84},
        {Dynamics::touch, 1.0, std::nullopt, 127}, {Dynamics::touch, 0.0, 0.0, 40},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(strikeVelocity(c.dynamics, c.across, c.pressure), c.velocity)
            << rawValue(c.dynamics) << " at " << c.across;
    }
}
