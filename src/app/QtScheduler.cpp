#include "app/QtScheduler.hpp"

#include <QTimer>
#include <cmath>

namespace plinkora {

QtScheduler::QtScheduler() {
    clock_.start();
}

QtScheduler::~QtScheduler() {
    for (auto& [id, timer] : timers_) {
        delete timer;
    }
}

QtScheduler& QtScheduler::instance() {
    static QtScheduler scheduler;
    return scheduler;
}

double QtScheduler::now() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

Scheduler::TaskId QtScheduler::after(double delay, std::function<void()> work) {
    return start(delay, false, std::move(work));
}

Scheduler::TaskId QtScheduler::every(double interval, std::function<void()> tick) {
    return start(interval, true, std::move(tick));
}

Scheduler::TaskId QtScheduler::start(double interval, bool repeating, std::function<void()> work) {
    const TaskId id = nextId_++;
    auto* timer = new QTimer;
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    timer->setInterval(static_cast<int>(std::lround(std::max(0.0, interval) * 1000.0)));
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, repeating, work = std::move(work)] {
        if (!repeating) {
            // Forget the item before it runs so that the work may schedule or cancel freely.
            auto it = timers_.find(id);
            if (it == timers_.end()) {
                return;
            }
            QTimer* self = it->second;
            timers_.erase(it);
            auto job = work;
            self->deleteLater();
            job();
            return;
        }
        work();
    });
    timers_.emplace(id, timer);
    timer->start();
    return id;
}

void QtScheduler::cancel(TaskId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        return;
    }
    it->second->stop();
    // The timer may be the one whose tick is running right now.
    it->second->deleteLater();
    timers_.erase(it);
}

bool QtScheduler::isPending(TaskId id) const {
    return timers_.count(id) != 0;
}

} // namespace plinkora
