#pragma once

#include <functional>
#include <string>

namespace plinkora {

enum class LogLevel { debug, info, notice, error };

/// The application's one logger: subsystem "org.plinkora.Plinkora", category "app".
///
/// Lines go to the systemd journal when its socket exists, otherwise to standard error
/// (PLINKORA_LOG=stderr forces standard error). Debug lines are written only when the Qt
/// logging rule "org.plinkora.Plinkora.app.debug=true" is set. Safe to call from any thread,
/// but never from the audio render path.
class Logger {
public:
    static void debug(const std::string& message) { write(LogLevel::debug, message); }
    static void info(const std::string& message) { write(LogLevel::info, message); }
    /// The fixed "Plinkora: " lines that go to the general system log.
    static void notice(const std::string& message) { write(LogLevel::notice, message); }
    static void error(const std::string& message) { write(LogLevel::error, message); }

    static void write(LogLevel level, const std::string& message);
    static bool isDebugEnabled();

    /// printf-style formatting for the log's "%f", "%ld", "%u" renderings.
    static std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
    /// How the log renders a "%{bool}d" argument.
    static const char* boolText(bool value) { return value ? "true" : "false"; }

    using Sink = std::function<void(LogLevel, const std::string&)>;
    /// Routes every line (debug lines only while enabled) to `sink` instead of the journal or
    /// standard error; an empty sink restores the normal outputs. Set it before other threads
    /// may log.
    static void setSinkForTesting(Sink sink);
};

} // namespace plinkora
