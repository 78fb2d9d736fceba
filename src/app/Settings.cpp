#include "app/Settings.hpp"

#include "app/Logger.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

namespace {

const QString kOrientation = QStringLiteral("orientation");
const QString kKeyRoot = QStringLiteral("keyRoot");
const QString kScaleMode = QStringLiteral("scaleMode");
const QString kDynamics = QStringLiteral("dynamics");
const QString kSound = QStringLiteral("sound");
const QString kSoundBank = QStringLiteral("soundBank");
const QString kMidiOutput = QStringLiteral("midiOutput");
const QString kPlaysBuiltInSound = QStringLiteral("playsBuiltInSound");
const QString kZoneCount = QStringLiteral("zoneCount");
const QString kShowsGuides = QStringLiteral("showsGuides");
const QString kPulsesLogo = QStringLiteral("pulsesLogo");
const QString kNoteLength = QStringLiteral("noteLength");
const QString kAutomaticUpdateChecks = QStringLiteral("updates/automaticallyChecks");
const QString kLastUpdateCheck = QStringLiteral("updates/lastCheck");
const QString kUpdateRolloutGroup = QStringLiteral("updates/rolloutGroup");
const QString kSkippedVersion = QStringLiteral("updates/skippedVersion");
const QString kSettingsWindowFrame = QStringLiteral("PlinkoraSettings");

std::optional<long long> storedInteger(const QVariantMap& store, const QString& key) {
    const QVariant value = store.value(key);
    if (!value.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<bool> storedBoolean(const QVariantMap& store, const QString& key) {
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

std::optional<double> storedDouble(const QVariantMap& store, const QString& key) {
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
    : filePath_(filePath) {
    const QByteArray path = QFile::encodeName(filePath_);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        if (errno != ENOENT) {
            untouchable_ = std::string("it cannot be looked at: ") + std::strerror(errno);
        }
    } else if (!S_ISREG(info.st_mode)) {
        untouchable_ = "it is not a regular file";
    } else if (::access(path.constData(), R_OK) != 0) {
        untouchable_ = "it cannot be read";
    } else {
        const QSettings file(filePath_, QSettings::IniFormat);
        for (const QString& key : file.allKeys()) {
            values_.insert(key, file.value(key));
        }
    }
    if (!untouchable_.empty()) {
        Logger::error("the settings file " + filePath_.toStdString() +
                      " is left as it is and "
                      "the defaults are used: " +
                      untouchable_);
    }
}

Settings::~Settings() {
    flush();
}

InstrumentSettings Settings::load() const {
    InstrumentSettings loaded;
    const QVariantMap& store = values_;
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
    if (auto raw = store.value(kDynamics).toString().toStdString();
        auto dynamics = music::dynamicsFromRaw(raw)) {
        loaded.dynamics = *dynamics;
    }
    if (auto sound = music::soundFromRaw(store.value(kSound).toString().toStdString())) {
        loaded.sound = *sound;
    }
    // A file that has gone is found out, and said, when it is loaded.
    if (const QString bank = store.value(kSoundBank).toString();
        QFileInfo(bank).isAbsolute() &&
        (bank.endsWith(QLatin1String(".sf2"), Qt::CaseInsensitive) ||
         bank.endsWith(QLatin1String(".sf3"), Qt::CaseInsensitive))) {
        loaded.soundBank = bank.toStdString();
    }
    loaded.midiOutput = storedBoolean(store, kMidiOutput).value_or(false);
    loaded.playsBuiltInSound = storedBoolean(store, kPlaysBuiltInSound).value_or(true);
    return loaded;
}

void Settings::write(const QString& key, const QVariant& value) {
    values_.insert(key, value);
    if (!pending_.contains(key)) {
        pending_.append(key);
    }
    // Not restarted by later changes, so a long drag still saves twice a second.
    if (!saveTimer_) {
        saveTimer_ = std::make_unique<QTimer>();
        saveTimer_->setSingleShot(true);
        QObject::connect(saveTimer_.get(), &QTimer::timeout, [this] { flush(); });
    }
    if (!saveTimer_->isActive()) {
        saveTimer_->start(kSaveDelayMs);
    }
}

void Settings::flush() {
    if (saveTimer_) {
        saveTimer_->stop();
    }
    if (pending_.isEmpty()) {
        return;
    }
    const std::string keys = pending_.join(QStringLiteral(", ")).toStdString();
    std::string problem = untouchable_;
    if (problem.empty()) {
        QDir().mkpath(QFileInfo(filePath_).absolutePath());
        // QSettings reads the file first, so keys this build does not know are kept.
        QSettings file(filePath_, QSettings::IniFormat);
        for (const QString& key : std::as_const(pending_)) {
            file.setValue(key, values_.value(key));
        }
        file.sync();
        if (file.status() != QSettings::NoError) {
            problem = "the file could not be written";
        }
    }
    if (problem.empty()) {
        pending_.clear();
        hasLoggedFailure_ = false;
        return;
    }
    // Kept pending: the next change, or the end, tries again.
    if (!hasLoggedFailure_) {
        hasLoggedFailure_ = true;
        Logger::error("could not save the setting " + keys + " to " + filePath_.toStdString() +
                      ": " + problem);
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

void Settings::setDynamics(music::Dynamics dynamics) {
    write(kDynamics, QString::fromUtf8(music::rawValue(dynamics).data()));
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
void Settings::setSound(music::Sound sound) {
    write(kSound, QString::fromUtf8(music::rawValue(sound).data()));
}
void Settings::setSoundBank(const std::string& path) {
    write(kSoundBank, QString::fromStdString(path));
}
void Settings::setMidiOutput(bool enabled) {
    write(kMidiOutput, enabled);
}
void Settings::setPlaysBuiltInSound(bool plays) {
    write(kPlaysBuiltInSound, plays);
}

bool Settings::automaticallyChecksForUpdates() const {
    return storedBoolean(values_, kAutomaticUpdateChecks).value_or(true);
}

void Settings::setAutomaticallyChecksForUpdates(bool checks) {
    write(kAutomaticUpdateChecks, checks);
}

std::optional<QDateTime> Settings::lastUpdateCheck() const {
    const QDateTime when = QDateTime::fromString(value(kLastUpdateCheck).toString(), Qt::ISODate);
    return when.isValid() ? std::optional(when) : std::nullopt;
}

void Settings::setLastUpdateCheck(const QDateTime& when) {
    write(kLastUpdateCheck, when.toUTC().toString(Qt::ISODate));
}

QString Settings::skippedVersion() const {
    return value(kSkippedVersion).toString();
}

void Settings::setSkippedVersion(const QString& version) {
    write(kSkippedVersion, version);
}

int Settings::updateRolloutGroup() {
    bool isNumber = false;
    const int stored = value(kUpdateRolloutGroup).toInt(&isNumber);
    if (isNumber && stored >= 0 && stored <= 6) {
        return stored;
    }
    const int drawn = static_cast<int>(QRandomGenerator::global()->bounded(7));
    write(kUpdateRolloutGroup, drawn);
    return drawn;
}

QByteArray Settings::settingsWindowFrame() const {
    return QByteArray::fromBase64(value(kSettingsWindowFrame).toString().toLatin1());
}

void Settings::setSettingsWindowFrame(const QByteArray& frame) {
    write(kSettingsWindowFrame, QString::fromLatin1(frame.toBase64()));
}

} // namespace plinkora
