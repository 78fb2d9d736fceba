#include "ChildProcess.hpp"
#include "TempHome.hpp"
#include "app/AutostartLoginItem.hpp"
#include "app/HelperStatus.hpp"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace plinkora;
using namespace plinkora::testing;

namespace {

/// Reads the Exec key back the way a desktop does: string escapes first, then the quoting
/// rules, then field codes.
std::string parseExec(const std::string& value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            unescaped += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            unescaped += value[i];
        }
    }
    std::string argument;
    bool quoted = false;
    for (std::size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < unescaped.size()) {
            argument += unescaped[++i];
        } else if (c == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
            argument += '%';
            ++i;
        } else if (!quoted && c == ' ') {
            return "unexpected second argument";
        } else {
            argument += c;
        }
    }
    return argument;
}

std::string execValue(const QString& entryPath) {
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("Exec=")) {
            return line.mid(5).toStdString();
        }
    }
    return {};
}

} // namespace

TEST(AutostartLoginItem, RegistersAndUnregistersARealEntry) {
    TempHome home;
    const QString folder = home.configHome() + QStringLiteral("/autostart");
    AutostartLoginItem item(folder, QStringLiteral("/usr/bin/plinkora"));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_FALSE(item.setEnabled(true));
    EXPECT_TRUE(item.isEnabled());
    EXPECT_EQ(item.entryPath(), folder + QStringLiteral("/org.plinkora.Plinkora.desktop"));
    const std::string text = item.entryText().toStdString();
    for (const char* line : {"Type=Application\n", "Name=Plinkora\n", "Exec=/usr/bin/plinkora\n",
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
    for (const char* path : {"/opt/My Apps/plinkora", "/home/u/100%/plinkora",
                             "/home/u/$HOME/pl\"ink`ora", "/home/u/back\\slash/it's here"}) {
        SCOPED_TRACE(path);
        AutostartLoginItem item(folder, QString::fromUtf8(path));
        ASSERT_FALSE(item.setEnabled(true));
        EXPECT_EQ(parseExec(execValue(item.entryPath())), path);
        int status = -1;
        const std::string complaints =
            runCommand({"desktop-file-validate", item.entryPath().toStdString()}, {}, &status);
        EXPECT_EQ(status, 0) << complaints;
        EXPECT_EQ(complaints, "");
    }
}

TEST(AutostartLoginItem, AnUnwritableFolderIsReportedAndLeavesItOff) {
    TempHome home;
    // A file in the way of the folder defeats root as well as users.
    home.writeFile(QStringLiteral(".config/autostart"), "in the way");
    AutostartLoginItem item(home.configHome() + QStringLiteral("/autostart"),
                            QStringLiteral("/usr/bin/plinkora"));
    const auto failure = item.setEnabled(true);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("autostart"), std::string::npos) << *failure;
    EXPECT_FALSE(item.isEnabled());
}

TEST(HelperStatus, ReadsInstalledAndListeningWithoutWriting) {
    TempHome home;
    const std::string unit = home.path().toStdString() + "/helper.service";
    const std::string pipe = home.path().toStdString() + "/logo-control";
    HelperStatus status(unit, pipe);
    EXPECT_FALSE(status.isInstalled());
    EXPECT_FALSE(status.isRunning());

    home.writeFile(QStringLiteral("helper.service"), "[Unit]\n");
    EXPECT_TRUE(status.isInstalled());

    ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
    EXPECT_FALSE(status.isRunning()) << "a pipe without a reader is no running helper";
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(status.isRunning());
    char byte = 0;
    EXPECT_LE(read(reader, &byte, 1), 0) << "the probe wrote to the pipe";
    close(reader);
    EXPECT_FALSE(status.isRunning());
}

TEST(HelperStatus, PlantedFilesAndLinksAreNoHelper) {
    TempHome home;
    const std::string pipe = home.path().toStdString() + "/logo-control";
    const std::string fifo = home.path().toStdString() + "/real-fifo";
    HelperStatus status(home.path().toStdString() + "/missing", pipe);

    home.writeFile(QStringLiteral("logo-control"), "planted");
    EXPECT_FALSE(status.isRunning());
    QFile planted(QString::fromStdString(pipe));
    ASSERT_TRUE(planted.open(QIODevice::ReadOnly));
    EXPECT_EQ(planted.readAll(), QByteArray("planted"));
    planted.close();
    ASSERT_TRUE(QFile::remove(QString::fromStdString(pipe)));

    // A link to a listening FIFO is still refused.
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_EQ(symlink(fifo.c_str(), pipe.c_str()), 0);
    EXPECT_TRUE(HelperStatus("", fifo).isRunning());
    EXPECT_FALSE(status.isRunning());
    close(reader);
}
