#include "logo/StagingFolder.hpp"

#include "logo/HelperError.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

namespace {

std::string systemError(int error) {
    return std::strerror(error);
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw HelperError::stagingFailed("The helper's staging folder " + path + " " + why +
                                     "; remove it and try again.");
}

bool isPrivateFolderOfOurs(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

/// XDG_RUNTIME_DIR when it is a real folder that only this user can change.
std::string privateRuntimeFolder() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    struct stat info {};
    if (::lstat(value, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return {};
    }
    std::string folder = value;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

/// A folder in which nobody else can rename or replace what we make: ours or root's, and
/// either closed to others' writes or sticky (as /tmp is).
bool isSafeParent(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    const bool trustedOwner = info.st_uid == ::geteuid() || info.st_uid == 0;
    const bool othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return trustedOwner && (!othersMayWrite || (info.st_mode & S_ISVTX) != 0);
}

std::string freshTemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    if (!isSafeParent(base)) {
        base = "/tmp";
    }
    std::string pattern = base + "/" + StagingFolder::kFolderName + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int error = errno;
        throw HelperError::stagingFailed("Could not make a private folder for the helper in " +
                                         base + ": " + systemError(error) + ".");
    }
    return pattern;
}

/// 0, or the errno of the failed write.
int writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

StagingFolder StagingFolder::prepare() {
    const std::string runtime = privateRuntimeFolder();
    const bool isFresh = runtime.empty();
    const std::string path = isFresh ? freshTemporaryFolder() : runtime + "/" + kFolderName;

    if (!isFresh && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        throw HelperError::stagingFailed("Could not make the helper's staging folder " + path +
                                         ": " + systemError(error) + ".");
    }
    struct stat seen {};
    if (::lstat(path.c_str(), &seen) != 0) {
        const int error = errno;
        throw HelperError::stagingFailed("Could not read the helper's staging folder " + path +
                                         ": " + systemError(error) + ".");
    }
    if (S_ISLNK(seen.st_mode)) {
        refuse(path, "is a link");
    }
    if (!S_ISDIR(seen.st_mode)) {
        refuse(path, "is not a folder");
    }
    // Everything below goes through this descriptor, so a folder swapped in after the checks
    // is never written to.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR) {
            refuse(path, "was replaced while it was checked");
        }
        throw HelperError::stagingFailed("Could not open the helper's staging folder " + path +
                                         ": " + systemError(error) + ".");
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_dev != seen.st_dev || info.st_ino != seen.st_ino) {
        ::close(fd);
        refuse(path, "was replaced while it was checked");
    }
    if (!isPrivateFolderOfOurs(info)) {
        ::close(fd);
        refuse(path,
               info.st_uid != ::geteuid() ? "belongs to another user" : "is open to other users");
    }
    return StagingFolder(path, fd, isFresh);
}

StagingFolder::StagingFolder(std::string path, int folderFd, bool isFresh)
    : path_(std::move(path))
    , folderFd_(folderFd)
    , isFresh_(isFresh) {}

StagingFolder::StagingFolder(StagingFolder&& other) noexcept
    : path_(std::move(other.path_))
    , folderFd_(std::exchange(other.folderFd_, -1))
    , isFresh_(other.isFresh_)
    , written_(std::move(other.written_)) {}

StagingFolder::~StagingFolder() {
    if (folderFd_ < 0) {
        return;
    }
    if (isFresh_) {
        for (const std::string& name : written_) {
            ::unlinkat(folderFd_, name.c_str(), 0);
        }
        ::rmdir(path_.c_str());
    }
    ::close(folderFd_);
}

void StagingFolder::write(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, text] : files) {
        const std::string partial = "." + name + ".new";
        ::unlinkat(folderFd_, partial.c_str(), 0);
        const int fd = ::openat(folderFd_, partial.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        int error = fd < 0 ? errno : 0;
        if (fd >= 0) {
            error = writeAll(fd, text);
            if (::close(fd) != 0 && error == 0) {
                error = errno;
            }
            if (error == 0 &&
                ::renameat(folderFd_, partial.c_str(), folderFd_, name.c_str()) != 0) {
                error = errno;
            }
            if (error != 0) {
                ::unlinkat(folderFd_, partial.c_str(), 0);
            }
        }
        if (error != 0) {
            throw HelperError::stagingFailed("Could not write " + pathOf(name) + ": " +
                                             systemError(error) + ".");
        }
        written_.push_back(name);
    }
}

} // namespace plinkora
