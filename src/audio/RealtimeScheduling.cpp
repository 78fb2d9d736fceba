#include "audio/RealtimeScheduling.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace plinkora::audio {

namespace {

/// A RealtimeKit that has not answered by then is taken to have refused.
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

bool RealtimeScheduling::tryDirect() {
    // The same limit RealtimeKit insists on: a runaway thread cannot lock up the machine.
    const rlimit limit{kRealtimeLimitUsec, kRealtimeLimitUsec};
    ::setrlimit(RLIMIT_RTTIME, &limit);
    sched_param parameter{};
    parameter.sched_priority = kPriority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &parameter) == 0;
}

void RealtimeScheduling::askRealtimeKit(const QDBusConnection& bus, pid_t tid,
                                        std::function<void(std::string refusal)> done) {
    const rlimit limit{kRealtimeLimitUsec, kRealtimeLimitUsec};
    if (::setrlimit(RLIMIT_RTTIME, &limit) != 0) {
        done("RLIMIT_RTTIME could not be set");
        return;
    }
    if (!bus.isConnected()) {
        done("no system bus");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromUtf8(kService), QString::fromUtf8(kPath), QString::fromUtf8(kService),
        QStringLiteral("MakeThreadRealtime"));
    call << static_cast<qulonglong>(tid) << static_cast<uint>(kPriority);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), nullptr);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* reply) {
                         reply->deleteLater();
                         done(reply->isError() ? reply->error().message().toStdString()
                                               : std::string());
                     });
}

} // namespace plinkora::audio
