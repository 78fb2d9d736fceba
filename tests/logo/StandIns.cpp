#include "StandIns.hpp"

#include <fstream>

namespace fs = std::filesystem;

namespace plinkora::testing {

void writeFile(const fs::path& path, const std::string& text, fs::perms perms) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
    fs::permissions(path, perms);
}

void writeStandInSystemctl(const fs::path& bin) {
    writeFile(bin / "systemctl",
              "#!/bin/sh\n"
              "echo \"$*\" >> \"$STANDIN_LOG/systemctl\"\n"
              "if [ \"$1\" = \"$STANDIN_FAIL\" ]; then\n"
              "    echo \"Failed to $1 unit: Unit not found.\" >&2\n"
              "    exit 1\n"
              "fi\n",
              fs::perms(0755));
}

} // namespace plinkora::testing
