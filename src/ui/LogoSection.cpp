#include "ui/LogoSection.hpp"

#include "app/AppState.hpp"
#include "ui/SettingBinding.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace plinkora::ui {

namespace {

constexpr int kDotSize = 8;

QPixmap dot(const QColor& color, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(kDotSize, kDotSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, kDotSize, kDotSize));
    return pixmap;
}

} // namespace

LogoSection::LogoSection(AppState& state, bool sandboxed, QWidget* parent)
    : FormSection(tr("Lid Logo"), parent)
    , state_(state) {
    if (sandboxed) {
        buildSandboxedRows();
    } else {
        buildHelperRows();
    }
}

LogoSection::HelperState LogoSection::helperState(const AppState& state) {
    if (state.logoHelperBusy()) {
        return HelperState::waiting;
    }
    if (!state.logoHelperInstalled()) {
        return HelperState::notInstalled;
    }
    if (!state.logoHasLight()) {
        return HelperState::noLight;
    }
    return state.logoHelperRunning() ? HelperState::running : HelperState::notRunning;
}

QString LogoSection::helperStatus(HelperState state) {
    switch (state) {
    case HelperState::notInstalled:
        return tr("Not installed");
    case HelperState::running:
        return tr("Installed and running");
    case HelperState::noLight:
        return tr("Installed, but this computer has no lid-logo light");
    case HelperState::waiting:
        return tr("Waiting for the administrator password…");
    case HelperState::notRunning:
        break;
    }
    return tr("Installed, not running");
}

QColor LogoSection::helperColor(HelperState state, const QPalette& palette) {
    switch (state) {
    case HelperState::notInstalled:
    case HelperState::waiting:
        return secondaryColor(palette);
    case HelperState::running:
        return QColor(0x34, 0xc7, 0x59);
    case HelperState::notRunning:
    case HelperState::noLight:
        break;
    }
    return QColor(0xff, 0x95, 0x00);
}

void LogoSection::buildHelperRows() {
    addRow(bindToggle(new QCheckBox(tr("Pulse the logo on the lid")), state_, setting::pulsesLogo));

    direct_ = new QLabel(tr("This computer lets Plinkora switch the lid logo's light itself: no "
                            "helper is needed."));
    direct_->setObjectName(QStringLiteral("logoDirect"));
    direct_->setWordWrap(true);
    directRow_ = addRow(direct_);

    auto* readout = new QWidget;
    auto* readoutLayout = new QHBoxLayout(readout);
    readoutLayout->setContentsMargins(0, 0, 0, 0);
    readoutLayout->setSpacing(6);
    dot_ = new QLabel(readout);
    dot_->setObjectName(QStringLiteral("helperDot"));
    dot_->setFixedSize(kDotSize, kDotSize);
    status_ = new QLabel(readout);
    status_->setObjectName(QStringLiteral("helperStatus"));
    readoutLayout->addWidget(dot_, 0, Qt::AlignVCenter);
    readoutLayout->addWidget(status_, 0, Qt::AlignVCenter);
    helperRow_ = addLabelledRow(tr("Helper"), readout);

    auto* buttons = new QWidget;
    auto* buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    install_ = new QPushButton(buttons);
    install_->setAutoDefault(false);
    auto* refresh = new QPushButton(tr("Refresh"), buttons);
    refresh->setAutoDefault(false);
    buttonLayout->addWidget(install_);
    buttonLayout->addWidget(refresh);
    buttonLayout->addStretch(1);
    buttonsRow_ = addRow(buttons);
    // The privileged step runs on its own; the window stays live and shows that it waits.
    connect(install_, &QPushButton::clicked, this, [this] {
        if (state_.logoHelperInstalled()) {
            state_.uninstallLogoHelper();
        } else {
            state_.installLogoHelper();
        }
    });
    connect(refresh, &QPushButton::clicked, this, [this] { state_.refreshHelperStatus(); });

    message_ = new QLabel;
    message_->setObjectName(QStringLiteral("helperMessage"));
    message_->setWordWrap(true);
    message_->setFont(calloutFont());
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Selectable text is painted with the Text role, plain text with WindowText.
    QPalette red = message_->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text}) {
        red.setColor(role, QColor(0xff, 0x3b, 0x30).darker(115));
    }
    message_->setPalette(red);
    messageRow_ = addRow(message_);

    showHelper();
    showMessage();
    connect(&state_, &AppState::logoHelperInstalledChanged, this, [this] { showHelper(); });
    connect(&state_, &AppState::logoHelperRunningChanged, this, [this] { showHelper(); });
    connect(&state_, &AppState::logoHelperMessageChanged, this, [this] { showMessage(); });
    connect(&state_, &AppState::logoHelperBusyChanged, this, [this] { showHelper(); });
    connect(&state_, &AppState::logoHasLightChanged, this, [this] { showHelper(); });
    connect(&state_, &AppState::logoNeedsHelperChanged, this, [this] { showHelper(); });

    setFooter(tr(
        "Linux lets only the administrator switch the lid logo's light, so installing the helper "
        "asks for an administrator password. The helper is a tiny system service that switches "
        "the light on request. With pulsing on, the logo rests dark while Plinkora is on, lights "
        "the instant a note is struck and goes dark again as the note starts to fade, so a "
        "longer Note length keeps it lit longer. The light can only be switched on or off, so it "
        "switches rather than fades. It is left lit when Plinkora is turned off or quits."));
}

void LogoSection::buildSandboxedRows() {
    auto* explanation = new QLabel(
        tr("Pulsing the lid logo needs a small helper that the sandboxed version of Plinkora "
           "isn't allowed to install. The free download from plinkora.org includes it."));
    explanation->setWordWrap(true);
    addRow(explanation);

    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                .arg(QString::fromUtf8(kDownloadPage),
                                     tr("Get the plinkora.org version").toHtmlEscaped()));
    link->setObjectName(QStringLiteral("downloadLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setOpenExternalLinks(true);
    addRow(link);

    setFooter(tr("On a laptop with a lit logo on its lid, the direct-download version can light "
                 "the logo on each note."));
}

void LogoSection::showHelper() {
    const HelperState now = helperState(state_);
    dot_->setPixmap(dot(helperColor(now, palette()), devicePixelRatioF()));
    status_->setText(helperStatus(now));
    install_->setText(state_.logoHelperInstalled() ? tr("Uninstall Helper…")
                                                   : tr("Install Helper…"));
    install_->setEnabled(now != HelperState::waiting);
    // Without a helper to manage, its rows go; one left installed can still be removed.
    const bool needsHelper = state_.logoNeedsHelper();
    setRowVisible(directRow_, !needsHelper);
    setRowVisible(helperRow_, needsHelper || state_.logoHelperInstalled());
    setRowVisible(buttonsRow_, needsHelper || state_.logoHelperInstalled());
}

void LogoSection::showMessage() {
    const auto& message = state_.logoHelperMessage();
    // The message comes from the system and is shown as it is, never as markup.
    message_->setTextFormat(Qt::PlainText);
    message_->setText(message ? QString::fromStdString(*message) : QString());
    setRowVisible(messageRow_, message.has_value());
}

} // namespace plinkora::ui
