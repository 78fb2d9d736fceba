// A stand-in for the desktop portal's GlobalShortcuts interface, for tests on a private
// session bus. It answers like xdg-desktop-portal (requests answered by a Response signal on
// the request object) and adds org.plinkora.test.FakePortal, through which a test reads what
// was bound and fires Activated.
//
//   plinkora_fake_shortcuts_portal [--without-global-shortcuts] [--refuse-binding] [--no-key]
//                                  [--never-responds]
//
// --no-key binds without assigning a key, as some desktops do until the person picks one;
// --never-responds answers calls but sends no Response, like a portal without a backend.
#include "system/PortalShortcut.hpp"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSet>
#include <cstdio>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kControl = QStringLiteral("org.plinkora.test.FakePortal");

using Shortcut = plinkora::PortalShortcut;

class FakePortal final : public QDBusVirtualObject {
public:
    FakePortal(const QStringList& flags)
        : hasGlobalShortcuts_(!flags.contains(QStringLiteral("--without-global-shortcuts")))
        , refusesBinding_(flags.contains(QStringLiteral("--refuse-binding")))
        , assignsKey_(!flags.contains(QStringLiteral("--no-key")))
        , responds_(!flags.contains(QStringLiteral("--never-responds"))) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString interface = message.interface();
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (interface == QLatin1String("org.freedesktop.DBus.Properties") &&
            member == QLatin1String("Get")) {
            if (hasGlobalShortcuts_ && args.value(0).toString() == kShortcuts &&
                args.value(1).toString() == QLatin1String("version")) {
                bus.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            } else {
                bus.send(message.createErrorReply(
                    QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                    QStringLiteral("No such interface")));
            }
            return true;
        }
        if (interface == kShortcuts && hasGlobalShortcuts_) {
            if (member == QLatin1String("CreateSession")) {
                createSession(message, bus);
                return true;
            }
            if (member == QLatin1String("BindShortcuts")) {
                bindShortcuts(message, bus);
                return true;
            }
        }
        if (interface == QLatin1String("org.freedesktop.portal.Session") &&
            member == QLatin1String("Close")) {
            openSessions_.remove(message.path());
            bus.send(message.createReply());
            return true;
        }
        if (interface == QLatin1String("org.freedesktop.portal.Request") &&
            member == QLatin1String("Close")) {
            bus.send(message.createReply());
            return true;
        }
        if (interface == kControl && member == QLatin1String("State")) {
            bus.send(message.createReply(QVariantMap{
                {QStringLiteral("sessionsCreated"), sessionsCreated_},
                {QStringLiteral("sessionsOpen"), static_cast<int>(openSessions_.size())},
                {QStringLiteral("lastSession"), lastSession_},
                {QStringLiteral("bindings"), bindings_},
                {QStringLiteral("shortcutId"), shortcutId_},
                {QStringLiteral("trigger"), trigger_},
                {QStringLiteral("description"), description_},
            }));
            return true;
        }
        if (interface == kControl && member == QLatin1String("Activate")) {
            // Activate(s session, s shortcut): as a key press and its release would.
            const QString session =
                args.value(0).toString().isEmpty() ? lastSession_ : args.value(0).toString();
            for (const QString& name :
                 {QStringLiteral("Activated"), QStringLiteral("Deactivated")}) {
                QDBusMessage signal = QDBusMessage::createSignal(kPath, kShortcuts, name);
                signal << QVariant::fromValue(QDBusObjectPath(session)) << args.value(1).toString()
                       << QVariant::fromValue(qulonglong(1234)) << QVariantMap();
                bus.send(signal);
            }
            bus.send(message.createReply());
            return true;
        }
        bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                     QStringLiteral("Not offered by the fake portal")));
        return true;
    }

private:
    static QString senderPart(const QDBusMessage& message) {
        QString sender = message.service().mid(1);
        return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    }

    void respond(const QDBusMessage& message, const QDBusConnection& bus, const QString& token,
                 uint response, const QVariantMap& results) const {
        const QString request =
            QStringLiteral("%1/request/%2/%3").arg(kPath, senderPart(message), token);
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        if (!responds_) {
            return;
        }
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        bus.send(signal);
    }

    void createSession(const QDBusMessage& message, const QDBusConnection& bus) {
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(0));
        const QString session =
            QStringLiteral("%1/session/%2/%3")
                .arg(kPath, senderPart(message),
                     options.value(QStringLiteral("session_handle_token")).toString());
        ++sessionsCreated_;
        openSessions_.insert(session);
        lastSession_ = session;
        respond(message, bus, options.value(QStringLiteral("handle_token")).toString(), 0,
                {{QStringLiteral("session_handle"), session}});
    }

    void bindShortcuts(const QDBusMessage& message, const QDBusConnection& bus) {
        const QList<QVariant> args = message.arguments();
        const QString session = qvariant_cast<QDBusObjectPath>(args.value(0)).path();
        const QDBusArgument shortcuts = qvariant_cast<QDBusArgument>(args.value(1));
        shortcuts.beginArray();
        while (!shortcuts.atEnd()) {
            QString id;
            QVariantMap properties;
            shortcuts.beginStructure();
            shortcuts >> id >> properties;
            shortcuts.endStructure();
            shortcutId_ = id;
            trigger_ = properties.value(QStringLiteral("preferred_trigger")).toString();
            description_ = properties.value(QStringLiteral("description")).toString();
        }
        shortcuts.endArray();
        const QVariantMap options = qdbus_cast<QVariantMap>(args.value(3));
        const bool isKnown = openSessions_.contains(session);
        if (isKnown && !refusesBinding_) {
            ++bindings_;
        }
        const QList<Shortcut> bound{
            {shortcutId_,
             {{QStringLiteral("description"), description_},
              {QStringLiteral("trigger_description"), assignsKey_ ? trigger_ : QString()}}}};
        respond(message, bus, options.value(QStringLiteral("handle_token")).toString(),
                isKnown && !refusesBinding_ ? 0 : 1,
                {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }

    bool hasGlobalShortcuts_;
    bool refusesBinding_;
    bool assignsKey_;
    bool responds_;
    int sessionsCreated_ = 0;
    int bindings_ = 0;
    QSet<QString> openSessions_;
    QString lastSession_;
    QString shortcutId_;
    QString trigger_;
    QString description_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    FakePortal portal(arguments);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kPath, &portal, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake portal: cannot register on the session bus\n");
        return 1;
    }
    return app.exec();
}
