#pragma once

#include <QByteArray>
#include <QString>

namespace plinkora {

/// Puts verified update bytes in place. Each operation writes from the bytes it is given,
/// never from a file that something else could have changed after it was verified.
class UpdateInstaller {
public:
    struct Result {
        /// The file written; empty on failure.
        QString path;
        /// Why it failed, in plain words.
        QString error;
        bool succeeded() const { return error.isEmpty(); }
    };

    /// Whether `bytes` start like an AppImage of type 2: an ELF file with "AI" and 2 at offset 8.
    static bool isAppImage(const QByteArray& bytes);
    /// Whether `bytes` start like a Debian package: an ar archive whose first member is
    /// "debian-binary".
    static bool isDebianPackage(const QByteArray& bytes);

    /// The AppImage this process runs from, or empty. $APPIMAGE alone proves nothing, since
    /// AppImages pass it on to every program they start: it counts only when this executable
    /// lies inside the AppImage's mount ($APPDIR) and the file it names is an AppImage.
    static QString runningAppImage(const QString& appImage, const QString& appDir,
                                   const QString& executable);

    /// Replaces the AppImage at `appImagePath` (following symbolic links) with `bytes`, keeping
    /// its permission bits but never set-user-ID or set-group-ID: the new file is written beside
    /// it, flushed to disk and renamed over it, so an install stopped at any moment leaves the
    /// old AppImage or the new one, complete. Bytes that are not an AppImage are refused.
    static Result replaceAppImage(const QString& appImagePath, const QByteArray& bytes);

    /// Writes `bytes` as `fileName` (reduced to a safe name) into `folder`, private to the
    /// user, for the desktop's software installer to open. Earlier packages there are removed.
    /// Bytes that are not a Debian package are refused.
    static Result stagePackage(const QString& folder, const QString& fileName,
                               const QByteArray& bytes);
};

} // namespace plinkora
