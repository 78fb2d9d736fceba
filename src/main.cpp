#include "Wiring.hpp"
#include "app/PlinkoraApp.hpp"

int main(int argc, char** argv) {
    return plinkora::PlinkoraApp::run(argc, argv, &plinkora::makeProductionState,
                                      &plinkora::buildUserInterface);
}
