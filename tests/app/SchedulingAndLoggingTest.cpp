#include "LogCapture.hpp"
#include "app/Logger.hpp"
#include "app/QtScheduler.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

using namespace plinkora;
using namespace plinkora::testing;

TEST(QtScheduler, RunsWorkOnTheEventLoopAndCancels) {
    QtScheduler scheduler;
    std::vector<int> order;
    int ticks = 0;
    Scheduler::TaskId ticker = 0;
    QEventLoop loop;
    ticker = scheduler.every(0.005, [&] {
        if (++ticks == 3) {
            scheduler.cancel(ticker);
        }
    });
    const auto cancelled = scheduler.after(0.01, [&] { order.push_back(99); });
    scheduler.after(0.02, [&] { order.push_back(2); });
    scheduler.after(0.0, [&] { order.push_back(1); });
    scheduler.after(0.05, [&] { loop.quit(); });
    scheduler.cancel(cancelled);
    EXPECT_TRUE(scheduler.isPending(ticker));
    EXPECT_FALSE(scheduler.isPending(cancelled));
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(scheduler.isPending(ticker));
    EXPECT_GT(scheduler.now(), 0.04);
}

TEST(Logger, WritesOneStampedLinePerMessageAndDebugOnlyWhenEnabled) {
    // PLINKORA_LOG=stderr is set for the test programs; catch standard error in a file.
    std::FILE* capture = std::tmpfile();
    ASSERT_NE(capture, nullptr);
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    Logger::info("scale is now C major");
    Logger::debug("strike zone 0 C4 via Click");
    QLoggingCategory::setFilterRules(QStringLiteral("org.plinkora.Plinkora.app.debug=true"));
    EXPECT_TRUE(Logger::isDebugEnabled());
    Logger::debug(Logger::format("strike zone %ld %s via %s", 3L, "F4", "Touch"));
    Logger::error(Logger::format("output format %f Hz, %s", 48000.0, Logger::boolText(false)));
    QLoggingCategory::setFilterRules(QString());
    EXPECT_FALSE(Logger::isDebugEnabled());
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);

    std::rewind(capture);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, capture) != nullptr) {
        text += buffer;
    }
    std::fclose(capture);
    const std::regex expected(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} info: scale is now C major\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} debug: strike zone 3 F4 via Touch\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} error: output format 48000.000000 "
        "Hz, false\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}
