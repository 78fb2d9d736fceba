#pragma once

#include "ChildProcess.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <stdexcept>
#include <string>
#include <vector>

namespace plinkora::testing {

/// Runs the event loop until `condition` holds or `seconds` pass; returns whether it held.
template <typename Condition> bool waitUntil(Condition condition, double seconds = 5.0) {
    QDeadlineTimer deadline(static_cast<qint64>(seconds * 1000));
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

/// Presses keys on the X server in $DISPLAY, as `xdotool key`, `keydown` or `keyup` does.
inline void xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int status = -1;
    runCommand(argv, {}, &status);
    if (status != 0) {
        throw std::runtime_error("xdotool failed");
    }
}

} // namespace plinkora::testing
