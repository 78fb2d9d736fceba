#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>

class QDBusMessage;

namespace plinkora {

/// One shortcut bound through the desktop portal's GlobalShortcuts interface, for Wayland
/// sessions, where X11 grabs never see keys typed into Wayland windows.
///
/// Asks the portal whether it offers the interface, opens a session and binds the shortcut
/// with `trigger` as the preferred one (the desktop may let the person choose another). Each
/// Activated signal of the session runs `activated`. `unavailable` runs once when the portal
/// lacks the interface, cannot open a session, has not bound the shortcut within
/// kPatienceMs, or binds it without a key; in the last two cases the conversation goes on,
/// and a later binding or key still works. A binding that the person or the desktop refuses
/// leaves the shortcut silent. The session is closed when the object goes. Main thread only.
class GlobalHotKeyPortal final : public QObject {
    Q_OBJECT

public:
    static constexpr int kPatienceMs = 5000;

    GlobalHotKeyPortal(QDBusConnection bus, QString trigger, QString description,
                       std::function<void()> activated, std::function<void()> unavailable);
    ~GlobalHotKeyPortal() override;

    /// Whether the desktop has bound the shortcut to a key.
    bool isBound() const { return isBound_; }
    /// Called once the desktop has bound the shortcut to a key.
    void setOnBound(std::function<void()> callback) { onBound_ = std::move(callback); }

    /// XDG shortcut notation of a Qt key combination, such as "CTRL+ALT+LOGO+m"; empty when
    /// the key has no name there.
    static QString triggerFor(Qt::Key key, Qt::KeyboardModifiers modifiers);

private Q_SLOTS:
    void onSessionCreated(uint response, const QVariantMap& results);
    void onShortcutsBound(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& message);

private:
    void createSession();
    void bindShortcuts();
    /// Sends a portal request and routes its Response signal to `slot`.
    void request(const QDBusMessage& call, const QString& token, const char* slot);
    void watchResponse(const QString& path, const char* slot);
    void stopWatchingResponse();
    void giveUp(const std::string& reason);
    void fallBack();

    QDBusConnection bus_;
    QString trigger_;
    QString description_;
    std::function<void()> activated_;
    std::function<void()> unavailable_;
    std::function<void()> onBound_;
    QString requestPath_;
    const char* requestSlot_ = nullptr;
    QString sessionPath_;
    bool hasGivenUp_ = false;
    bool hasFallenBack_ = false;
    // Bound at all, and bound to a key.
    bool isSessionBound_ = false;
    bool isBound_ = false;
    QTimer patience_;
};

} // namespace plinkora
