#include "app/Settings.hpp"

#include "app/Logger.hpp"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cmath>

namespace plinkora {

namespace {

const QString kOrientation = QStringLiteral("orientation");
const QString kKeyRoot = QStringLiteral("keyRoot");
const QString kScaleMode = QStringLiteral("scaleMode");
const QString kZoneCount = QStringLiteral("zoneCount");
const QString kShowsGuides = QStringLiteral("showsGuides");
const QString kPulsesLogo = QStringLiteral("pulsesLogo");
const QString kNoteLength = QStringLiteral("noteLength");
const QString kAutomaticUpdateChecks = QStringLiteral("updates/automaticallyChecks");
const QString kLastUpdateCheck = QStringLiteral("updates/lastCheck");
const QString kUpdateRolloutGroup = QStringLiteral("updates/rolloutGroup");
const QString kSkippedVersion = QStringLiteral("updates/skippedVersion");
const QString kSettingsWindowFrame = QStringLiteral("PlinkoraSettings");

std::optional<long long> storedInteger(const QSettings& store, const QString& key) {
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<bool> storedBoolean(const QSettings& store, const QString& key) {
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) {
        return true;
    }
    if (text == QLatin1String("false") || text == QLatin1String("0")) {
        return false;
    }
    return std::nullopt;
}

std::optional<double> storedDouble(const QSettings& store, const QString& key) {
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok && std::isfinite(number) ? std::optional(number) : std::nullopt;
}

} // namespace

QString Settings::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Plinkora/Plinkora.conf");
}

Settings::Settings(const QString& filePath)
    : filePath_(filePath)
    , store_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

InstrumentSettings Settings::load() const {
    InstrumentSettings loaded;
    const QSettings& store = *store_;
    if (auto raw = store.value(kOrientation).toString().toStdString();
        auto orientation = music::zoneOrientationFromRaw(raw)) {
        loaded.orientation = *orientation;
    }
    if (auto raw = storedInteger(store, kKeyRoot)) {
        loaded.keyRoot = music::keyRootFromRaw(*raw).value_or(music::KeyRoot::c);
    }
    if (auto raw = store.value(kScaleMode).toString().toStdString();
        auto mode = music::scaleModeFromRaw(raw)) {
        loaded.scaleMode = *mode;
    }
    if (auto count = storedInteger(store, kZoneCount); count && *count >= 8 && *count <= 12) {
        loaded.zoneCount = static_cast<int>(*count);
    }
    loaded.showsGuides = storedBoolean(store, kShowsGuides).value_or(false);
    loaded.pulsesLogo = storedBoolean(store, kPulsesLogo).value_or(false);
    if (auto length = storedDouble(store, kNoteLength); length && *length > 0) {
        loaded.noteLength = *length;
    }
    return loaded;
}

void Settings::write(const QString& key, const QVariant& value) {
    const QFileInfo file(filePath_);
    if (file.exists() && !file.isReadable()) {
        Logger::error("could not save the setting " + key.toStdString() + ": " +
                      filePath_.toStdString() + " cannot be read");
        return;
    }
    QDir().mkpath(file.absolutePath());
    store_->setValue(key, value);
    store_->sync();
    if (store_->status() != QSettings::NoError) {
        Logger::error("could not save the setting " + key.toStdString() + " to " +
                      filePath_.toStdString());
    }
}

void Settings::setOrientation(music::ZoneOrientation orientation) {
    write(kOrientation, QString::fromUtf8(music::rawValue(orientation).data()));
}

void Settings::setKeyRoot(music::KeyRoot key) {
    write(kKeyRoot, music::rawValue(key));
}

void Settings::setScaleMode(music::ScaleMode mode) {
    write(kScaleMode, QString::fromUtf8(music::rawValue(mode).data()));
}

void Settings::setZoneCount(int count) {
    write(kZoneCount, count);
}
void Settings::setShowsGuides(bool shows) {
    write(kShowsGuides, shows);
}
void Settings::setPulsesLogo(bool pulses) {
    write(kPulsesLogo, pulses);
}
void Settings::setNoteLength(double seconds) {
    write(kNoteLength, seconds);
}

bool Settings::automaticallyChecksForUpdates() const {
    return storedBoolean(*store_, kAutomaticUpdateChecks).value_or(true);
}

void Settings::setAutomaticallyChecksForUpdates(bool checks) {
    write(kAutomaticUpdateChecks, checks);
}

std::optional<QDateTime> Settings::lastUpdateCheck() const {
    const QDateTime when =
        QDateTime::fromString(store_->value(kLastUpdateCheck).toString(), Qt::ISODate);
    return when.isValid() ? std::optional(when) : std::nullopt;
}

void Settings::setLastUpdateCheck(const QDateTime& when) {
    write(kLastUpdateCheck, when.toUTC().toString(Qt::ISODate));
}

QString Settings::skippedVersion() const {
    return store_->value(kSkippedVersion).toString();
}

void Settings::setSkippedVersion(const QString& version) {
    write(kSkippedVersion, version);
}

int Settings::updateRolloutGroup() {
    bool isNumber = false;
    const int stored = store_->value(kUpdateRolloutGroup).toInt(&isNumber);
    if (isNumber && stored >= 0 && stored <= 6) {
        return stored;
    }
    const int drawn = static_cast<int>(QRandomGenerator::global()->bounded(7));
    write(kUpdateRolloutGroup, drawn);
    return drawn;
}

QByteArray Settings::settingsWindowFrame() const {
    return QByteArray::fromBase64(store_->value(kSettingsWindowFrame).toString().toLatin1());
}

void Settings::setSettingsWindowFrame(const QByteArray& frame) {
    write(kSettingsWindowFrame, QString::fromLatin1(frame.toBase64()));
}

} // namespace plinkora
