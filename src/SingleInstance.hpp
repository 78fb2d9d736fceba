#pragma once

#include "CommandLine.hpp"

#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

namespace plinkora {

/// Keeps Plinkora to one instrument per user, whatever the timing of launches.
///
/// Liveness is a lock (flock) on a file in the user's private runtime folder, held for the
/// instance's whole life: whoever holds it is the instance, and the kernel lets it go when the
/// process ends, however it ends. Only the holder binds the hand-over socket, whose name it
/// writes into the lock file; later launches read the name, hand their verb over and exit. A
/// verb that reaches a busy instance waits for it, for at most 30 s. Main thread only.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kLockName = "org.plinkora.Plinkora.lock";
    static constexpr const char* kSocketName = "org.plinkora.Plinkora.socket";
    /// A verb older than this when the instance reads it is dropped.
    static constexpr int kVerbLifetimeSeconds = 30;

    /// $XDG_RUNTIME_DIR when it is private; else ${TMPDIR:-/tmp}/plinkora-UID, made private
    /// and checked (owner, mode, not a link); else ~/.cache/Plinkora/runtime, likewise. Empty
    /// when none can be had.
    static std::string privateFolder();

    /// `folder` as privateFolder() gives it; empty runs without a single instance.
    explicit SingleInstance(std::string folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Takes the lock if nobody holds it. Needs no Qt application.
    bool claim();
    /// For a launch that did not get the lock: hands `verb` to the instance and returns the
    /// exit status (0 once the verb is delivered or queued for a busy instance), saying through
    /// `tell` (an English line, to be translated) what happened when it is not plain. Takes the
    /// lock instead, and returns -1, should the instance quit meanwhile.
    int handOver(Verb verb, const std::function<void(const char* english)>& tell);

    /// For the lock holder, once the application exists: starts taking verbs.
    void listen();
    void setOnVerb(std::function<void(Verb)> handler) { onVerb_ = std::move(handler); }

private:
    void acceptConnections();
    std::string readSocketName() const;

    std::string folder_;
    int folderFd_ = -1;
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::string socketPath_;
    unsigned long socketInode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void(Verb)> onVerb_;
};

} // namespace plinkora
