#include "platform/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

int boundPort(int socket) {
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

LoopbackListener::LoopbackListener(int backlog) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socket_ = listener;
    port_ = boundPort(listener);
    ::listen(listener, backlog);
}

LoopbackListener::~LoopbackListener() {
    for (const std::intptr_t filler : fillers_) ::close(static_cast<int>(filler));
    if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

void LoopbackListener::fillBacklog(int count) {
    const sockaddr_in address = loopback(port_);
    for (int i = 0; i < count; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        fillers_.push_back(filler);
    }
}

int closedLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int port = boundPort(probe);
    ::close(probe);
    return port;
}

}  // namespace platform
