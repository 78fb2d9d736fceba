#include "JackServer.hpp"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace plinkora::testing {

namespace {

constexpr const char* kMonitor = "plinkora-monitor";

bool isHexByte(const std::string& token) {
    return token.size() == 2 && std::isxdigit(static_cast<unsigned char>(token[0])) &&
           std::isxdigit(static_cast<unsigned char>(token[1]));
}

} // namespace

JackServer::JackServer()
    // One name for every run: JACK keeps a few server slots per user and takes a slot back
    // only from a dead server of the same name, so names of their own would run out.
    : name_("plinkora-test") {
    if (!dir_.isValid()) {
        throw std::runtime_error("no temporary folder for the JACK server");
    }
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    server_ = std::make_unique<ChildProcess>(
        // Real-time where the account may (a JACK server's default), and periods long enough
        // that a loaded machine does not miss them.
        std::vector<std::string>{"jackd", "--name", name_, "-d", "dummy", "-r", "48000", "-p",
                                 std::to_string(kPeriodFrames)},
        std::map<std::string, std::string>{}, -1,
        dir_.filePath(QStringLiteral("jackd.log")).toStdString());
    if (!waitUntil([&] { return ports().find("system:playback_1") != std::string::npos; })) {
        throw std::runtime_error(
            "the JACK server did not start: " +
            readFile(dir_.filePath(QStringLiteral("jackd.log")).toStdString()));
    }
    // Line-buffered, so that each message is in the file as it arrives.
    monitor_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"stdbuf", "-oL", "jack_midi_dump", "-a", kMonitor},
        std::map<std::string, std::string>{}, -1,
        dir_.filePath(QStringLiteral("midi.txt")).toStdString());
}

JackServer::~JackServer() {
    monitor_.reset();
    server_.reset();
    unsetenv("JACK_DEFAULT_SERVER");
}

std::string JackServer::ports() const {
    // Quiet while the server is not up yet.
    return runCommand({"sh", "-c", "jack_lsp 2>/dev/null"});
}

bool JackServer::listenTo(const std::string& port, double seconds) {
    const std::string input = std::string(kMonitor) + ":input";
    const bool bothThere = waitUntil(
        [&] {
            const std::string now = ports();
            return now.find(port) != std::string::npos && now.find(input) != std::string::npos;
        },
        seconds);
    if (!bothThere) {
        return false;
    }
    runCommand({"jack_connect", port, input});
    return runCommand({"jack_lsp", "-c", port}).find(input) != std::string::npos;
}

std::vector<JackServer::Received> JackServer::received() const {
    std::vector<Received> received;
    std::istringstream lines(readFile(dir_.filePath(QStringLiteral("midi.txt")).toStdString()));
    // " 98304: 90 3c 5c note on  (channel  0): pitch  60, velocity  92"
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        Received message;
        message.frame = std::atol(line.substr(0, colon).c_str());
        std::istringstream tokens(line.substr(colon + 1));
        for (std::string token; tokens >> token && isHexByte(token);) {
            message.bytes += (message.bytes.empty() ? "" : " ") + token;
        }
        if (!message.bytes.empty()) {
            received.push_back(message);
        }
    }
    return received;
}

std::vector<std::string> JackServer::messages() const {
    std::vector<std::string> bytes;
    for (const Received& message : received()) {
        bytes.push_back(message.bytes);
    }
    return bytes;
}

} // namespace plinkora::testing
