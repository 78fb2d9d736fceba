#include "system/GlobalHotKeyPortal.hpp"

#include "app/Logger.hpp"
#include "system/PortalShortcut.hpp"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QKeySequence>

namespace plinkora {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kShortcutId = QStringLiteral("toggle");

using Shortcut = PortalShortcut;

QString nextToken() {
    static unsigned counter = 0;
    return QStringLiteral("plinkora%1").arg(++counter);
}

} // namespace

GlobalHotKeyPortal::GlobalHotKeyPortal(QDBusConnection bus, QString trigger, QString description,
                                       std::function<void()> activated,
                                       std::function<void()> unavailable)
    : bus_(std::move(bus))
    , trigger_(std::move(trigger))
    , description_(std::move(description))
    , activated_(std::move(activated))
    , unavailable_(std::move(unavailable)) {
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    if (!bus_.isConnected()) {
        giveUp("no session bus");
        return;
    }
    // A portal that does not answer in time counts as absent, so that the X11 grab takes
    // over; the conversation goes on, and a late binding is still used.
    patience_.setSingleShot(true);
    connect(&patience_, &QTimer::timeout, this, [this] {
        if (!isBound_) {
            Logger::info("The desktop portal has not answered the shortcut request within 5 s");
            fallBack();
        }
    });
    patience_.start(kPatienceMs);
    // The interface's version property answers only where the portal offers it; a missing
    // portal or a desktop without a backend for it replies with an error.
    QDBusMessage probe = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    probe << kShortcuts << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(probe, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (call->isError()) {
                    giveUp("the portal does not offer GlobalShortcuts: " +
                           call->error().message().toStdString());
                    return;
                }
                createSession();
            });
}

GlobalHotKeyPortal::~GlobalHotKeyPortal() {
    if (!bus_.isConnected()) {
        return;
    }
    if (!requestPath_.isEmpty()) {
        bus_.send(QDBusMessage::createMethodCall(kService, requestPath_, kRequest,
                                                 QStringLiteral("Close")));
    }
    if (!sessionPath_.isEmpty()) {
        bus_.send(QDBusMessage::createMethodCall(kService, sessionPath_,
                                                 QStringLiteral("org.freedesktop.portal.Session"),
                                                 QStringLiteral("Close")));
    }
}

QString GlobalHotKeyPortal::triggerFor(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QString name;
    const int code = static_cast<int>(key);
    if ((code >= Qt::Key_A && code <= Qt::Key_Z) || (code >= Qt::Key_0 && code <= Qt::Key_9)) {
        name = QString(QChar(code)).toLower();
    } else if (code >= Qt::Key_F1 && code <= Qt::Key_F35) {
        name = QStringLiteral("F%1").arg(code - Qt::Key_F1 + 1);
    } else {
        switch (key) {
        case Qt::Key_Space:
            name = QStringLiteral("space");
            break;
        case Qt::Key_Escape:
            name = QStringLiteral("Escape");
            break;
        case Qt::Key_Return:
            name = QStringLiteral("Return");
            break;
        case Qt::Key_Tab:
            name = QStringLiteral("Tab");
            break;
        case Qt::Key_Backspace:
            name = QStringLiteral("BackSpace");
            break;
        case Qt::Key_Delete:
            name = QStringLiteral("Delete");
            break;
        case Qt::Key_Insert:
            name = QStringLiteral("Insert");
            break;
        case Qt::Key_Home:
            name = QStringLiteral("Home");
            break;
        case Qt::Key_End:
            name = QStringLiteral("End");
            break;
        case Qt::Key_PageUp:
            name = QStringLiteral("Prior");
            break;
        case Qt::Key_PageDown:
            name = QStringLiteral("Next");
            break;
        case Qt::Key_Print:
            name = QStringLiteral("Print");
            break;
        case Qt::Key_Pause:
            name = QStringLiteral("Pause");
            break;
        default:
            return {};
        }
    }
    QString trigger;
    if (modifiers.testFlag(Qt::ControlModifier)) {
        trigger += QStringLiteral("CTRL+");
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        trigger += QStringLiteral("ALT+");
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        trigger += QStringLiteral("SHIFT+");
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        trigger += QStringLiteral("LOGO+");
    }
    return trigger + name;
}

void GlobalHotKeyPortal::createSession() {
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), nextToken()}};
    request(call, token, SLOT(onSessionCreated(uint, QVariantMap)));
}

void GlobalHotKeyPortal::onSessionCreated(uint response, const QVariantMap& results) {
    stopWatchingResponse();
    const QString session = results.value(QStringLiteral("session_handle")).toString();
    if (response != 0 || session.isEmpty()) {
        giveUp(Logger::format("no GlobalShortcuts session (response %u)", response));
        return;
    }
    sessionPath_ = session;
    // Listening before binding, so that no activation after the binding can be missed.
    bus_.connect(kService, kPath, kShortcuts, QStringLiteral("Activated"), this,
                 SLOT(onActivated(QDBusMessage)));
    bindShortcuts();
}

void GlobalHotKeyPortal::bindShortcuts() {
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kShortcuts,
                                                       QStringLiteral("BindShortcuts"));
    QVariantMap properties{{QStringLiteral("description"), description_}};
    if (!trigger_.isEmpty()) {
        properties.insert(QStringLiteral("preferred_trigger"), trigger_);
    }
    const QList<Shortcut> shortcuts{{kShortcutId, properties}};
    call << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariant::fromValue(shortcuts)
         << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
    request(call, token, SLOT(onShortcutsBound(uint, QVariantMap)));
}

void GlobalHotKeyPortal::onShortcutsBound(uint response, const QVariantMap& results) {
    stopWatchingResponse();
    if (response != 0) {
        Logger::debug(Logger::format("Global hot key: the desktop did not bind the shortcut "
                                     "(response %u)",
                                     response));
        return;
    }
    isSessionBound_ = true;
    QString triggers;
    const auto bound = qdbus_cast<QList<Shortcut>>(results.value(QStringLiteral("shortcuts")));
    for (const Shortcut& shortcut : bound) {
        triggers += shortcut.properties.value(QStringLiteral("trigger_description")).toString();
    }
    if (triggers.isEmpty()) {
        // Some desktops bind the shortcut without a key until the person assigns one. Until
        // then it does nothing, so the X11 grab stays; a key assigned later still works.
        Logger::info("The desktop bound the shortcut without a key: assign one to \"" +
                     description_.toStdString() + "\" in the desktop's keyboard shortcut settings");
        fallBack();
        return;
    }
    isBound_ = true;
    patience_.stop();
    Logger::debug("Global hot key bound through the portal: " + triggers.toStdString());
    if (onBound_) {
        onBound_();
    }
}

void GlobalHotKeyPortal::onActivated(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    // Only a shortcut the desktop agreed to bind is ours to act on.
    if (!isSessionBound_ || arguments.size() < 2 ||
        qvariant_cast<QDBusObjectPath>(arguments.at(0)).path() != sessionPath_ ||
        arguments.at(1).toString() != kShortcutId) {
        return;
    }
    // The action may end this object's life; it keeps its own copy alive for the call.
    const std::function<void()> activated = activated_;
    activated();
}

void GlobalHotKeyPortal::request(const QDBusMessage& call, const QString& token, const char* slot) {
    // The Response may follow the reply at once, so listen on the path the portal will use
    // before asking; older portals return a different path, which is watched instead.
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    watchResponse(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token), slot);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, slot](QDBusPendingCallWatcher* pending) {
                pending->deleteLater();
                QDBusPendingReply<QDBusObjectPath> reply = *pending;
                if (reply.isError()) {
                    stopWatchingResponse();
                    giveUp("the portal refused a request: " +
                           reply.error().message().toStdString());
                    return;
                }
                const QString path = reply.value().path();
                if (path != requestPath_ && requestSlot_ == slot) {
                    stopWatchingResponse();
                    watchResponse(path, slot);
                }
            });
}

void GlobalHotKeyPortal::watchResponse(const QString& path, const char* slot) {
    requestPath_ = path;
    requestSlot_ = slot;
    if (!bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot)) {
        giveUp("cannot watch the portal's responses");
    }
}

void GlobalHotKeyPortal::stopWatchingResponse() {
    if (requestPath_.isEmpty()) {
        return;
    }
    bus_.disconnect(kService, requestPath_, kRequest, QStringLiteral("Response"), this,
                    requestSlot_);
    requestPath_.clear();
    requestSlot_ = nullptr;
}

void GlobalHotKeyPortal::giveUp(const std::string& reason) {
    if (hasGivenUp_) {
        return;
    }
    hasGivenUp_ = true;
    patience_.stop();
    Logger::debug("Global hot key: " + reason);
    fallBack();
}

void GlobalHotKeyPortal::fallBack() {
    if (hasFallenBack_ || !unavailable_) {
        return;
    }
    hasFallenBack_ = true;
    const std::function<void()> unavailable = unavailable_;
    unavailable();
}

} // namespace plinkora
