#include "ui/PlayingSection.hpp"

#include "app/AppState.hpp"
#include "system/GnomeKeybinding.hpp"
#include "ui/SettingBinding.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <functional>

namespace plinkora::ui {

PlayingSection::PlayingSection(AppState& state, QWidget* parent)
    : FormSection(tr("Playing"), parent)
    , state_(state) {
    addRow(bindToggle(new QCheckBox(tr("Plinkora On")), state_, setting::isEnabled));

    auto* shortcut = new QLabel;
    shortcut->setObjectName(QStringLiteral("shortcut"));
    shortcut->setWordWrap(true);
    shortcut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const auto showShortcut = [this, shortcut] {
        // sway and i3 bind keys in their own configuration: the line to add says it all.
        const bool bindsItself =
            !qEnvironmentVariableIsEmpty("SWAYSOCK") || !qEnvironmentVariableIsEmpty("I3SOCK");
        const QString bindLine =
            tr("For every window, add this line to your sway or i3 configuration:") +
            QStringLiteral("\nbindsym Ctrl+Mod1+Mod4+m exec plinkora --toggle");
        switch (state_.hotKeyState()) {
        case HotKey::State::active:
            shortcut->setText(tr("Ctrl+Alt+Super+M"));
            break;
        case HotKey::State::activeInX11Only:
            shortcut->setText(tr("Ctrl+Alt+Super+M, only while an X11 window is in front") +
                              (bindsItself ? QStringLiteral(".\n") + bindLine : QString()));
            break;
        case HotKey::State::taken:
            shortcut->setText(tr("Ctrl+Alt+Super+M is taken by another application"));
            break;
        case HotKey::State::notBound:
            shortcut->setText(bindsItself ? tr("Not bound.") + QLatin1Char('\n') + bindLine
                                          : tr("Not bound: have your desktop run \"plinkora "
                                               "--toggle\" for a key"));
            break;
        }
    };
    showShortcut();
    connect(&state_, &AppState::hotKeyStateChanged, shortcut, showShortcut);
    addLabelledRow(tr("Keyboard shortcut"), shortcut);

    // GNOME's compositor lets no application grab a key, but binds one when asked.
    auto* gnome = new QPushButton;
    gnome->setObjectName(QStringLiteral("gnomeShortcut"));
    const auto showGnome = [this, gnome] {
        // isAdded is false wherever the schema is missing or the session is not GNOME.
        const bool added = GnomeKeybinding::isAdded();
        gnome->setText(added ? tr("Remove from GNOME Keyboard Shortcuts")
                             : tr("Add to GNOME Keyboard Shortcuts"));
        gnome->setVisible(added || (state_.hotKeyState() != HotKey::State::active &&
                                    GnomeKeybinding::isAvailable()));
    };
    connect(gnome, &QPushButton::clicked, this, [showGnome] {
        GnomeKeybinding::setAdded(!GnomeKeybinding::isAdded());
        showGnome();
    });
    showGnome();
    connect(&state_, &AppState::hotKeyStateChanged, gnome, showGnome);
    addRow(gnome);

    addLabelledRow(tr("Orientation"), boundChoice("orientation", music::kAllOrientations, state_,
                                                  setting::orientation));
    addLabelledRow(tr("Sound"), boundChoice("sound", music::kAllSounds, state_, setting::sound));
    addLabelledRow(tr("Sound bank"), makeSoundBankBlock());
    addMessageRow("soundBankMessage", &AppState::soundBankMessage,
                  &AppState::soundBankMessageChanged);
    addLabelledRow(tr("Dynamics"),
                   boundChoice("dynamics", music::kAllDynamics, state_, setting::dynamics));
    addRow(
        bindToggle(new QCheckBox(tr("Show note separator lines")), state_, setting::showsGuides));

    addRow(makeNoteLengthBlock());

    QCheckBox* midi = bindToggle(new QCheckBox(tr("MIDI output")), state_, setting::midiOutput);
    midi->setObjectName(QStringLiteral("midiOutput"));
    midi->setToolTip(tr("Sends every note to a MIDI port named \"Plinkora\" (JACK or ALSA)"));
    addRow(midi);
    QCheckBox* builtIn =
        bindToggle(new QCheckBox(tr("Play built-in sound")), state_, setting::playsBuiltInSound);
    builtIn->setObjectName(QStringLiteral("playsBuiltInSound"));
    // Only MIDI out can take the built-in sound's place.
    builtIn->setEnabled(state_.midiOutput());
    connect(&state_, &AppState::midiOutputChanged, builtIn, &QCheckBox::setEnabled);
    addRow(builtIn);

    addRow(bindToggle(new QCheckBox(tr("Launch at login")), state_, setting::launchesAtLogin));
    // Why the toggle went back.
    addMessageRow("loginItemMessage", &AppState::loginItemMessage,
                  &AppState::loginItemMessageChanged);

    setFooter(tr("While on, the whole built-in screen is divided into note zones playing the "
                 "chosen scale upwards from its root, low notes first. Several fingers play a "
                 "chord, and sliding across a boundary plays the next note. Content under the "
                 "overlay is not clickable until you turn Plinkora off."));
}

void PlayingSection::addMessageRow(const char* name,
                                   const std::optional<std::string>& (AppState::*read)() const,
                                   void (AppState::*changed)()) {
    auto* message = new QLabel;
    message->setObjectName(QString::fromLatin1(name));
    message->setWordWrap(true);
    message->setTextFormat(Qt::PlainText);
    message->setFont(calloutFont());
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QWidget* row = addRow(message);
    const auto show = [this, message, row, read] {
        const auto& text = (state_.*read)();
        message->setText(text ? QString::fromStdString(*text) : QString());
        setRowVisible(row, text.has_value());
    };
    show();
    connect(&state_, changed, this, show);
}

QWidget* PlayingSection::makeSoundBankBlock() {
    auto* block = new QWidget;
    auto* line = new QHBoxLayout(block);
    line->setContentsMargins(0, 0, 0, 0);
    auto* name = new QLabel;
    name->setObjectName(QStringLiteral("soundBank"));
    name->setTextFormat(Qt::PlainText);
    auto* choose = new QPushButton(tr("Choose…"));
    choose->setObjectName(QStringLiteral("chooseSoundBank"));
    auto* system = new QPushButton(tr("Use System Bank"));
    system->setObjectName(QStringLiteral("systemSoundBank"));
    line->addWidget(name, 1);
    line->addWidget(choose);
    line->addWidget(system);
    const auto show = [this, name, system] {
        const QString path = QString::fromStdString(state_.soundBank());
        name->setText(path.isEmpty() ? tr("System General MIDI") : QFileInfo(path).fileName());
        name->setToolTip(path);
        system->setVisible(!path.isEmpty());
    };
    show();
    connect(&state_, &AppState::soundBankChanged, this, show);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, tr("Choose a Sound Bank"), QString(), tr("SoundFonts (*.sf2 *.sf3)"));
        if (!file.isEmpty()) {
            state_.setSoundBank(file.toStdString());
        }
    });
    connect(system, &QPushButton::clicked, this, [this] { state_.setSoundBank({}); });
    return block;
}

int PlayingSection::sliderPosition(double seconds) {
    const double clamped = std::clamp(seconds, kShortest, kLongest);
    return static_cast<int>(std::lround((clamped - kShortest) / kStep));
}

double PlayingSection::secondsAt(int position) {
    return kShortest + position * kStep;
}

QString PlayingSection::lengthText(double seconds) {
    return QString::asprintf("%.2f s", seconds);
}

QWidget* PlayingSection::makeNoteLengthBlock() {
    auto* block = new QWidget;
    auto* lines = new QVBoxLayout(block);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(4);

    auto* title = new QHBoxLayout;
    auto* name = new QLabel(tr("Note length"));
    title->addWidget(name);
    title->addStretch(1);
    noteLengthValue_ = new QLabel;
    noteLengthValue_->setObjectName(QStringLiteral("noteLengthValue"));
    makeSecondary(*noteLengthValue_);
    noteLengthValue_->setFont(monospacedDigits(noteLengthValue_->font()));
    title->addWidget(noteLengthValue_);
    lines->addLayout(title);

    auto* sliderRow = new QHBoxLayout;
    auto* shortLabel = new QLabel(tr("Short"));
    auto* longLabel = new QLabel(tr("Long"));
    noteLength_ = new QSlider(Qt::Horizontal);
    noteLength_->setObjectName(QStringLiteral("noteLength"));
    noteLength_->setRange(0, sliderPosition(kLongest));
    noteLength_->setSingleStep(1);
    noteLength_->setPageStep(4);
    noteLength_->setAccessibleName(tr("Note length"));
    name->setBuddy(noteLength_);
    sliderRow->addWidget(shortLabel);
    sliderRow->addWidget(noteLength_, 1);
    sliderRow->addWidget(longLabel);
    lines->addLayout(sliderRow);

    auto* explanation = new QLabel(tr("How long each note sustains and then fades away."));
    explanation->setWordWrap(true);
    explanation->setFont(calloutFont());
    makeSecondary(*explanation);
    lines->addWidget(explanation);

    showNoteLength();
    connect(noteLength_, &QSlider::valueChanged, this,
            [this](int position) { state_.set(setting::noteLength, secondsAt(position)); });
    connect(&state_, setting::noteLength.changed, this, [this] { showNoteLength(); });
    return block;
}

void PlayingSection::showNoteLength() {
    const QSignalBlocker quiet(noteLength_);
    noteLength_->setValue(sliderPosition(state_.noteLength()));
    noteLengthValue_->setText(lengthText(state_.noteLength()));
}

} // namespace plinkora::ui
