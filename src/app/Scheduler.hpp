#pragma once

#include <cstdint>
#include <functional>

namespace plinkora {

/// Work items and repeating timers on the main thread's queue.
///
/// Production runs them on the Qt event loop with precise timers; tests drive the same
/// interface with a manual clock. Called on the main thread only; work runs there too.
class Scheduler {
public:
    using TaskId = std::uint64_t;
    static constexpr TaskId kNoTask = 0;

    virtual ~Scheduler() = default;

    /// Monotonic time in seconds.
    virtual double now() const = 0;
    /// Runs `work` once, `delay` seconds from now.
    virtual TaskId after(double delay, std::function<void()> work) = 0;
    /// Runs `tick` every `interval` seconds, the first time one interval from now.
    virtual TaskId every(double interval, std::function<void()> tick) = 0;
    /// Cancels a pending work item or stops a repeating timer; unknown ids are ignored. Safe to
    /// call from within the work or tick it cancels.
    virtual void cancel(TaskId id) = 0;
    /// Whether the work item is still to run, or the timer still repeating.
    virtual bool isPending(TaskId id) const = 0;
};

/// Owns one scheduled task and cancels it when replaced or destroyed, so work never outlives
/// the object that scheduled it.
class ScheduledTask {
public:
    ScheduledTask() = default;
    ScheduledTask(Scheduler& scheduler, Scheduler::TaskId id)
        : scheduler_(&scheduler)
        , id_(id) {}
    ScheduledTask(ScheduledTask&& other) noexcept { *this = std::move(other); }
    ScheduledTask& operator=(ScheduledTask&& other) noexcept;
    ScheduledTask(const ScheduledTask&) = delete;
    ScheduledTask& operator=(const ScheduledTask&) = delete;
    ~ScheduledTask() { cancel(); }

    void cancel();
    /// Forgets the task without cancelling it (for a one-shot item that is running now).
    void release() {
        scheduler_ = nullptr;
        id_ = Scheduler::kNoTask;
    }
    bool isPending() const { return scheduler_ != nullptr && scheduler_->isPending(id_); }
    bool isEmpty() const { return id_ == Scheduler::kNoTask; }

private:
    Scheduler* scheduler_ = nullptr;
    Scheduler::TaskId id_ = Scheduler::kNoTask;
};

} // namespace plinkora
