#include "ui/KeySection.hpp"

#include "app/AppState.hpp"

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
            state_.set(setting::keyRoot, *key);
        }
    });
    addLabelledRow(tr("Key"), key_);

    // Nine modes: one list, a choice of one, as screen readers announce it.
    mode_ = new QComboBox;
    mode_->setObjectName(QStringLiteral("mode"));
    for (const music::ScaleMode mode : music::kAllModes) {
        mode_->addItem(musicText(music::displayLabel(mode)), static_cast<int>(mode));
    }
    connect(mode_, &QComboBox::activated, this, [this](int index) {
        state_.set(setting::scaleMode,
                   static_cast<music::ScaleMode>(mode_->itemData(index).toInt()));
    });
    addLabelledRow(tr("Mode"), mode_);

    zones_ = new QComboBox;
    zones_->setObjectName(QStringLiteral("zones"));
    for (int count = kFewestZones; count <= kMostZones; ++count) {
        zones_->addItem(QString(), count);
    }
    connect(zones_, &QComboBox::activated, this,
            [this](int index) { state_.set(setting::zoneCount, zones_->itemData(index).toInt()); });
    addLabelledRow(tr("Zones"), zones_);

    notes_ = new QLabel;
    notes_->setObjectName(QStringLiteral("notes"));
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes_->setWordWrap(true);
    notes_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    notes_->setFont(monospacedDigits(notes_->font()));
    addLabelledRow(tr("Notes"), notes_);

    showKey();
    showMode();
    showZoneCount();
    showScale();
    connect(&state_, setting::keyRoot.changed, this, [this] {
        showKey();
        showScale();
    });
    connect(&state_, setting::scaleMode.changed, this, [this] {
        showMode();
        showZoneCount();
        showKey();
        showScale();
    });
    connect(&state_, setting::zoneCount.changed, this, [this] {
        showZoneCount();
        showScale();
    });
}

QString KeySection::zoneCountLabel(int count, music::ScaleMode mode) {
    // Eight notes are an octave, root to root, only in a mode of seven.
    return count == kFewestZones && music::intervals(mode).size() == 7 ? tr("One octave (8 notes)")
                                                                       : tr("%1 notes").arg(count);
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
    mode_->setCurrentIndex(mode_->findData(static_cast<int>(state_.scaleMode())));
}

void KeySection::showZoneCount() {
    for (int index = 0; index < zones_->count(); ++index) {
        zones_->setItemText(index,
                            zoneCountLabel(zones_->itemData(index).toInt(), state_.scaleMode()));
    }
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
                  .arg(scaleTitle(scale)));
}

} // namespace plinkora::ui
