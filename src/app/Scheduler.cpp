#include "app/Scheduler.hpp"

#include <utility>

namespace plinkora {

ScheduledTask& ScheduledTask::operator=(ScheduledTask&& other) noexcept {
    if (this != &other) {
        cancel();
        scheduler_ = std::exchange(other.scheduler_, nullptr);
        id_ = std::exchange(other.id_, Scheduler::kNoTask);
    }
    return *this;
}

void ScheduledTask::cancel() {
    if (scheduler_ != nullptr && id_ != Scheduler::kNoTask) {
        scheduler_->cancel(id_);
    }
    scheduler_ = nullptr;
    id_ = Scheduler::kNoTask;
}

} // namespace plinkora
