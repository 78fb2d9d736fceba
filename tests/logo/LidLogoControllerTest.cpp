// The controller's timing and repeat rules on the manual clock, its privileged runs, and the
// direct way through a stand-in logind on a private bus.
#include "logo/LidLogoController.hpp"

#include "LogCapture.hpp"
#include "ManualScheduler.hpp"
#include "PrivateBus.hpp"
#include "TempHome.hpp"
#include "logo/HelperTexts.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace plinkora {
namespace {

using testing::LogCapture;
using testing::ManualScheduler;
using testing::TempHome;

struct Written {
    double at;
    Lamp command;
};

class RecordingPipe final : public PipeWriter {
public:
    RecordingPipe(const Scheduler& clock, std::vector<Written>& log)
        : clock_(clock)
        , log_(log) {}
    void write(Lamp command) override { log_.push_back({clock_.now(), command}); }

private:
    const Scheduler& clock_;
    std::vector<Written>& log_;
};

/// Stands in for pkexec: keeps each script and its outcome until the test answers.
class RecordingAdministrator final : public PrivilegedRunner {
public:
    struct Run {
        std::string scriptText;
        Done done;
    };
    explicit RecordingAdministrator(std::vector<Run>& runs)
        : runs_(runs) {}
    void runAsAdministrator(const std::string& scriptText, Done done) override {
        runs_.push_back({scriptText, std::move(done)});
    }

private:
    std::vector<Run>& runs_;
};

class LidLogoControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<LidLogoController> makeController(std::unique_ptr<LogindLed> direct = nullptr) {
        return makeControllerOn(clock, std::move(direct));
    }
    std::unique_ptr<LidLogoController>
    makeControllerOn(ManualScheduler& on, std::unique_ptr<LogindLed> direct = nullptr) {
        return std::make_unique<LidLogoController>(
            on, HelperPaths::production(), std::make_unique<RecordingPipe>(on, written),
            std::make_unique<RecordingAdministrator>(runs), std::move(direct));
    }
    TempHome home;
    ManualScheduler clock;
    std::vector<Written> written;
    std::vector<RecordingAdministrator::Run> runs;
};

// Each case is a script of steps on the manual clock, and the lamp commands it must send, at
// their times: "p1"/"p0" pulsing on/off, "s<seconds>" a strike lit for so long, "w<seconds>"
// time passing, "lit" leaving the logo lit.
TEST_F(LidLogoControllerTest, TheLampFollowsPulsingAndStrikesWithoutRepeats) {
    const struct {
        const char* name;
        std::vector<std::string> steps;
        std::vector<Written> expected;
    } cases[] = {
        {"the last hold ends it",
         {"p1", "w1", "s0.8", "w0.1", "s0.8", "w2"},
         {{0.0, Lamp::off}, {1.0, Lamp::on}, {1.9, Lamp::off}}},
        // Taken to be lit at start: switching pulsing off sends nothing.
        {"no repeats", {"p0", "p1", "p1"}, {{0.0, Lamp::off}}},
        {"strikes while not pulsing",
         {"s0.8", "p1", "p0", "s0.8", "w1"},
         {{0.0, Lamp::off}, {0.0, Lamp::on}}},
        {"stopping cancels the darkening",
         {"p1", "s0.8", "w0.3", "p0"},
         {{0.0, Lamp::off}, {0.0, Lamp::on}}},
        // Leaving lit sends on although the lamp is believed lit, and ends pulsing.
        {"leave lit",
         {"lit", "p1", "s0.5", "lit", "w2", "s0.5"},
         {{0.0, Lamp::on}, {0.0, Lamp::off}, {0.0, Lamp::on}, {0.0, Lamp::on}}},
        {"an invalid hold darkens at once",
         {"p1", "snan", "w0"},
         {{0.0, Lamp::off}, {0.0, Lamp::on}, {0.0, Lamp::off}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManualScheduler caseClock;
        written.clear();
        auto logo = makeControllerOn(caseClock);
        for (const std::string& step : c.steps) {
            const double value = step == "lit" ? 0 : std::stod(step.substr(1));
            if (step == "lit") {
                logo->leaveLit();
            } else if (step[0] == 'p') {
                logo->setPulsing(value != 0);
            } else if (step[0] == 's') {
                logo->noteStruck(value);
            } else {
                caseClock.advance(value);
            }
        }
        ASSERT_EQ(written.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(written[i].command, c.expected[i].command) << i;
            EXPECT_NEAR(written[i].at, c.expected[i].at, 1e-9) << i;
        }
        EXPECT_EQ(caseClock.pendingCount(), 0u);
    }
}

TEST_F(LidLogoControllerTest, InstallAndRemovalRunTheirWholeScriptAndReportLater) {
    auto logo = makeController();
    logo->setPulsing(true);
    std::vector<std::optional<std::string>> outcomes;
    const auto record = [&](const std::optional<std::string>& failure) {
        outcomes.push_back(failure);
    };

    logo->installHelper(record);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(outcomes.empty()) << "nothing is reported before the run ends";
    const HelperTexts texts(HelperPaths::production(), ::getuid());
    EXPECT_EQ(runs[0].scriptText, texts.installScript());
    runs[0].done(std::nullopt);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0]);

    // The fresh helper shows the logo lit: "on" would be a repeat, "off" is new.
    written.clear();
    logo->setPulsing(false);
    EXPECT_TRUE(written.empty());
    logo->setPulsing(true);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::off);

    LogCapture log;
    logo->uninstallHelper(record);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].scriptText, texts.uninstallScript());
    runs[1].done(std::string("The administrator password prompt was dismissed."));
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[1], "The administrator password prompt was dismissed.");
    EXPECT_TRUE(log.contains(
        "Removing the logo helper failed: The administrator password prompt was dismissed."));
    // A failed run leaves the lamp as it was.
    written.clear();
    logo->setPulsing(false);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].command, Lamp::on);

    // An answer that comes after the controller has gone still reaches the caller, safely.
    logo->installHelper(record);
    logo.reset();
    runs[2].done(std::nullopt);
    EXPECT_EQ(outcomes.size(), 3u);
}

// --- The direct way: logind's SetBrightness on a private system bus ---

/// logind's session object as far as the light goes: Introspect, and SetBrightness calls kept
/// for the test to read.
class StandInLogind final : public QDBusVirtualObject {
public:
    bool offersBrightness = true;
    int introspections = 0;
    std::vector<std::string> calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() == QLatin1String("Introspect")) {
            ++introspections;
            QString xml = QStringLiteral("<node><interface name=\"org.freedesktop.login1.Session\">"
                                         "<method name=\"Activate\"/>");
            if (offersBrightness) {
                xml += QStringLiteral("<method name=\"SetBrightness\"><arg type=\"s\"/>"
                                      "<arg type=\"s\"/><arg type=\"u\"/></method>");
            }
            bus.send(message.createReply(xml + QStringLiteral("</interface></node>")));
            return true;
        }
        if (message.member() == QLatin1String("SetBrightness") && offersBrightness) {
            const auto args = message.arguments();
            calls.push_back(args.value(0).toString().toStdString() + " " +
                            args.value(1).toString().toStdString() + " " +
                            std::to_string(args.value(2).toUInt()));
            bus.send(message.createReply());
            return true;
        }
        bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                     QStringLiteral("No such method")));
        return true;
    }
};

class LogindTest : public LidLogoControllerTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.isConnected() && client.isConnected()) << "no private bus";
        ASSERT_TRUE(
            service.registerVirtualObject(QString::fromUtf8(LogindLed::kSessionPath), &logind));
        ASSERT_TRUE(service.registerService(QString::fromUtf8(LogindLed::kService)));
        QDir().mkpath(leds.path() + QStringLiteral("/input3::capslock"));
        QDir().mkpath(leds.path() + QStringLiteral("/tpacpi::lid_logo_dot"));
        home.writeFile(QStringLiteral("leds/tpacpi::lid_logo_dot/max_brightness"), "255\n");
    }
    std::unique_ptr<LidLogoController> makeDirectController(bool* changed) {
        auto logo = makeController(
            std::make_unique<LogindLed>(client, home.path().toStdString() + "/leds"));
        logo->setOnNeedsHelperChanged([changed] { *changed = true; });
        return logo;
    }
    template <typename Condition> static bool spinUntil(Condition done) {
        return QTest::qWaitFor(done, 5000);
    }

    testing::PrivateBus bus;
    QDBusConnection service = bus.connect(QStringLiteral("logind"));
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    StandInLogind logind;
    QDir leds{home.path() + QStringLiteral("/leds")};
};

TEST_F(LogindTest, WhereLogindSwitchesLightsNoHelperIsNeeded) {
    bool changed = false;
    auto logo = makeDirectController(&changed);
    logo->setPulsing(true);
    EXPECT_TRUE(logo->needsHelper()) << "the helper's way until logind has answered";
    ASSERT_TRUE(spinUntil([&] { return changed; }));
    EXPECT_FALSE(logo->needsHelper());

    // What was decided before the answer reaches the light, and every command after it.
    logo->noteStruck(0.5);
    clock.advance(1.0);
    ASSERT_TRUE(spinUntil([&] { return logind.calls.size() == 3; }));
    EXPECT_EQ(logind.calls, (std::vector<std::string>{"leds tpacpi::lid_logo_dot 0",
                                                      "leds tpacpi::lid_logo_dot 255",
                                                      "leds tpacpi::lid_logo_dot 0"}));
    ASSERT_EQ(written.size(), 1u) << "only the command before the answer went to the pipe";
}

TEST_F(LogindTest, WithoutSetBrightnessOrALidLogoTheHelperStays) {
    for (const bool hasLight : {true, false}) {
        logind.offersBrightness = !hasLight;
        if (!hasLight) {
            leds.removeRecursively();
        }
        bool changed = false;
        auto logo = makeDirectController(&changed);
        logo->setPulsing(true);
        // Settled once logind has answered the probe (never asked without a light).
        ASSERT_EQ(spinUntil([&] { return logind.introspections == 1; }), hasLight);
        QTest::qWait(50);
        logind.introspections = 0;
        EXPECT_FALSE(changed) << hasLight;
        EXPECT_TRUE(logo->needsHelper()) << hasLight;
        EXPECT_TRUE(logind.calls.empty()) << hasLight;
        EXPECT_EQ(written.back().command, Lamp::off);
    }
}

} // namespace
} // namespace plinkora
