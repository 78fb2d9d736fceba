#include "app/AutostartLoginItem.hpp"

#include "ChildProcess.hpp"
#include "TempHome.hpp"

#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace plinkora;
using namespace plinkora::testing;

TEST(AutostartLoginItem, RegistersAndUnregistersARealEntry) {
    TempHome home;
    const QString folder = home.configHome() + QStringLiteral("/autostart");
    AutostartLoginItem item(folder, QStringLiteral("/usr/bin/plinkora"));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled());
    EXPECT_EQ(item.entryPath(), folder + QStringLiteral("/org.plinkora.Plinkora.desktop"));
    const std::string text = item.entryText().toStdString();
    for (const char* line :
         {"Type=Application\n", "Name=Plinkora\n", "Exec=/usr/bin/plinkora --at-login\n",
          "X-GNOME-Autostart-enabled=true\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    // A desktop that hides the entry turns the item off.
    QFile entry(item.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::Append));
    entry.write("Hidden=true\n");
    entry.close();
    EXPECT_FALSE(item.isEnabled());

    EXPECT_FALSE(item.setEnabled(false));
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    EXPECT_FALSE(item.setEnabled(false)) << "removing a missing entry is no failure";
}

TEST(AutostartLoginItem, AwkwardExecutablePathsSurviveQuotingAndValidate) {
    TempHome home;
    const QString folder = home.configHome() + QStringLiteral("/autostart");
    for (const char* name :
         {"My Apps/plinkora", "$HOME/pl\"ink`ora", "back\\slash/it's here", "caf\u00e9/\u266f"}) {
        SCOPED_TRACE(name);
        // A real program at the awkward path, which GLib's own launcher, reading the entry as
        // a desktop does, must start with the option: it writes down what it was started as.
        const QString path = home.path() + QStringLiteral("/") + QString::fromUtf8(name);
        const std::string ran = home.path().toStdString() + "/ran";
        QFile::remove(QString::fromStdString(ran));
        home.writeFile(path.mid(home.path().size() + 1),
                       "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > '" + QByteArray(ran.c_str()) +
                           "'\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        AutostartLoginItem item(folder, path);
        ASSERT_FALSE(item.setEnabled(true));
        int status = -1;
        const std::string complaints =
            runCommand({"desktop-file-validate", item.entryPath().toStdString()}, {}, &status);
        EXPECT_EQ(status, 0) << complaints;
        EXPECT_EQ(complaints, "");
        runCommand({"gio", "launch", item.entryPath().toStdString()}, {}, &status);
        EXPECT_EQ(status, 0);
        waitUntil([&] { return readFile(ran).find("|--at-login|") != std::string::npos; }, 5);
        EXPECT_EQ(readFile(ran), path.toStdString() + "|--at-login|");
    }
}

TEST(AutostartLoginItem, WhatCannotBeWrittenIsReportedAndLeavesItOff) {
    const QString program = QStringLiteral("/usr/bin/plinkora");
    const struct {
        const char* name;
        std::function<void(TempHome&)> prepare;
        QString executable;
        const char* said;
    } cases[] = {
        // A file in the way of the folder defeats root as well as users.
        {"a file in the way",
         [](TempHome& home) { home.writeFile(QStringLiteral(".config/autostart"), "in the way"); },
         program, "autostart"},
        {"a FIFO at the entry",
         [](TempHome& home) {
             QDir().mkpath(home.configHome() + QStringLiteral("/autostart"));
             ::mkfifo(QFile::encodeName(home.configHome() +
                                        QStringLiteral("/autostart/org.plinkora.Plinkora.desktop"))
                          .constData(),
                      0600);
         },
         program, "is not a regular file"},
        {"a newline in the path", [](TempHome&) {}, QStringLiteral("/opt/a\nb/plinkora"),
         "control characters"},
        {"a per cent sign in the path", [](TempHome&) {}, QStringLiteral("/opt/100%/plinkora"),
         "per cent sign"},
        {"bytes that are not UTF-8", [](TempHome&) {},
         QFile::decodeName(QByteArray("/opt/caf\xe9/plinkora")), "not valid UTF-8"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        TempHome home;
        each.prepare(home);
        AutostartLoginItem item(home.configHome() + QStringLiteral("/autostart"), each.executable);
        const auto failure = item.setEnabled(true);
        ASSERT_TRUE(failure);
        EXPECT_NE(failure->find(each.said), std::string::npos) << *failure;
        EXPECT_FALSE(item.isEnabled());
        EXPECT_TRUE(item.setEnabled(false).has_value() ==
                    (std::string(each.name) == "a FIFO at the entry"));
    }
}
