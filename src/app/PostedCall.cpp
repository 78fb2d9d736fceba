#include "app/PostedCall.hpp"

#include <QMetaObject>
#include <memory>

#if defined(__SANITIZE_THREAD__)
extern "C" {
void __tsan_acquire(void* address);
void __tsan_release(void* address);
void __tsan_ignore_thread_begin();
void __tsan_ignore_thread_end();
}
#endif

namespace plinkora {

void postCall(QObject& receiver, std::function<void()> call) {
#if defined(__SANITIZE_THREAD__)
    // The call itself is the token: posting releases it and running acquires it. Qt's own
    // handling of the request in between is left out of the analysis, since the queue's
    // locking it relies on is invisible.
    auto handed = std::make_shared<std::function<void()>>(std::move(call));
    __tsan_release(handed.get());
    __tsan_ignore_thread_begin();
    QMetaObject::invokeMethod(
        &receiver,
        [handed = std::move(handed)] {
            __tsan_acquire(handed.get());
            (*handed)();
        },
        Qt::QueuedConnection);
    __tsan_ignore_thread_end();
#else
    QMetaObject::invokeMethod(&receiver, std::move(call), Qt::QueuedConnection);
#endif
}

} // namespace plinkora
