#include "ui/StatusSection.hpp"

#include "app/AppState.hpp"

#include <QFontDatabase>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace plinkora::ui {

namespace {

QLabel* valueLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

StatusSection::StatusSection(AppState& state, QWidget* parent)
    : FormSection(tr("Status"), parent)
    , state_(state) {
    touchscreen_ = valueLabel("touchscreen");
    addLabelledRow(tr("Touchscreen"), touchscreen_);
    piano_ = valueLabel("piano");
    addLabelledRow(tr("Piano"), piano_);
    engine_ = valueLabel("audioEngine");
    addLabelledRow(tr("Audio engine"), engine_);
    output_ = valueLabel("audioOutput");
    addLabelledRow(tr("Audio output"), output_);
    lastInput_ = valueLabel("lastInput");
    addLabelledRow(tr("Last input"), lastInput_);

    auto* block = new QWidget;
    auto* lines = new QVBoxLayout(block);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);
    lines->addWidget(new QLabel(tr("Last touch")));
    lastTouch_ = new QLabel;
    lastTouch_->setObjectName(QStringLiteral("lastTouch"));
    lastTouch_->setTextFormat(Qt::PlainText);
    lastTouch_->setWordWrap(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(captionFont().pointSizeF() > 0 ? captionFont().pointSizeF()
                                                      : mono.pointSizeF());
    lastTouch_->setFont(mono);
    makeSecondary(*lastTouch_);
    // People copy the diagnostic into bug reports.
    lastTouch_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lines->addWidget(lastTouch_);
    addRow(block);

    setFooter(tr("Notes play through the computer's current default output, and follow it when "
                 "it changes. Last input shows whether the most recent note came from a finger "
                 "on the screen or from a click, with the note it played."));

    refresh();
    connect(&state_, &AppState::isEnabledChanged, this, [this] { refreshSoon(); });
    connect(&state_, &AppState::audioOutputNameChanged, this, [this] { refreshSoon(); });
    connect(&state_, &AppState::lastInputChanged, this, [this] { refreshSoon(); });
    connect(&state_, &AppState::lastTouchDiagnosticChanged, this, [this] { refreshSoon(); });
    // The last input names the note of the current scale.
    connect(&state_, &AppState::keyRootChanged, this, [this] { refreshSoon(); });
    connect(&state_, &AppState::scaleModeChanged, this, [this] { refreshSoon(); });
}

void StatusSection::refresh() {
    refreshPending_ = false;
    touchscreen_->setText(state_.hasTouchscreen()
                              ? tr("Detected")
                              : tr("Not detected (clicks and drags still play)"));
    piano_->setText(state_.piano().instrumentLoaded() ? tr("System grand piano loaded")
                                                      : tr("Not loaded"));
    if (state_.isEnabled()) {
        engine_->setText(state_.piano().isEngineRunning() ? tr("Running") : tr("Not running"));
    } else {
        engine_->setText(tr("Idle until Plinkora is on"));
    }
    output_->setText(QString::fromStdString(state_.audioOutputName()));
    lastInput_->setText(QString::fromStdString(state_.lastInputDescription()));
    lastTouch_->setText(QString::fromStdString(state_.lastTouchDiagnostic()));
}

void StatusSection::refreshSoon() {
    if (refreshPending_) {
        return;
    }
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshPending_) {
            refresh();
        }
    });
}

} // namespace plinkora::ui
