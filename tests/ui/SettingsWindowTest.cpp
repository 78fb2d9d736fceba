// The settings window on a real X server: its first place, its saved frame, its fixed width,
// the one window and the no-tray start.
#include "PrivateBus.hpp"
#include "UiFixture.hpp"
#include "ui/SettingsView.hpp"
#include "ui/SettingsWindowController.hpp"
#include "ui/UserInterface.hpp"

#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTranslator>
#include <array>
#include <gtest/gtest.h>

using namespace plinkora;
using namespace plinkora::testing;
using plinkora::ui::SettingsWindow;
using plinkora::ui::UserInterface;

namespace {

/// A desktop's notification server, as far as Notify goes.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown;
public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        shown << summary + QLatin1Char('\n') + body;
        return 1;
    }
};

class SettingsWindowTest : public ::testing::Test {
protected:
    void TearDown() override { ui.reset(); }

    UserInterface& makeInterface(bool trayAvailable = true, bool sandboxed = false,
                                 const std::function<void(UserInterface::Options&)>& more = {}) {
        UserInterface::Options options;
        options.sandboxed = sandboxed;
        options.trayAvailable = trayAvailable;
        if (more) {
            more(options);
        }
        options.quit = [this] { ++quits; };
        ui = std::make_unique<UserInterface>(app.state(), std::move(options));
        return *ui;
    }

    SettingsWindow& openSettings() {
        ui->openSettings();
        SettingsWindow* window = ui->settingsWindow().window();
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return *window;
    }

    /// Waits until the X server has applied a geometry request.
    static bool settlesAt(QWidget& window, const QRect& wanted) {
        return QTest::qWaitFor([&] { return window.geometry() == wanted; }, 3000);
    }

    UiFixture app;
    std::unique_ptr<UserInterface> ui;
    int quits = 0;
};

int settingsWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<SettingsWindow*>(widget) != nullptr ? 1 : 0;
    }
    return count;
}

} // namespace

// One window, first centred at 520 × 820; closing only hides it, and it comes back where the
// person left it, also after a restart.
TEST_F(SettingsWindowTest, OneWindowFirstCentredThenWhereItWasLeft) {
    makeInterface();
    SettingsWindow& window = openSettings();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Plinkora Settings"));
    EXPECT_EQ(window.size(), QSize(520, 820));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - screen.center()).manhattanLength(), 2);
    EXPECT_EQ(window.minimumSize(), QSize(520, 420));
    EXPECT_EQ(window.maximumSize(), QSize(520, 10000));
    EXPECT_EQ(&openSettings(), &window);
    EXPECT_EQ(settingsWindowCount(), 1);

    window.setGeometry(140, 60, 520, 1000);
    ASSERT_TRUE(settlesAt(window, QRect(140, 60, 520, 1000)));
    window.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 3000));
    EXPECT_EQ(&openSettings(), &window);
    EXPECT_EQ(window.pos(), QPoint(140, 60));
    EXPECT_EQ(settingsWindowCount(), 1);

    ui.reset();
    app.restart();
    makeInterface();
    EXPECT_TRUE(settlesAt(openSettings(), QRect(140, 60, 520, 1000)));
}

TEST_F(SettingsWindowTest, InGermanAndFrenchTheWindowAndMenuSpeakItAndNothingIsCutOff) {
    using namespace Qt::Literals::StringLiterals;
    const std::array<QStringList, 2> languages{
        QStringList{u"de_DE"_s, u"Plinkora-Einstellungen"_s, u"Plinkora beenden"_s},
        QStringList{u"fr_FR"_s, u"Réglages de Plinkora"_s, u"Quitter Plinkora"_s}};
    for (const QStringList& language : languages) {
        SCOPED_TRACE(language[0].toStdString());
        QTranslator translator;
        ASSERT_TRUE(ui::UserInterface::loadTranslations(translator, QLocale(language[0])));
        QCoreApplication::installTranslator(&translator);
        makeInterface(/*trayAvailable=*/false);
        SettingsWindow& window = openSettings();
        EXPECT_EQ(window.windowTitle(), language[1]);
        EXPECT_EQ(ui->menuContent().menu().actions().last()->text(), language[2]);
        EXPECT_EQ(window.width(), 520);
        EXPECT_EQ(window.scrollArea().horizontalScrollBar()->maximum(), 0) << "the form is wider";
        // Every text that does not wrap has the room it asks for.
        int checked = 0;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(widget);
            if (widget->isVisible() && ((label != nullptr && !label->wordWrap()) ||
                                        qobject_cast<QAbstractButton*>(widget) != nullptr ||
                                        qobject_cast<QComboBox*>(widget) != nullptr)) {
                ++checked;
                EXPECT_LE(widget->sizeHint().width(), widget->width())
                    << (label != nullptr ? label->text().toStdString() : "a control");
            }
        }
        EXPECT_GT(checked, 20);
        ui.reset();
        QCoreApplication::removeTranslator(&translator);
    }
}

// A panel arriving later (as at login) takes room: the window moves and shrinks into the rest.
TEST_F(SettingsWindowTest, APanelArrivingLaterKeepsTheWindowWholeOnTheScreen) {
    makeInterface();
    SettingsWindow& window = openSettings();
    const auto root = [](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"xprop", "-root"});
        runCommand(arguments);
    };
    root({"-f", "_NET_SUPPORTED", "32a", "-set", "_NET_SUPPORTED", "_NET_WORKAREA"});
    root({"-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", "0, 100, 1920, 600"});
    EXPECT_TRUE(settlesAt(window, QRect(700, 100, 520, 600)))
        << window.geometry().y() << " " << window.geometry().height();
    root({"-remove", "_NET_WORKAREA"});
    root({"-remove", "_NET_SUPPORTED"});
}

TEST_F(SettingsWindowTest, WithoutATrayTheWindowOpensAtStartAndOffersQuitting) {
    makeInterface(/*trayAvailable=*/false);
    SettingsWindow* window = ui->settingsWindow().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QPushButton* quit = window->quitButton();
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("Quit Plinkora"));
    EXPECT_TRUE(quit->isVisible());
    EXPECT_GT(quit->mapTo(window, QPoint(0, 0)).y(), window->scrollArea().geometry().bottom() - 1)
        << "the button sits at the window's foot, below the scrolling form";
    QTest::mouseClick(quit, Qt::LeftButton);
    EXPECT_EQ(quits, 1);
}

// And what saving the last minutes did is one notification too.
TEST_F(SettingsWindowTest, AtLoginWithoutATrayOneNotificationSaysWhereToFindPlinkora) {
    PrivateBus bus;
    NotificationServer server;
    QDBusConnection serving = bus.connect(QStringLiteral("notifications"));
    ASSERT_TRUE(serving.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(serving.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                       QDBusConnection::ExportAllSlots));
    makeInterface(false, false, [&](UserInterface::Options& options) {
        options.startedAtLogin = true;
        options.notificationBus = bus.connect(QStringLiteral("plinkora"));
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.shown.isEmpty(); }, 5000));
    EXPECT_TRUE(server.shown.first().contains(QStringLiteral("\"plinkora --settings\"")))
        << server.shown.first().toStdString();
    QTest::qWait(200);
    EXPECT_EQ(server.shown.size(), 1);
    EXPECT_EQ(settingsWindowCount(), 0) << "a window in front of the new session";

    Q_EMIT app.state().saveReported(QStringLiteral("Saved what you just played"),
                                    QStringLiteral("a.mid and a.flac in /music/Plinkora"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.shown.size() == 2; }, 5000));
    EXPECT_EQ(server.shown.last(),
              QStringLiteral("Saved what you just played\na.mid and a.flac in /music/Plinkora"));
}

#include "SettingsWindowTest.moc"
