// The fault proxy for a script: "fault_proxy_tool SERVER_PORT" relays a loopback port of its own to the
// server's, prints that port on a line, then takes "cut", "freeze" and "restore" lines on standard input and
// answers each with "ok" once it is carried out. It ends at the end of its input.
#include "tests/support/fault_proxy.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const long serverPort = argc == 2 ? std::strtol(argv[1], nullptr, 10) : 0;
    if (serverPort <= 0 || serverPort > 65535) {
        std::fprintf(stderr, "usage: %s SERVER_PORT\n", argv[0]);
        return 2;
    }
    FaultProxy proxy(static_cast<uint16_t>(serverPort));
    std::cout << proxy.Port() << std::endl;
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "cut")
            proxy.Cut();
        else if (command == "freeze")
            proxy.Freeze();
        else if (command == "restore")
            proxy.Restore();
        else {
            std::cout << "unknown command '" << command << "'" << std::endl;
            continue;
        }
        std::cout << "ok" << std::endl;
    }
    return 0;
}
