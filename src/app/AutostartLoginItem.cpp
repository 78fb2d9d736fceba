#include "app/AutostartLoginItem.hpp"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <cerrno>
#include <sys/stat.h>

namespace plinkora {

namespace {

const QString kEntryName = QStringLiteral("org.plinkora.Plinkora.desktop");

/// What is at `path`: nothing, a regular file (following links), or something else that must
/// never be opened (a FIFO would hang the open).
enum class Entry { absent, regular, other };

Entry entryAt(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? Entry::absent : Entry::other;
    }
    return S_ISREG(info.st_mode) ? Entry::regular : Entry::other;
}

} // namespace

bool AutostartLoginItem::isCarriable(const QString& executable) {
    // Invalid UTF-8 in the real path has become U+FFFD by now: the entry would name a file
    // that does not exist. Control characters would break the line apart. A per cent sign is
    // written %% by the rules, but GLib looks for the program before expanding it and so
    // never starts one whose path holds it.
    for (const QChar c : executable) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar::ReplacementCharacter ||
            c == u'%') {
            return false;
        }
    }
    return !executable.isEmpty();
}

QString AutostartLoginItem::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

AutostartLoginItem::AutostartLoginItem(QString folder, QString executable)
    : folder_(std::move(folder))
    , executable_(std::move(executable)) {}

QString AutostartLoginItem::entryPath() const {
    return folder_ + QLatin1Char('/') + kEntryName;
}

bool AutostartLoginItem::isEnabled() const {
    if (entryAt(entryPath()) != Entry::regular) {
        return false;
    }
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QTextStream in(&entry);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1String("Hidden")) &&
            line.section(QLatin1Char('='), 0, 0).trimmed() == QLatin1String("Hidden")) {
            if (line.section(QLatin1Char('='), 1).trimmed() == QLatin1String("true")) {
                return false;
            }
        }
    }
    return true;
}

QString AutostartLoginItem::quoteExecArgument(const QString& argument) {
    // Reserved characters need the argument quoted; inside quotes ", `, $ and \ take a
    // backslash, and the string-level escaping of the desktop file doubles every backslash
    // once more. A literal % is written %%.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString escaped;
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) {
        if (reserved.contains(c)) {
            needsQuotes = true;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')) {
            escaped += QStringLiteral("\\\\") + c;
        } else if (c == QLatin1Char('\\')) {
            escaped += QStringLiteral("\\\\\\\\");
        } else if (c == QLatin1Char('%')) {
            escaped += QStringLiteral("%%");
        } else {
            escaped += c;
        }
    }
    return needsQuotes ? QLatin1Char('"') + escaped + QLatin1Char('"') : escaped;
}

QString AutostartLoginItem::entryText() const {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Plinkora\n"
                          "Comment=Play the screen like an instrument\n"
                          "Exec=") +
           quoteExecArgument(executable_) +
           QStringLiteral(" --at-login\n"
                          "Icon=org.plinkora.Plinkora\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

std::optional<std::string> AutostartLoginItem::setEnabled(bool enabled) {
    if (entryAt(entryPath()) == Entry::other) {
        return entryPath().toStdString() + " is not a regular file and was left as it is";
    }
    if (!enabled) {
        QFile entry(entryPath());
        if (entry.exists() && !entry.remove()) {
            return "could not remove " + entryPath().toStdString() + ": " +
                   entry.errorString().toStdString();
        }
        return std::nullopt;
    }
    if (!isCarriable(executable_)) {
        return "Plinkora's path cannot be written into an autostart entry (it holds control "
               "characters or a per cent sign, or is not valid UTF-8): " +
               executable_.toStdString();
    }
    if (!QDir().mkpath(folder_)) {
        return "could not create the folder " + folder_.toStdString();
    }
    QSaveFile entry(entryPath());
    if (!entry.open(QIODevice::WriteOnly)) {
        return "could not write " + entryPath().toStdString() + ": " +
               entry.errorString().toStdString();
    }
    entry.write(entryText().toUtf8());
    if (!entry.commit()) {
        return "could not write " + entryPath().toStdString() + ": " +
               entry.errorString().toStdString();
    }
    return std::nullopt;
}

} // namespace plinkora
