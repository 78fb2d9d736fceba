#pragma once

#include "app/CommandLine.hpp"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;

namespace plinkora {

/// Keeps Plinkora to one instance per user: later launches hand their verb to the running
/// one over a socket in the user's private runtime folder, so no other user can send one.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    /// $XDG_RUNTIME_DIR/org.plinkora.Plinkora.socket, or a private folder in /tmp when the
    /// runtime folder is missing; empty when no private folder can be had.
    static std::string defaultSocketPath();

    /// Hands `verb` to a running instance; true when one took it. Needs no Qt application.
    static bool handOver(const std::string& socketPath, Verb verb);

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Starts taking verbs; false when another instance already listens.
    bool listen();
    void setOnVerb(std::function<void(Verb)> handler) { onVerb_ = std::move(handler); }

private:
    void acceptConnections();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
    std::function<void(Verb)> onVerb_;
};

} // namespace plinkora
