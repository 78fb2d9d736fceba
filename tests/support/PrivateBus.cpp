#include "PrivateBus.hpp"

#include <QThread>

namespace plinkora::testing {

PrivateBus::PrivateBus()
    : address_("unix:path=" + dir_.path().toStdString() + "/bus")
    , daemon_(std::make_unique<ChildProcess>(std::vector<std::string>{
          "dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address_})) {}

PrivateBus::~PrivateBus() {
    for (const QString& name : std::as_const(names_)) {
        QDBusConnection::disconnectFromBus(name);
    }
}

QDBusConnection PrivateBus::connect(const QString& name) {
    names_.append(name);
    // The daemon may still be making its socket.
    for (int i = 0; i < 500; ++i) {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address_), name);
        if (bus.isConnected()) {
            return bus;
        }
        QDBusConnection::disconnectFromBus(name);
        QThread::msleep(10);
    }
    return QDBusConnection(name);
}

} // namespace plinkora::testing
