#pragma once

#include "ui/FormSection.hpp"

#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

/// "Playing": on/off, the hot key, sound, orientation, note lines, note length, MIDI output
/// and launch at login.
class PlayingSection final : public FormSection {
    Q_OBJECT

public:
    /// The slider's 31 positions run from 0.5 s to 8.0 s in steps of 0.25 s.
    static constexpr double kShortest = 0.5;
    static constexpr double kLongest = 8.0;
    static constexpr double kStep = 0.25;

    explicit PlayingSection(AppState& state, QWidget* parent = nullptr);

    static int sliderPosition(double seconds);
    static double secondsAt(int position);
    /// "1.50 s".
    static QString lengthText(double seconds);

private:
    QWidget* makeNoteLengthBlock();
    QWidget* makeSoundBankBlock();
    /// A row that says, in the system's words, why a choice did not take; hidden while
    /// `read` gives nothing. Plain text, never markup.
    void addMessageRow(const char* name,
                       const std::optional<std::string>& (AppState::*read)() const,
                       void (AppState::*changed)());
    void showNoteLength();

    AppState& state_;
    QSlider* noteLength_ = nullptr;
    QLabel* noteLengthValue_ = nullptr;
};

} // namespace plinkora::ui
