#include "TempHome.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <sys/stat.h>

namespace plinkora::testing {

namespace {

std::optional<std::string> currentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void setValue(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

} // namespace

TempHome::TempHome() {
    QDir().mkpath(configHome());
    QDir().mkpath(runtimeDir());
    ::chmod(QFile::encodeName(runtimeDir()).constData(), 0700);
    const std::map<std::string, std::string> values{
        {"HOME", path().toStdString()},
        {"XDG_CONFIG_HOME", configHome().toStdString()},
        {"XDG_RUNTIME_DIR", runtimeDir().toStdString()},
    };
    for (const auto& [name, value] : values) {
        saved_[name] = currentValue(name.c_str());
        setValue(name, value);
    }
}

TempHome::~TempHome() {
    for (const auto& [name, value] : saved_) {
        setValue(name, value);
    }
    // Make everything removable again, whatever a test did to the modes.
    QDir dir(path());
    ::chmod(QFile::encodeName(path()).constData(), 0700);
    const auto entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const auto& entry : entries) {
        ::chmod(QFile::encodeName(entry.absoluteFilePath()).constData(), 0700);
    }
}

QString TempHome::writeFile(const QString& relativePath, const QByteArray& contents) const {
    const QString file = path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        out.write(contents);
    }
    return file;
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value)
    : name_(name)
    , old_(currentValue(name)) {
    setValue(name_, value);
}

ScopedEnv::~ScopedEnv() {
    setValue(name_, old_);
}

} // namespace plinkora::testing
