// The tray menu over a real AppState: its entries, and how they follow and change the state.
#include "UiFixture.hpp"
#include "ui/SettingsWindowController.hpp"
#include "ui/UserInterface.hpp"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace plinkora;
using namespace plinkora::testing;
using plinkora::ui::UserInterface;

namespace {

class MenuTest : public ::testing::Test {
protected:
    std::unique_ptr<UserInterface> makeInterface(bool sandboxed = false) {
        UserInterface::Options options;
        options.sandboxed = sandboxed;
        options.trayAvailable = true;
        options.quit = [this] { ++quits; };
        return std::make_unique<UserInterface>(app.state(), std::move(options));
    }

    static QStringList texts(const QMenu& menu) {
        QStringList all;
        for (const QAction* action : menu.actions()) {
            all << (action->isSeparator() ? QStringLiteral("---") : action->text());
        }
        return all;
    }

    /// Whether the lower half of the middle white key is painted, as it is only while on.
    static bool whiteKeyFilled(const QSystemTrayIcon& tray) {
        const QImage image = tray.icon().pixmap(32).toImage();
        return qAlpha(image.pixel(16, 23)) > 128 && qGray(image.pixel(16, 23)) > 200;
    }
    UiFixture app;
    int quits = 0;
};

} // namespace

TEST_F(MenuTest, ThirteenEntriesInOrderWithTheirChecksAndShortcuts) {
    {
        // Stored settings put check marks on a fresh start.
        Settings stored(app.home.settingsFile());
        stored.set(&InstrumentSettings::showsGuides, true);
        stored.set(&InstrumentSettings::orientation, music::ZoneOrientation::horizontal);
    }
    app.restart();
    auto ui = makeInterface();
    QMenu& menu = ui->menuContent().menu();

    EXPECT_EQ(texts(menu).join(u'|'),
              QString::fromUtf8("Plinkora On|Toggle anywhere with Ctrl+Alt+Super+M|---|"
                                "Orientation|Mode|Show Note Lines|Pulse Lid Logo|---|"
                                "Save What I Just Played|Settings…|Check for Updates…|---|"
                                "Quit Plinkora"));
    const auto actions = menu.actions();
    EXPECT_TRUE(actions[0]->isCheckable());
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_FALSE(actions[1]->isEnabled()) << "the hot key line is information only";
    EXPECT_TRUE(actions[5]->isChecked());
    EXPECT_FALSE(actions[6]->isChecked());

    QMenu* orientation = actions[3]->menu();
    ASSERT_NE(orientation, nullptr);
    EXPECT_FALSE(orientation->actions()[0]->isChecked());
    EXPECT_TRUE(orientation->actions()[1]->isChecked());

    // A tray menu has no focus for shortcuts to work in, so it shows none.
    for (const QAction* action : actions) {
        EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
    }
    // A sandboxed build cannot run the helper, so the menu has no logo entry.
    EXPECT_FALSE(texts(makeInterface(/*sandboxed=*/true)->menuContent().menu())
                     .contains(QStringLiteral("Pulse Lid Logo")));
}

TEST_F(MenuTest, CheckMarkAndIconFollowTheHotKey) {
    auto ui = makeInterface();
    QAction* on = findWithText<QAction>(ui->menuContent().menu(), QStringLiteral("Plinkora On"));
    ASSERT_NE(on, nullptr);
    EXPECT_FALSE(whiteKeyFilled(ui->trayIcon()));
    EXPECT_EQ(ui->trayIcon().toolTip(), QStringLiteral("Plinkora is off"));
    const int outlined = opaquePixels(ui->trayIcon().icon().pixmap(32).toImage());
    ASSERT_GT(outlined, 100);

    app.hotKeyAction();
    EXPECT_TRUE(app.state().isEnabled());
    EXPECT_TRUE(on->isChecked());
    EXPECT_TRUE(whiteKeyFilled(ui->trayIcon())) << "the icon turns inverse (filled) while on";
    EXPECT_EQ(ui->trayIcon().toolTip(), QStringLiteral("Plinkora is on"));
    // Both looks read on a black panel and a white one, whatever the application's palette.
    for (const QColor panel : {QColor(Qt::black), QColor(Qt::white), QColor(0x2b, 0x2b, 0x2b)}) {
        EXPECT_GT(legiblePixels(ui->trayIcon().icon().pixmap(32).toImage(), panel), 150)
            << panel.name().toStdString();
    }

    app.hotKeyAction();
    EXPECT_FALSE(on->isChecked());
    EXPECT_FALSE(whiteKeyFilled(ui->trayIcon()));
    EXPECT_EQ(opaquePixels(ui->trayIcon().icon().pixmap(32).toImage()), outlined);
    for (const QColor panel : {QColor(Qt::black), QColor(Qt::white)}) {
        EXPECT_GT(legiblePixels(ui->trayIcon().icon().pixmap(32).toImage(), panel), 150)
            << panel.name().toStdString();
    }
}

TEST_F(MenuTest, SettingsOpensTheWindowAndQuitQuits) {
    auto ui = makeInterface();
    QMenu& menu = ui->menuContent().menu();
    EXPECT_EQ(ui->settingsWindow().window(), nullptr) << "the window is made on first use";
    findWithText<QAction>(menu, QString::fromUtf8("Settings\u2026"))->trigger();
    ASSERT_NE(ui->settingsWindow().window(), nullptr);
    EXPECT_TRUE(ui->settingsWindow().window()->isVisible());
    EXPECT_EQ(ui->settingsWindow().window()->quitButton(), nullptr)
        << "with a tray, quitting is the menu's";

    QAction* check = findWithText<QAction>(menu, QString::fromUtf8("Check for Updates\u2026"));
    EXPECT_FALSE(check->isEnabled());
    app.updater->setCanCheck(true);
    check->trigger();
    EXPECT_EQ(app.updater->checks, 1);
    app.updater->setCanCheck(false);
    EXPECT_FALSE(check->isEnabled());

    findWithText<QAction>(menu, QStringLiteral("Quit Plinkora"))->trigger();
    EXPECT_EQ(quits, 1);
}

TEST_F(MenuTest, ChoosingTheNotificationRunsItsActionOnce) {
    auto ui = makeInterface();
    int first = 0, second = 0;
    ui->showNotification(QStringLiteral("Plinkora 1.1 is available"), QStringLiteral("Details"),
                         [&] { ++first; });
    ui->showNotification(QStringLiteral("Plinkora 1.2 is available"), QStringLiteral("Details"),
                         [&] { ++second; });
    Q_EMIT ui->trayIcon().messageClicked();
    Q_EMIT ui->trayIcon().messageClicked();
    EXPECT_EQ(first, 0) << "a newer message replaces the older one's action";
    EXPECT_EQ(second, 1);
}

TEST_F(MenuTest, WithoutATrayTheNotificationIsASmallWindow) {
    UserInterface::Options options;
    options.trayAvailable = false;
    UserInterface ui(app.state(), std::move(options));
    int clicked = 0;
    ui.showNotification(QStringLiteral("Plinkora 1.1 is available"),
                        QStringLiteral("A new version is ready."), [&] { ++clicked; });
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* candidate = qobject_cast<QMessageBox*>(widget);
            candidate && widget->isVisible()) {
            box = candidate;
        }
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("A new version is ready."));
    EXPECT_FALSE(box->isModal());
    box->button(QMessageBox::Open)->click();
    EXPECT_EQ(clicked, 1);
}
