#include "ManualScheduler.hpp"

#include <algorithm>

namespace plinkora::testing {

Scheduler::TaskId ManualScheduler::after(double delay, std::function<void()> work) {
    const TaskId id = nextId_++;
    tasks_[id] = Task{now_ + std::max(0.0, delay), 0, false, nextOrder_++, std::move(work)};
    return id;
}

Scheduler::TaskId ManualScheduler::every(double interval, std::function<void()> tick) {
    const TaskId id = nextId_++;
    tasks_[id] = Task{now_ + interval, interval, true, nextOrder_++, std::move(tick)};
    return id;
}

void ManualScheduler::cancel(TaskId id) {
    tasks_.erase(id);
}

bool ManualScheduler::isPending(TaskId id) const {
    return tasks_.count(id) != 0;
}

std::pair<Scheduler::TaskId, ManualScheduler::Task*> ManualScheduler::nextDue() {
    std::pair<TaskId, Task*> best{kNoTask, nullptr};
    for (auto& [id, task] : tasks_) {
        if (best.second == nullptr || task.due < best.second->due ||
            (task.due == best.second->due && task.order < best.second->order)) {
            best = {id, &task};
        }
    }
    return best;
}

void ManualScheduler::runTask(TaskId id) {
    auto it = tasks_.find(id);
    Task& task = it->second;
    now_ = std::max(now_, task.due);
    if (!task.repeating) {
        auto work = std::move(task.work);
        tasks_.erase(it);
        work();
        return;
    }
    // Copy, since the tick may cancel its own timer.
    auto work = task.work;
    task.due += task.interval;
    task.order = nextOrder_++;
    work();
}

void ManualScheduler::advance(double seconds) {
    // A tiny tolerance absorbs the rounding of repeated interval sums.
    const double target = now_ + seconds;
    for (;;) {
        auto [id, task] = nextDue();
        if (task == nullptr || task->due > target + 1e-9) {
            break;
        }
        runTask(id);
    }
    now_ = std::max(now_, target);
}

} // namespace plinkora::testing
