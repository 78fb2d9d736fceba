#include "PrivateBus.hpp"

#include <QFile>

namespace plinkora::testing {

PrivateBus::PrivateBus()
    : address_("unix:path=" + dir_.path().toStdString() + "/bus") {
    // The standard session configuration would activate the machine's own services (its
    // desktop portal, say) by name; this one activates nothing.
    const QString config = dir_.path() + QStringLiteral("/bus.conf");
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                   "busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>" +
                   QByteArray::fromStdString(address_) +
                   "</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    }
    file.close();
    daemon_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + config.toStdString(), "--nofork",
                                 "--nopidfile", "--address=" + address_});
}

PrivateBus::~PrivateBus() {
    for (const QString& name : std::as_const(names_)) {
        QDBusConnection::disconnectFromBus(name);
    }
}

QDBusConnection PrivateBus::connect(const QString& name) {
    names_.append(name);
    // The daemon may still be making its socket.
    waitUntil([&] {
        if (QDBusConnection::connectToBus(QString::fromStdString(address_), name).isConnected()) {
            return true;
        }
        QDBusConnection::disconnectFromBus(name);
        return false;
    });
    return QDBusConnection(name);
}

} // namespace plinkora::testing
