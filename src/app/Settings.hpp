#pragma once

#include "music/KeyRoot.hpp"
#include "music/ScaleMode.hpp"
#include "music/ZoneOrientation.hpp"

#include <QByteArray>
#include <QDateTime>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace plinkora {

/// The instrument's seven settings as validated at start-up.
struct InstrumentSettings {
    music::ZoneOrientation orientation = music::ZoneOrientation::vertical;
    music::KeyRoot keyRoot = music::KeyRoot::c;
    music::ScaleMode scaleMode = music::ScaleMode::major;
    int zoneCount = 9;
    bool showsGuides = false;
    bool pulsesLogo = false;
    double noteLength = 2.0;
};

/// Plinkora's settings file (INI, ~/.config/Plinkora/Plinkora.conf). Every key is named here.
///
/// Values are validated once, by load(); the setters write what they are given. Qt writes the
/// file atomically. A file that exists but cannot be read is never written over, so that a
/// transient permission problem cannot lose the keys it holds. Main thread only.
class Settings {
public:
    /// The user's settings file, under $XDG_CONFIG_HOME (or ~/.config).
    static QString defaultFilePath();

    explicit Settings(const QString& filePath = defaultFilePath());

    InstrumentSettings load() const;

    void setOrientation(music::ZoneOrientation orientation);
    void setKeyRoot(music::KeyRoot key);
    void setScaleMode(music::ScaleMode mode);
    void setZoneCount(int count);
    void setShowsGuides(bool shows);
    void setPulsesLogo(bool pulses);
    void setNoteLength(double seconds);

    // The updater's own keys, apart from the instrument's seven.
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
    void write(const QString& key, const QVariant& value);

    QString filePath_;
    std::unique_ptr<QSettings> store_;
};

} // namespace plinkora
