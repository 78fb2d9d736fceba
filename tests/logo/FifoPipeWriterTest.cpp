// The pipe writer against real FIFOs, with readers that behave like the helper.
#include "logo/FifoPipeWriter.hpp"

#include "ChildProcess.hpp"

#include <QTemporaryDir>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {
namespace {

using namespace std::chrono_literals;

/// Reads the FIFO as the helper does, with a shell of its own: each opening yields one line,
/// then the FIFO is closed, and the reader stays away for `busy` before opening it again.
class FifoReader {
public:
    FifoReader(const std::string& fifo, std::size_t lines,
               std::chrono::milliseconds startAfter = 0ms, std::chrono::milliseconds busy = 0ms)
        : wanted_(lines)
        , shell_({"sh", "-c",
                  "sleep " + seconds(startAfter) +
                      "; while :; do IFS= read -r line < \"$0\"; [ -n \"$line\" ] && "
                      "echo \"$line\" >> \"$1\"; sleep " +
                      seconds(busy) + "; done",
                  fifo, out_}) {
        // A reader due at once is ready when its shell waits in the FIFO's open.
        const std::string state = "/proc/" + std::to_string(shell_.pid()) + "/wchan";
        testing::waitUntil(
            [&] { return startAfter > 0ms || testing::readFile(state) == "wait_for_partner"; }, 5);
    }

    /// Waits up to `limit` for the expected number of lines, stops the reader and returns
    /// every line it read.
    std::vector<std::string> finish(std::chrono::milliseconds limit = 5s) {
        testing::waitUntil([&] { return lines().size() >= wanted_; },
                           std::chrono::duration<double>(limit).count());
        shell_.stop();
        return lines();
    }

private:
    static std::string seconds(std::chrono::milliseconds span) {
        return std::to_string(std::chrono::duration<double>(span).count());
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> read;
        std::istringstream text(testing::readFile(out_));
        for (std::string line; std::getline(text, line);) {
            read.push_back(line);
        }
        return read;
    }

    const std::size_t wanted_;
    QTemporaryDir dir_;
    const std::string out_ = dir_.path().toStdString() + "/read";
    testing::ChildProcess shell_;
};

/// What the worker reported about each line; written on the worker thread, read by the test
/// only once `finished` says so.
struct Reports {
    std::atomic<int> finished{0};
    std::atomic<int> lastAttempts{0};
    std::atomic<bool> lastDelivered{false};
    std::atomic<int> lastCommand{-1};

    FifoPipeWriter::LineFinished hook() {
        return [this](Lamp command, int attempts, bool delivered) {
            lastAttempts = attempts;
            lastDelivered = delivered;
            lastCommand = static_cast<int>(command);
            ++finished;
        };
    }
    bool awaitFinished(int count, std::chrono::milliseconds limit = 5s) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (finished < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(2ms);
        }
        return finished >= count;
    }
};

class FifoPipeWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    }

    QTemporaryDir dir;
    const std::string fifo = dir.path().toStdString() + "/logo-control";
    Reports reports;
};

TEST_F(FifoPipeWriterTest, WithoutAReaderALineIsTriedFiftyTimesOverASecondThenDropped) {
    FifoPipeWriter writer(fifo, FifoPipeWriter::Retry{}, reports.hook());
    const auto start = std::chrono::steady_clock::now();
    writer.write(Lamp::off);
    EXPECT_EQ(reports.finished, 0) << "write() must return while the retries go on";

    ASSERT_TRUE(reports.awaitFinished(1));
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(reports.lastAttempts, 50);
    EXPECT_FALSE(reports.lastDelivered);
    EXPECT_GE(spent, 49 * 20ms);

    // Nothing more is tried: a reader that comes now gets nothing.
    FifoReader late(fifo, 1);
    EXPECT_TRUE(late.finish(200ms).empty());
    EXPECT_EQ(reports.finished, 1);
}

TEST_F(FifoPipeWriterTest, AReaderThatComesWithinTheRetriesGetsTheLine) {
    FifoPipeWriter writer(fifo, FifoPipeWriter::Retry{}, reports.hook());
    FifoReader reader(fifo, 1, 500ms);
    writer.write(Lamp::on);

    EXPECT_EQ(reader.finish(), std::vector<std::string>{"on"});
    ASSERT_TRUE(reports.awaitFinished(1));
    EXPECT_TRUE(reports.lastDelivered);
    EXPECT_GT(reports.lastAttempts, 10);
    EXPECT_LT(reports.lastAttempts, 50);
}

TEST_F(FifoPipeWriterTest, BackToBackLinesArriveInOrderOnePerOpening) {
    // The reader is away for a moment after each line, as the helper is while it switches
    // the light; every line must still arrive, none swallowed by the previous opening.
    const std::vector<Lamp> sent{Lamp::on, Lamp::off, Lamp::on, Lamp::off, Lamp::on, Lamp::on};
    FifoReader reader(fifo, sent.size(), 0ms, 3ms);
    FifoPipeWriter writer(fifo, FifoPipeWriter::Retry{}, reports.hook());
    for (const Lamp command : sent) {
        writer.write(command);
    }
    EXPECT_EQ(reader.finish(), (std::vector<std::string>{"on", "off", "on", "off", "on", "on"}));
}

TEST_F(FifoPipeWriterTest, NeverWritesIntoARegularFileOrThroughALink) {
    const FifoPipeWriter::Retry quick{3, std::chrono::microseconds(1000), 50ms};
    const std::string file = dir.path().toStdString() + "/planted-file";
    { std::ofstream(file.c_str()); }
    {
        FifoPipeWriter writer(file, quick, reports.hook());
        writer.write(Lamp::on);
        ASSERT_TRUE(reports.awaitFinished(1));
    }
    EXPECT_EQ(reports.lastAttempts, 3);
    EXPECT_FALSE(reports.lastDelivered);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);

    // A link to a FIFO whose reader is waiting: the open must refuse to follow it.
    const std::string link = dir.path().toStdString() + "/planted-link";
    ASSERT_EQ(::symlink(fifo.c_str(), link.c_str()), 0);
    FifoReader reader(fifo, 1);
    {
        FifoPipeWriter writer(link, quick, reports.hook());
        writer.write(Lamp::off);
        ASSERT_TRUE(reports.awaitFinished(2));
    }
    EXPECT_FALSE(reports.lastDelivered);
    EXPECT_TRUE(reader.finish(100ms).empty());
    EXPECT_FALSE(FifoPipeWriter::writeLineOnce(link, "on\n", 0ms));
    EXPECT_FALSE(FifoPipeWriter::writeLineOnce(dir.path().toStdString() + "/missing", "on\n", 0ms));
}

TEST_F(FifoPipeWriterTest, ClosingCutsRetriesShortButTriesEveryQueuedLine) {
    {
        FifoPipeWriter writer(fifo, FifoPipeWriter::Retry{}, reports.hook());
        writer.write(Lamp::off);
        writer.write(Lamp::on);
    }
    // Both lines had their turn before the destructor returned, with far fewer than 50
    // attempts between them (the shutdown grace is 0.3 s of 20 ms pauses).
    EXPECT_EQ(reports.finished, 2);
    EXPECT_GE(reports.lastAttempts, 1);
    EXPECT_LT(reports.lastAttempts, 50);
    EXPECT_EQ(reports.lastCommand, static_cast<int>(Lamp::on));
}

TEST_F(FifoPipeWriterTest, AMissingHelperDoesNotLetTheQueueGrowWithoutBound) {
    {
        FifoPipeWriter writer(fifo, FifoPipeWriter::Retry{}, reports.hook());
        for (int i = 0; i < 200; ++i) {
            writer.write(i % 2 == 0 ? Lamp::on : Lamp::off);
        }
        writer.write(Lamp::on);
    }
    // The line in progress plus a full queue at most, and the newest line survives.
    EXPECT_LE(reports.finished, static_cast<int>(FifoPipeWriter::kQueueCapacity) + 1);
    EXPECT_GE(reports.finished, static_cast<int>(FifoPipeWriter::kQueueCapacity));
    EXPECT_EQ(reports.lastCommand, static_cast<int>(Lamp::on));
}

} // namespace
} // namespace plinkora
