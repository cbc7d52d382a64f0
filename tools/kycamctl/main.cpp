#include <csignal>
#include <iostream>

#include "tools/kycamctl/Kycamctl.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    return ky::ctl::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
