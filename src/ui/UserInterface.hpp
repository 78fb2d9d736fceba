#pragma once

#include "ui/MenuContent.hpp"
#include "ui/SettingsWindowController.hpp"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMessageBox;

class QLocale;
class QTranslator;

namespace plinkora {
class AppState;
} // namespace plinkora

namespace plinkora::ui {

/// Plinkora's whole face: the tray icon with its menu, and the settings window made on first
/// use. Where the desktop has no tray, the settings window opens at start and offers quitting;
/// started at login with no tray, Plinkora says where to find it in one desktop notification
/// instead of putting a window in front of the new session.
/// Main thread only.
class UserInterface final : public QObject {
    Q_OBJECT

public:
    struct Options {
        bool sandboxed = false;
        bool trayAvailable = false;
        /// What "Quit Plinkora" does.
        std::function<void()> quit;
        /// Started by the session's autostart rather than by the user.
        bool startedAtLogin = false;
        /// Where the desktop's notification server is asked.
        QDBusConnection notificationBus = QDBusConnection::sessionBus();
    };

    /// The system's tray and sandbox, quitting through the event loop.
    static Options systemOptions(bool startedAtLogin);
    UserInterface(AppState& state, Options options);
    ~UserInterface() override;

    /// A message from the tray (or, without a tray, a small window); choosing it runs
    /// `onClicked`. A newer message replaces the action of an older one.
    void showNotification(const QString& title, const QString& text,
                          std::function<void()> onClicked);

    /// What "Settings…" does.
    void openSettings();
    /// What "Check for Updates…" does: Plinkora's window to the front, then the check.
    void checkForUpdates();

    /// Where the tray menu's top-left corner goes: against the icon's edge that faces the
    /// screen's middle, kept on `screen`; at the cursor when the desktop does not say where
    /// the icon is (an empty `icon`).
    static QPoint menuPosition(const QRect& icon, const QSize& menu, const QRect& screen,
                               const QPoint& cursor);
    /// Loads Plinkora's texts in the language of `locale` into `translator`; false where there
    /// is no translation (English needs none). Log lines stay English.
    static bool loadTranslations(QTranslator& translator, const QLocale& locale);

    QSystemTrayIcon& trayIcon() { return tray_; }
    MenuContent& menuContent() { return *menu_; }
    SettingsWindowController& settingsWindow() { return *settings_; }

private:
    void showEnabled(bool enabled);
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);
    /// One desktop notification, through the notification server; never waits for it.
    void notifyDesktop(const QString& summary, const QString& body);

    AppState& state_;
    Options options_;
    std::unique_ptr<SettingsWindowController> settings_;
    std::unique_ptr<MenuContent> menu_;
    QSystemTrayIcon tray_;
    std::function<void()> notificationAction_;
    QPointer<QMessageBox> notificationBox_;
};

} // namespace plinkora::ui
