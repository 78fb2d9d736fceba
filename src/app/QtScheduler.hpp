#pragma once

#include "app/Scheduler.hpp"

#include <QElapsedTimer>
#include <QObject>
#include <memory>
#include <unordered_map>

class QTimer;

namespace plinkora {

/// The scheduler on the Qt event loop. Precise timers keep firing while a menu is open or
/// the mouse is dragged, since Qt runs its timers in every nested event loop.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    /// The process's scheduler on the main thread.
    static QtScheduler& instance();

    double now() const override;
    TaskId after(double delay, std::function<void()> work) override;
    TaskId every(double interval, std::function<void()> tick) override;
    void cancel(TaskId id) override;
    bool isPending(TaskId id) const override;

private:
    TaskId start(double interval, bool repeating, std::function<void()> work);

    QElapsedTimer clock_;
    TaskId nextId_ = 1;
    std::unordered_map<TaskId, QTimer*> timers_;
};

} // namespace plinkora
