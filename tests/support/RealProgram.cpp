#include "RealProgram.hpp"

#include <cstdlib>
#include <stdexcept>

namespace plinkora::testing {

namespace {

std::string programUnderTest() {
    const char* binary = std::getenv("PLINKORA_BINARY");
    if (binary == nullptr) {
        throw std::runtime_error("PLINKORA_BINARY names the program under test");
    }
    return binary;
}

} // namespace

RealProgram::RealProgram()
    : binary_(programUnderTest()) {}

std::unique_ptr<ChildProcess>
RealProgram::launch(const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment,
                    const std::string& output) const {
    std::vector<std::string> argv{binary_};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(argv, environment, -1,
                                          output.empty() ? logFile_ : path(output));
}

} // namespace plinkora::testing
