#include "app/HelperStatus.hpp"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

HelperStatus::HelperStatus(std::string serviceUnitPath, std::string pipePath, std::string ledFolder)
    : serviceUnitPath_(std::move(serviceUnitPath))
    , pipePath_(std::move(pipePath))
    , ledFolder_(std::move(ledFolder)) {}

bool HelperStatus::hasLidLogoLight() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ledFolder_, error)) {
        if (entry.path().filename().string().find("lid_logo") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool HelperStatus::isInstalled() const {
    struct stat info {};
    return ::stat(serviceUnitPath_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HelperStatus::isRunning() const {
    // Look before opening, so that a device or file planted at the path is never opened.
    struct stat planted {};
    if (::lstat(pipePath_.c_str(), &planted) != 0 || !S_ISFIFO(planted.st_mode)) {
        return false;
    }
    const int fd = ::open(pipePath_.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool isFifo = ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
    ::close(fd);
    return isFifo;
}

} // namespace plinkora
