#include "app/Logger.hpp"

#include <QDateTime>
#include <QLoggingCategory>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>
#include <vector>

namespace plinkora {

namespace {

Q_LOGGING_CATEGORY(appCategory, "org.plinkora.Plinkora.app", QtInfoMsg)

Logger::Sink& testSink() {
    static Logger::Sink sink;
    return sink;
}

bool useJournal() {
    static const bool journal = [] {
        const char* forced = std::getenv("PLINKORA_LOG");
        if (forced != nullptr && std::strcmp(forced, "stderr") == 0) {
            return false;
        }
        return access("/run/systemd/journal/socket", F_OK) == 0;
    }();
    return journal;
}

int priority(LogLevel level) {
    switch (level) {
    case LogLevel::debug:
        return LOG_DEBUG;
    case LogLevel::info:
        return LOG_INFO;
    case LogLevel::notice:
        return LOG_NOTICE;
    case LogLevel::error:
        return LOG_ERR;
    }
    return LOG_INFO;
}

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::debug:
        return "debug";
    case LogLevel::info:
        return "info";
    case LogLevel::notice:
        return "notice";
    case LogLevel::error:
        return "error";
    }
    return "info";
}

} // namespace

bool Logger::isDebugEnabled() {
    return appCategory().isDebugEnabled();
}

void Logger::write(LogLevel level, const std::string& message) {
    if (level == LogLevel::debug && !isDebugEnabled()) {
        return;
    }
    if (const auto& sink = testSink()) {
        sink(level, message);
        return;
    }
    if (useJournal()) {
        sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=%d", priority(level),
                        "SYSLOG_IDENTIFIER=plinkora", "PLINKORA_SUBSYSTEM=org.plinkora.Plinkora",
                        "PLINKORA_CATEGORY=app", nullptr);
        return;
    }
    const QByteArray stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
    std::fprintf(stderr, "%s %s: %s\n", stamp.constData(), levelName(level), message.c_str());
    std::fflush(stderr);
}

std::string Logger::format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), pattern, args);
        result.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}

void Logger::setSinkForTesting(Sink sink) {
    testSink() = std::move(sink);
}

} // namespace plinkora
