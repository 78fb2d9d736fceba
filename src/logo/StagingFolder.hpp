#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plinkora {

/// A private folder of the user's where the helper's files wait for the privileged run.
///
/// Root runs install.sh from here, so nobody but the user may be able to change what is in it
/// between staging and that run: the folder is "$XDG_RUNTIME_DIR/PlinkoraHelper" (mode 0700,
/// reused between calls), or a fresh mkdtemp folder when there is no private runtime folder.
class StagingFolder {
public:
    static constexpr const char* kFolderName = "PlinkoraHelper";

    /// Finds or makes the folder and checks that it is safe. Throws HelperError (naming the
    /// path) when it is a link, not a folder, another user's, or open to others.
    static StagingFolder prepare();

    StagingFolder(StagingFolder&& other) noexcept;
    StagingFolder& operator=(StagingFolder&&) = delete;
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    /// Removes a fresh mkdtemp folder with its files; the runtime folder stays for reuse.
    ~StagingFolder();

    /// The folder's absolute path, without a trailing slash.
    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const { return path_ + "/" + name; }
    bool isFresh() const { return isFresh_; }

    /// Writes each file atomically (a new file renamed over the old one), in order, through
    /// the folder that was checked; the first failure throws HelperError.
    void write(const std::vector<std::pair<std::string, std::string>>& files);

private:
    StagingFolder(std::string path, int folderFd, bool isFresh);

    std::string path_;
    int folderFd_ = -1;
    bool isFresh_ = false;
    std::vector<std::string> written_;
};

} // namespace plinkora
