#include "ui/UserInterface.hpp"

#include "app/AppState.hpp"
#include "app/Logger.hpp"
#include "ui/PianoKeysIcon.hpp"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>
#include <algorithm>

namespace plinkora::ui {

namespace {

constexpr int kNotificationMilliseconds = 12000;

} // namespace

UserInterface::Options UserInterface::systemOptions(bool startedAtLogin) {
    return Options{AppState::isSandboxed(), QSystemTrayIcon::isSystemTrayAvailable(),
                   [] { QCoreApplication::quit(); }, startedAtLogin};
}

bool UserInterface::loadTranslations(QTranslator& translator, const QLocale& locale) {
    return translator.load(locale, QStringLiteral("plinkora"), QStringLiteral("_"),
                           QStringLiteral(":/i18n"));
}

UserInterface::UserInterface(AppState& state, Options options)
    : state_(state)
    , options_(std::move(options)) {
    SettingsWindow::Options windowOptions;
    windowOptions.sandboxed = options_.sandboxed;
    windowOptions.showsQuitButton = !options_.trayAvailable;
    windowOptions.checkForUpdates = [this] { checkForUpdates(); };
    windowOptions.quit = options_.quit;
    settings_ = std::make_unique<SettingsWindowController>(state_, std::move(windowOptions));

    MenuContent::Actions actions;
    actions.openSettings = [this] { openSettings(); };
    actions.checkForUpdates = [this] { checkForUpdates(); };
    actions.quit = options_.quit;
    menu_ = std::make_unique<MenuContent>(state_, std::move(actions), options_.sandboxed);

    tray_.setContextMenu(&menu_->menu());
    showEnabled(state_.isEnabled());
    connect(&state_, &AppState::isEnabledChanged, this, [this](bool on) { showEnabled(on); });
    connect(&tray_, &QSystemTrayIcon::activated, this, &UserInterface::onTrayActivated);
    connect(&tray_, &QSystemTrayIcon::messageClicked, this, [this] {
        if (auto action = std::exchange(notificationAction_, {})) {
            action();
        }
    });

    connect(&state_, &AppState::saveReported, this, &UserInterface::notifyDesktop);
    connect(&state_.updater(), &Updater::reminderPosted, this, &UserInterface::showNotification);

    // Shown even without a tray: Qt docks it when a panel with a tray starts later, as it
    // often does at login.
    tray_.show();
    if (!options_.trayAvailable && options_.startedAtLogin) {
        Logger::info("no system tray at login: saying where Plinkora is in a notification");
        notifyDesktop(tr("Plinkora is running"),
                      tr("This desktop shows no tray icon. Run \"plinkora --settings\" to open "
                         "the settings, or press Ctrl+Alt+Super+M to switch Plinkora on and off."));
    } else if (!options_.trayAvailable) {
        Logger::info("no system tray: showing the settings window");
        openSettings();
    }
}

void UserInterface::notifyDesktop(const QString& summary, const QString& body) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("Plinkora") << 0U << QStringLiteral("org.plinkora.Plinkora") << summary
           << body << QStringList() << QVariantMap() << -1;
    auto* watcher = new QDBusPendingCallWatcher(options_.notificationBus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        if (call->isError()) {
            Logger::info("could not send the notification: " +
                         call->error().message().toStdString());
        }
        call->deleteLater();
    });
}

UserInterface::~UserInterface() {
    tray_.hide();
    tray_.setContextMenu(nullptr);
    delete notificationBox_;
}

void UserInterface::openSettings() {
    settings_->show();
}

void UserInterface::checkForUpdates() {
    settings_->bringToFront();
    state_.updater().checkForUpdates();
}

void UserInterface::showEnabled(bool enabled) {
    tray_.setIcon(pianoKeysIcon(enabled));
    tray_.setToolTip(enabled ? tr("Plinkora is on") : tr("Plinkora is off"));
}

void UserInterface::onTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // A click on the icon opens the menu, as the right button does, like a menu bar item.
    if (reason != QSystemTrayIcon::Trigger) {
        return;
    }
    QMenu& menu = menu_->menu();
    const QPoint cursor = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(cursor);
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    menu.popup(menuPosition(tray_.geometry(), menu.sizeHint(), area, cursor));
}

QPoint UserInterface::menuPosition(const QRect& icon, const QSize& menu, const QRect& screen,
                                   const QPoint& cursor) {
    if (icon.isEmpty() || screen.isEmpty()) {
        return cursor;
    }
    // A panel along the top or bottom opens the menu below or above the icon; one along a side
    // opens it beside the icon.
    const bool alongSide = icon.center().y() > screen.top() + screen.height() / 4 &&
                           icon.center().y() < screen.bottom() - screen.height() / 4;
    QPoint place;
    if (alongSide) {
        place = {icon.center().x() < screen.center().x() ? icon.right() + 1
                                                         : icon.left() - menu.width(),
                 icon.top()};
    } else {
        place = {icon.left(), icon.center().y() < screen.center().y() ? icon.bottom() + 1
                                                                      : icon.top() - menu.height()};
    }
    place.setX(std::clamp(place.x(), screen.left(),
                          std::max(screen.left(), screen.right() + 1 - menu.width())));
    place.setY(std::clamp(place.y(), screen.top(),
                          std::max(screen.top(), screen.bottom() + 1 - menu.height())));
    return place;
}

void UserInterface::showNotification(const QString& title, const QString& text,
                                     std::function<void()> onClicked) {
    notificationAction_ = std::move(onClicked);
    if (options_.trayAvailable && QSystemTrayIcon::supportsMessages()) {
        tray_.showMessage(title, text, pianoKeysIcon(state_.isEnabled()),
                          kNotificationMilliseconds);
        return;
    }
    // Without a tray there is no notification area to show it in.
    delete notificationBox_;
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Close);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QPushButton* open = box->addButton(QMessageBox::Open);
    connect(open, &QPushButton::clicked, this, [this] {
        if (auto action = std::exchange(notificationAction_, {})) {
            action();
        }
    });
    notificationBox_ = box;
    box->show();
}

} // namespace plinkora::ui
