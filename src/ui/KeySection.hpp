#pragma once

#include "music/ScaleMode.hpp"
#include "ui/FormSection.hpp"

class QComboBox;
class QLabel;

namespace plinkora {
class AppState;
}

namespace plinkora::ui {

/// "Key": the key, the mode, the number of zones and the notes they play.
class KeySection final : public FormSection {
    Q_OBJECT

public:
    explicit KeySection(AppState& state, QWidget* parent = nullptr);

    /// "One octave (8 notes)" for 8, otherwise "n notes".
    static QString zoneCountLabel(int count, music::ScaleMode mode);

private:
    void showKey();
    void showMode();
    void showZoneCount();
    void showScale();

    AppState& state_;
    QComboBox* key_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* zones_ = nullptr;
    QLabel* notes_ = nullptr;
};

} // namespace plinkora::ui
