#include "PlinkoraApp.hpp"
#include "Wiring.hpp"

int main(int argc, char** argv) {
    return plinkora::PlinkoraApp::run(argc, argv, &plinkora::makeProductionState,
                                      &plinkora::buildUserInterface);
}
