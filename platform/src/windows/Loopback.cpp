#include "platform/Loopback.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {

namespace {

void startWinsockOnce() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    static_cast<void>(started);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

int boundPort(SOCKET socket) {
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

LoopbackListener::LoopbackListener(int backlog) {
    startWinsockOnce();
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    socket_ = static_cast<std::intptr_t>(listener);
    port_ = boundPort(listener);
    ::listen(listener, backlog);
}

LoopbackListener::~LoopbackListener() {
    for (const std::intptr_t filler : fillers_) ::closesocket(static_cast<SOCKET>(filler));
    if (socket_ != -1) ::closesocket(static_cast<SOCKET>(socket_));
}

void LoopbackListener::fillBacklog(int count) {
    const sockaddr_in address = loopback(port_);
    for (int i = 0; i < count; ++i) {
        const SOCKET filler = ::socket(AF_INET, SOCK_STREAM, 0);
        u_long nonBlocking = 1;
        ::ioctlsocket(filler, FIONBIO, &nonBlocking);
        ::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        fillers_.push_back(static_cast<std::intptr_t>(filler));
    }
}

int closedLoopbackPort() {
    startWinsockOnce();
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, 0);
    const int port = boundPort(probe);
    ::closesocket(probe);
    return port;
}

}  // namespace platform
