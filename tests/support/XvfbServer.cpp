#include "XvfbServer.hpp"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace plinkora::testing {

XvfbServer::XvfbServer(const std::string& screenSize) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 screenSize, "-nolisten", "tcp", "-noreset", "-wr", "+extension",
                                 "RANDR"},
        std::map<std::string, std::string>{}, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd watch{fds[0], POLLIN, 0};
    while (poll(&watch, 1, 10000) > 0) {
        char c = 0;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') {
            break;
        }
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() = default;

void XvfbServer::exportDisplay() const {
    setenv("DISPLAY", display_.c_str(), 1);
}

} // namespace plinkora::testing
