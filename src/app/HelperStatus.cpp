#include "app/HelperStatus.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

HelperStatus::HelperStatus(std::string serviceUnitPath, std::string pipePath)
    : serviceUnitPath_(std::move(serviceUnitPath))
    , pipePath_(std::move(pipePath)) {}

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
