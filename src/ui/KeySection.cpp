#include "ui/KeySection.hpp"

#include "app/AppState.hpp"
#include "ui/SegmentedControl.hpp"

#include <QComboBox>
#include <QLabel>

namespace plinkora::ui {

namespace {

constexpr int kFewestZones = 8;
constexpr int kMostZones = 12;

} // namespace

KeySection::KeySection(AppState& state, QWidget* parent)
    : FormSection(tr("Key"), parent)
    , state_(state) {
    key_ = new QComboBox;
    key_->setObjectName(QStringLiteral("key"));
    for (const music::KeyRoot key : music::kAllKeys) {
        key_->addItem(QString(), music::rawValue(key));
    }
    connect(key_, &QComboBox::activated, this, [this](int index) {
        if (auto key = music::keyRootFromRaw(key_->itemData(index).toInt())) {
            state_.setKeyRoot(*key);
        }
    });
    addLabelledRow(tr("Key"), key_);

    mode_ = new SegmentedControl({tr("Major"), tr("Minor")});
    mode_->setObjectName(QStringLiteral("mode"));
    connect(mode_, &SegmentedControl::selected, this, [this](int index) {
        state_.setScaleMode(music::kAllModes.at(static_cast<std::size_t>(index)));
    });
    addLabelledRow(tr("Mode"), mode_);

    zones_ = new QComboBox;
    zones_->setObjectName(QStringLiteral("zones"));
    for (int count = kFewestZones; count <= kMostZones; ++count) {
        zones_->addItem(zoneCountLabel(count), count);
    }
    connect(zones_, &QComboBox::activated, this,
            [this](int index) { state_.setZoneCount(zones_->itemData(index).toInt()); });
    addLabelledRow(tr("Zones"), zones_);

    notes_ = new QLabel;
    notes_->setObjectName(QStringLiteral("notes"));
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes_->setWordWrap(true);
    notes_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    addLabelledRow(tr("Notes"), notes_);

    showKey();
    showMode();
    showZoneCount();
    showScale();
    connect(&state_, &AppState::keyRootChanged, this, [this] {
        showKey();
        showScale();
    });
    connect(&state_, &AppState::scaleModeChanged, this, [this] {
        showMode();
        showKey();
        showScale();
    });
    connect(&state_, &AppState::zoneCountChanged, this, [this] {
        showZoneCount();
        showScale();
    });
}

QString KeySection::zoneCountLabel(int count) {
    return count == kFewestZones ? tr("One octave (8 notes)") : tr("%1 notes").arg(count);
}

void KeySection::showKey() {
    // The names are spelt for the current mode, so switching the mode respells them in place.
    for (int index = 0; index < key_->count(); ++index) {
        if (auto key = music::keyRootFromRaw(key_->itemData(index).toInt())) {
            key_->setItemText(index,
                              QString::fromStdString(music::keyLabel(*key, state_.scaleMode())));
        }
    }
    key_->setCurrentIndex(key_->findData(music::rawValue(state_.keyRoot())));
}

void KeySection::showMode() {
    for (std::size_t index = 0; index < music::kAllModes.size(); ++index) {
        if (music::kAllModes[index] == state_.scaleMode()) {
            mode_->setSelectedIndex(static_cast<int>(index));
        }
    }
}

void KeySection::showZoneCount() {
    // A count outside the picker's range selects nothing rather than a wrong entry.
    zones_->setCurrentIndex(zones_->findData(state_.zoneCount()));
}

void KeySection::showScale() {
    const music::Scale scale = state_.scale();
    QStringList names;
    for (const std::string& name : scale.names()) {
        names << QString::fromStdString(name);
    }
    notes_->setText(names.join(QStringLiteral("  ")));
    setFooter(tr("The screen is split evenly into the chosen number of zones, playing the %1 "
                 "scale from the root upwards; one octave runs root to root, more zones keep "
                 "climbing. Minor is the natural minor. Keys from G up start below middle C so "
                 "every key sits in the same range.")
                  .arg(QString::fromStdString(scale.title())));
}

} // namespace plinkora::ui
