#pragma once

#include <QObject>
#include <functional>

namespace plinkora {

/// Hands `call` to the thread `receiver` lives on, through that thread's event queue; callable
/// from any thread. The call runs there later, unless `receiver` is destroyed first. Allocates
/// the queued event.
///
/// Qt's queue synchronises through futexes that ThreadSanitizer cannot see in an uninstrumented
/// Qt, so a ThreadSanitizer build declares the hand-over to it: what the posting thread did
/// before posting happens before the call runs.
void postCall(QObject& receiver, std::function<void()> call);

} // namespace plinkora
