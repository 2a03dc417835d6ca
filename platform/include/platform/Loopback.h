// Sockets on 127.0.0.1 for the tests' own servers and dead ends.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// A listening socket on a port the system picks; it never accepts.
class LoopbackListener {
  public:
    explicit LoopbackListener(int backlog);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return port_; }
    // Starts `count` connections that are never accepted, to fill the backlog
    // so that a further connection waits.
    void fillBacklog(int count);

  private:
    std::intptr_t socket_ = -1;
    int port_ = 0;
    std::vector<std::intptr_t> fillers_;
};

// A loopback port nothing listens on: bound once by the system's choice, then
// released.
int closedLoopbackPort();

}  // namespace platform
