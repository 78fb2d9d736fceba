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

const QString kAutomaticUpdateChecks = QStringLiteral("updates/automaticallyChecks");
const QString kLastUpdateCheck = QStringLiteral("updates/lastCheck");
const QString kUpdateRolloutGroup = QStringLiteral("updates/rolloutGroup");
const QString kSkippedVersion = QStringLiteral("updates/skippedVersion");
const QString kSettingsWindowFrame = QStringLiteral("PlinkoraSettings");

std::optional<long long> storedInteger(const QVariant& value) {
    bool ok = false;
    const long long number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<bool> storedBoolean(const QVariant& value) {
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) {
        return true;
    }
    if (text == QLatin1String("false") || text == QLatin1String("0")) {
        return false;
    }
    return std::nullopt;
}

std::optional<double> storedDouble(const QVariant& value) {
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok && std::isfinite(number) ? std::optional(number) : std::nullopt;
}

std::optional<std::string> storedSoundBank(const QVariant& value) {
    // A file that has gone is found out, and said, when it is loaded.
    const QString bank = value.toString();
    if (QFileInfo(bank).isAbsolute() &&
        (bank.endsWith(QLatin1String(".sf2"), Qt::CaseInsensitive) ||
         bank.endsWith(QLatin1String(".sf3"), Qt::CaseInsensitive))) {
        return bank.toStdString();
    }
    return std::nullopt;
}

template <typename T>
std::optional<T> stored(const QVariant& value, std::optional<T> (*fromRaw)(std::string_view)) {
    return fromRaw(value.toString().toStdString());
}

QVariant storable(bool value) {
    return value;
}
QVariant storable(int value) {
    return value;
}
QVariant storable(double value) {
    return value;
}
QVariant storable(const std::string& value) {
    return QString::fromStdString(value);
}
QVariant storable(music::KeyRoot key) {
    return music::rawValue(key);
}
template <typename T> QVariant storable(T value) {
    return QString::fromUtf8(music::rawValue(value).data());
}

/// One instrument setting: its key, and how a stored value is read (nothing where it is
/// missing or invalid, so the default stays) and written.
struct Field {
    const char* key;
    void (*read)(const QVariant& value, InstrumentSettings& into);
    QVariant (*write)(const InstrumentSettings& from);
};

template <auto setting, auto validate> constexpr Field field(const char* key) {
    return {key,
            [](const QVariant& value, InstrumentSettings& into) {
                if (auto valid = validate(value)) {
                    into.*setting = *valid;
                }
            },
            [](const InstrumentSettings& from) { return storable(from.*setting); }};
}

#define PLINKORA_FIELD(Type, name, Name, initial, read, action)                                    \
    field<&InstrumentSettings::name, read>(#name),
constexpr Field kFields[] = {PLINKORA_STORED_SETTINGS(PLINKORA_FIELD)};
#undef PLINKORA_FIELD

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
    for (const Field& field : kFields) {
        if (const QVariant value = values_.value(QLatin1String(field.key)); value.isValid()) {
            field.read(value, loaded);
        }
    }
    return loaded;
}

void Settings::store(const InstrumentSettings& values, const InstrumentSettings& known) {
    for (const Field& field : kFields) {
        if (const QVariant value = field.write(values); value != field.write(known)) {
            write(QLatin1String(field.key), value);
        }
    }
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

bool Settings::automaticallyChecksForUpdates() const {
    return storedBoolean(values_.value(kAutomaticUpdateChecks)).value_or(true);
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
