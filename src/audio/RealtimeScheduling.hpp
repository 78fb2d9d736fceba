#pragma once

#include <QDBusConnection>
#include <functional>
#include <string>
#include <sys/types.h>

namespace plinkora::audio {

/// Real-time scheduling for the audio thread, as audio programs get it: SCHED_FIFO set
/// directly where the process may, else granted by RealtimeKit on the system bus (with
/// RLIMIT_RTTIME set first, as RealtimeKit requires). Without either the thread runs at normal
/// priority, only more likely to be late under load.
class RealtimeScheduling {
public:
    static constexpr int kPriority = 10;
    /// CPU time a real-time thread may use without blocking before the kernel steps in.
    static constexpr long kRealtimeLimitUsec = 200'000;
    static constexpr const char* kService = "org.freedesktop.RealtimeKit1";
    static constexpr const char* kPath = "/org/freedesktop/RealtimeKit1";

    /// Runs on the thread to be raised: SCHED_FIFO for it, directly; true when granted.
    static bool tryDirect();
    /// Main thread: asks RealtimeKit for thread `tid`; `done` gets the answer later, on the
    /// main thread: empty when granted, else why not.
    static void askRealtimeKit(const QDBusConnection& bus, pid_t tid,
                               std::function<void(std::string refusal)> done);
};

} // namespace plinkora::audio
