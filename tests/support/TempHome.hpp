#pragma once

#include <QString>
#include <QTemporaryDir>
#include <map>
#include <optional>
#include <string>

namespace plinkora::testing {

/// A private home for one test: HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR (mode 0700) point
/// into a fresh temporary folder, and are restored when it goes.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return dir_.path(); }
    QString configHome() const { return path() + QStringLiteral("/.config"); }
    QString runtimeDir() const { return path() + QStringLiteral("/run"); }
    QString settingsFile() const {
        return configHome() + QStringLiteral("/Plinkora/Plinkora.conf");
    }
    /// For the real program started in this home: the X display and sound server given, log
    /// lines (debug ones too) on standard error, and no session bus, so the tray is the X
    /// server's own.
    std::map<std::string, std::string> programEnvironment(const std::string& display,
                                                          const std::string& soundServer) const {
        return {{"DISPLAY", display},
                {"QT_QPA_PLATFORM", "xcb"},
                {"PLINKORA_LOG", "stderr"},
                {"QT_LOGGING_RULES", "org.plinkora.Plinkora.app.debug=true"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
                {"HOME", path().toStdString()},
                {"XDG_CONFIG_HOME", configHome().toStdString()},
                {"XDG_RUNTIME_DIR", runtimeDir().toStdString()},
                {"PULSE_SERVER", soundServer}};
    }
    /// Writes a file below the home, creating folders; returns its absolute path.
    QString writeFile(const QString& relativePath, const QByteArray& contents) const;

private:
    QTemporaryDir dir_;
    std::map<std::string, std::optional<std::string>> saved_;
};

/// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace plinkora::testing
