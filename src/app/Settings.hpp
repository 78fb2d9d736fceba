#pragma once

#include "app/SettingList.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <string>

namespace plinkora {

/// The instrument's settings, with their defaults, as SettingList.hpp declares them.
struct InstrumentSettings {
#define PLINKORA_FIELD(Type, name, Name, initial, read, action) Type name = initial;
    PLINKORA_STORED_SETTINGS(PLINKORA_FIELD)
#undef PLINKORA_FIELD
};

/// Plinkora's settings file (INI, ~/.config/Plinkora/Plinkora.conf). Every key is named here or,
/// for the instrument, in SettingList.hpp.
///
/// Values are validated once, by load(); the setters store what they are given. A value is in
/// memory at once; the file is written atomically (a new file renamed over the old), at most
/// once per 500 ms while values keep changing, and always when the object goes. The file is
/// opened only when it is a regular file (or absent): a FIFO, device or folder at its path,
/// or a file that cannot be read, leaves defaults in memory and the file untouched, so that
/// nothing can hang start-up and a transient permission problem loses no keys. Failures are
/// logged once each, not on every change. Main thread only.
class Settings {
public:
    static constexpr int kSaveDelayMs = 500;

    /// The user's settings file, under $XDG_CONFIG_HOME (or ~/.config).
    static QString defaultFilePath();

    explicit Settings(const QString& filePath = defaultFilePath());
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    /// Writes what changed since the last save, now.
    void flush();

    /// What is stored, validated: a missing or invalid value gives the default.
    InstrumentSettings load() const;
    /// Stores one instrument setting, for example `set(&InstrumentSettings::zoneCount, 10)`.
    template <typename T> void set(T InstrumentSettings::*setting, const T& value) {
        const InstrumentSettings known = load();
        InstrumentSettings changed = known;
        changed.*setting = value;
        store(changed, known);
    }

    // The updater's own keys, apart from the instrument's.
    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    std::optional<QDateTime> lastUpdateCheck() const;
    void setLastUpdateCheck(const QDateTime& when);
    QString skippedVersion() const;
    void setSkippedVersion(const QString& version);
    /// This installation's group for phased rollouts, 0 to 6, drawn once and then kept.
    int updateRolloutGroup();

    /// The settings window's saved frame ("PlinkoraSettings").
    QByteArray settingsWindowFrame() const;
    void setSettingsWindowFrame(const QByteArray& frame);

    QString filePath() const { return filePath_; }

private:
    /// Stores each instrument setting whose value differs from `known`'s.
    void store(const InstrumentSettings& values, const InstrumentSettings& known);
    void write(const QString& key, const QVariant& value);
    QVariant value(const QString& key) const { return values_.value(key); }

    QString filePath_;
    /// Why the file is left alone; empty when it may be written.
    std::string untouchable_;
    QVariantMap values_;
    QStringList pending_;
    std::unique_ptr<QTimer> saveTimer_;
    bool hasLoggedFailure_ = false;
};

} // namespace plinkora
