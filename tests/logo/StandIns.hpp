#pragma once

#include <filesystem>
#include <string>

namespace plinkora::testing {

/// Writes a file (making its folders) with the given mode.
void writeFile(const std::filesystem::path& path, const std::string& text,
               std::filesystem::perms perms = std::filesystem::perms(0644));

/// A systemctl stand-in in `bin` that appends its arguments to $STANDIN_LOG/systemctl and
/// fails, as systemd would, when its first argument equals $STANDIN_FAIL.
void writeStandInSystemctl(const std::filesystem::path& bin);

} // namespace plinkora::testing
