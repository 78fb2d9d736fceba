#pragma once

#include "app/Scheduler.hpp"

#include <map>
#include <utility>

namespace plinkora::testing {

/// A scheduler whose clock moves only when a test advances it, so that timing rules are
/// checked exactly and fast. Work due at the same moment runs in the order it was scheduled.
class ManualScheduler final : public Scheduler {
public:
    double now() const override { return now_; }
    TaskId after(double delay, std::function<void()> work) override;
    TaskId every(double interval, std::function<void()> tick) override;
    void cancel(TaskId id) override;
    bool isPending(TaskId id) const override;

    /// Moves the clock forward by `seconds`, running everything that falls due on the way
    /// (each at its own due time, so now() inside the work reads that time).
    void advance(double seconds);
    std::size_t pendingCount() const { return tasks_.size(); }

private:
    struct Task {
        double due = 0;
        double interval = 0;
        bool repeating = false;
        std::uint64_t order = 0;
        std::function<void()> work;
    };
    std::pair<TaskId, Task*> nextDue();
    void runTask(TaskId id);

    double now_ = 0;
    TaskId nextId_ = 1;
    std::uint64_t nextOrder_ = 0;
    std::map<TaskId, Task> tasks_;
};

} // namespace plinkora::testing
