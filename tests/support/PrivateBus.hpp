#pragma once

#include "ChildProcess.hpp"

#include <QDBusConnection>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

namespace plinkora::testing {

/// A private dbus-daemon for one test, so that stand-ins of desktop and system services never
/// meet the machine's own, and the machine's are never activated.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return address_; }
    /// A connection of this process to the bus, under `name`; closed when the bus goes.
    QDBusConnection connect(const QString& name);

private:
    QTemporaryDir dir_;
    std::string address_;
    std::unique_ptr<ChildProcess> daemon_;
    QStringList names_;
};

} // namespace plinkora::testing
