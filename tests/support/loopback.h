#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>

// The address 127.0.0.1:port; the outage tests never leave the loopback interface.
inline sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
