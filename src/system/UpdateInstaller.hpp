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

    /// Replaces the AppImage at `appImagePath` (following symbolic links) with `bytes`, keeping
    /// its mode: the new file is written beside it, flushed to disk and renamed over it, so an
    /// install stopped at any moment leaves the old AppImage or the new one, complete.
    static Result replaceAppImage(const QString& appImagePath, const QByteArray& bytes);

    /// Writes `bytes` as `fileName` (reduced to a safe name) into `folder`, private to the
    /// user, for the desktop's software installer to open. Earlier packages there are removed.
    static Result stagePackage(const QString& folder, const QString& fileName,
                               const QByteArray& bytes);
};

} // namespace plinkora
