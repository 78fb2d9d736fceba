#include "ui/SettingsWindow.hpp"

#include "app/AppState.hpp"
#include "ui/PianoKeysIcon.hpp"
#include "ui/SettingsView.hpp"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace plinkora::ui {

SettingsWindow::SettingsWindow(AppState& state, const Options& options, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , state_(state) {
    setWindowTitle(tr("Plinkora Settings"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("org.plinkora.Plinkora"), pianoKeysIcon(true)));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedWidth(kWidth);
    setMinimumHeight(kMinimumHeight);
    setMaximumHeight(kMaximumHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    view_ = new SettingsView(state_, options.sandboxed, options.checkForUpdates);
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setWidget(view_);
    layout->addWidget(scrollArea_, 1);
    // Scrolling down the form must not change the settings the pointer passes over.
    const auto controls = view_->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (qobject_cast<QComboBox*>(control) != nullptr ||
            qobject_cast<QAbstractSlider*>(control) != nullptr ||
            qobject_cast<QAbstractSpinBox*>(control) != nullptr) {
            control->setFocusPolicy(Qt::StrongFocus);
            control->installEventFilter(this);
        }
    }

    auto quit = options.quit;
    if (options.showsQuitButton) {
        auto* foot = new QHBoxLayout;
        foot->setContentsMargins(20, 10, 20, 14);
        foot->addStretch(1);
        quitButton_ = new QPushButton(tr("Quit Plinkora"), this);
        quitButton_->setAutoDefault(false);
        connect(quitButton_, &QPushButton::clicked, this, [quit] {
            if (quit) {
                quit();
            }
        });
        foot->addWidget(quitButton_);
        layout->addLayout(foot);
    }

    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    auto* quitShortcut = new QAction(this);
    quitShortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitShortcut, &QAction::triggered, this, [quit] {
        if (quit) {
            quit();
        }
    });
    addAction(quitShortcut);
}

bool SettingsWindow::restoreFrame() {
    const QByteArray frame = state_.settings().settingsWindowFrame();
    return !frame.isEmpty() && restoreGeometry(frame);
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Wheel && control != nullptr && !control->hasFocus()) {
        QCoreApplication::sendEvent(scrollArea_->viewport(), event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    saveFrame();
}

void SettingsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    saveFrame();
}

void SettingsWindow::saveFrame() {
    // Geometry changes while the window is hidden or being set up are not the user's.
    if (savesFrame_ && isVisible()) {
        state_.settings().setSettingsWindowFrame(saveGeometry());
    }
}

} // namespace plinkora::ui
