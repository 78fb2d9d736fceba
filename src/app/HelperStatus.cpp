#include "app/HelperStatus.hpp"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

bool HelperStatus::hasLidLogoLight() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(paths_.ledFolder, error)) {
        if (entry.path().filename().string().find("lid_logo") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool HelperStatus::isInstalled() const {
    struct stat info {};
    return ::stat(paths_.serviceUnitPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HelperStatus::isRunning() const {
    const int fd = openListeningPipe(paths_.pipePath);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

int HelperStatus::openListeningPipe(const std::string& path) {
    // Look before opening, so that a device planted at the path is never even opened; the
    // check after opening catches a swap in between.
    struct stat seen {};
    if (::lstat(path.c_str(), &seen) != 0 || !S_ISFIFO(seen.st_mode)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened {};
    if (fd >= 0 && (::fstat(fd, &opened) != 0 || !S_ISFIFO(opened.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace plinkora
