#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace plinkora {

/// Turns SIGTERM, SIGINT and SIGHUP into a call on the main thread, through a self-pipe: the
/// signal handler only writes one byte, never calls Qt.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~SignalWatcher() override;

private:
    static void handle(int signo);
    void drain();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace plinkora
