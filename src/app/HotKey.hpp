#pragma once

#include <QKeySequence>
#include <functional>
#include <memory>

namespace plinkora {

/// A system-wide key combination, registered for as long as the object lives.
class HotKey {
public:
    virtual ~HotKey() = default;
};

/// Makes the hot key for a Qt key with a modifier set; the action runs on the main thread once
/// per press, whichever application is in front.
using HotKeyFactory = std::function<std::unique_ptr<HotKey>(
    Qt::Key key, Qt::KeyboardModifiers modifiers, std::function<void()> action)>;

} // namespace plinkora
