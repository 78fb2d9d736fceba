#include "system/UpdateInstaller.hpp"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plinkora {

namespace {

QString systemError(const char* what, int error) {
    return QString::fromUtf8(what) + QStringLiteral(": ") + QString::fromUtf8(std::strerror(error));
}

bool writeAll(int fd, const QByteArray& bytes, int& error) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // Makes the rename itself durable; a failure here loses nothing.
        ::close(fd);
    }
}

/// Writes `bytes` to a fresh file in the folder of `target` and renames it to `target`.
UpdateInstaller::Result writeAtomically(const QString& target, const QByteArray& bytes,
                                        mode_t mode) {
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    QByteArray temporary = QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() +
                                             QStringLiteral(".update-XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return {{}, systemError("could not create a file beside it", errno)};
    }
    int error = 0;
    const char* failed = nullptr;
    if (!writeAll(fd, bytes, error)) {
        failed = "could not write the new version";
    } else if (::fchmod(fd, mode) != 0) {
        error = errno;
        failed = "could not set the new version's mode";
    } else if (::fsync(fd) != 0) {
        error = errno;
        failed = "could not flush the new version to disk";
    }
    if (::close(fd) != 0 && failed == nullptr) {
        error = errno;
        failed = "could not close the new version";
    }
    if (failed == nullptr && ::rename(temporary.constData(), QFile::encodeName(target)) != 0) {
        error = errno;
        failed = "could not put the new version in place";
    }
    if (failed != nullptr) {
        ::unlink(temporary.constData());
        return {{}, systemError(failed, error)};
    }
    syncFolder(folder);
    return {target, {}};
}

/// Leftovers of an install that was stopped before its rename.
void removeStaleTemporaries(const QString& folder, const QString& fileName) {
    QDir dir(folder);
    const QStringList stale =
        dir.entryList({QStringLiteral(".") + fileName + QStringLiteral(".update-*")},
                      QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : stale) {
        dir.remove(name);
    }
}

QString safeFileName(const QString& name) {
    QString safe;
    for (const QChar c : name) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-' ||
                             c == u'+';
        safe.append(allowed ? c : QChar(u'_'));
    }
    while (safe.startsWith(u'.')) {
        safe.remove(0, 1);
    }
    return safe.isEmpty() ? QStringLiteral("Plinkora-update") : safe.left(128);
}

} // namespace

bool UpdateInstaller::isAppImage(const QByteArray& bytes) {
    return bytes.startsWith("\x7f"
                            "ELF") &&
           bytes.mid(8, 3) == QByteArray("AI\x02", 3);
}

bool UpdateInstaller::isDebianPackage(const QByteArray& bytes) {
    return bytes.startsWith("!<arch>\ndebian-binary");
}

QString UpdateInstaller::runningAppImage(const QString& appImage, const QString& appDir,
                                         const QString& executable) {
    if (appImage.isEmpty() || appDir.isEmpty()) {
        return {};
    }
    const QString mount = QFileInfo(appDir).canonicalFilePath();
    const QString running = QFileInfo(executable).canonicalFilePath();
    if (mount.isEmpty() || !running.startsWith(mount + u'/')) {
        return {};
    }
    QFile file(appImage);
    if (!file.open(QIODevice::ReadOnly) || !isAppImage(file.read(16))) {
        return {};
    }
    return appImage;
}

UpdateInstaller::Result UpdateInstaller::replaceAppImage(const QString& appImagePath,
                                                         const QByteArray& bytes) {
    if (!isAppImage(bytes)) {
        return {{}, QStringLiteral("the verified file is not an AppImage")};
    }
    const QString target = QFileInfo(appImagePath).canonicalFilePath();
    struct stat status {};
    if (target.isEmpty() || ::stat(QFile::encodeName(target).constData(), &status) != 0) {
        return {{}, QStringLiteral("the running AppImage %1 was not found").arg(appImagePath)};
    }
    if (!S_ISREG(status.st_mode)) {
        return {{}, QStringLiteral("%1 is not a regular file").arg(target)};
    }
    const QFileInfo info(target);
    removeStaleTemporaries(info.absolutePath(), info.fileName());
    // The new file is the user's own: special bits would outlive the owner they were set for.
    return writeAtomically(target, bytes, status.st_mode & 0777);
}

UpdateInstaller::Result UpdateInstaller::stagePackage(const QString& folder,
                                                      const QString& fileName,
                                                      const QByteArray& bytes) {
    if (!isDebianPackage(bytes)) {
        return {{}, QStringLiteral("the verified file is not a Debian package")};
    }
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0) {
        return {{}, QStringLiteral("could not create the folder %1").arg(folder)};
    }
    QDir dir(folder);
    for (const QString& old : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        dir.remove(old);
    }
    return writeAtomically(dir.filePath(safeFileName(fileName)), bytes, 0600);
}

} // namespace plinkora
