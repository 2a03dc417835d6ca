// A package server on 127.0.0.1 for the tests and benchmarks that download:
// scripts/package-server.py serving a folder on a port the system picks,
// stopped by its process id when the object goes.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#if !defined(TESSALY_PACKAGE_SERVER_SCRIPT) || !defined(TESSALY_PYTHON3)
#error "TESSALY_PACKAGE_SERVER_SCRIPT and TESSALY_PYTHON3 must name the server and its interpreter"
#endif

extern char** environ;

namespace test_support {

class PackageServer {
  public:
    // Throws std::runtime_error when the server does not announce its port
    // within ten seconds.
    explicit PackageServer(const std::filesystem::path& folder) {
        int output[2];
        if (::pipe(output) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        const std::string script = TESSALY_PACKAGE_SERVER_SCRIPT;
        const std::string root = folder.string();
        char* argv[] = {const_cast<char*>(TESSALY_PYTHON3), const_cast<char*>(script.c_str()),
                        const_cast<char*>(root.c_str()), nullptr};
        const int spawned = posix_spawn(&pid_, TESSALY_PYTHON3, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        if (spawned != 0) {
            ::close(output[0]);
            throw std::runtime_error("python3 could not be started");
        }
        port_ = readPort(output[0]);
        ::close(output[0]);
        if (port_ <= 0) {
            stop();
            throw std::runtime_error("the package server did not start");
        }
    }
    ~PackageServer() { stop(); }
    PackageServer(const PackageServer&) = delete;
    PackageServer& operator=(const PackageServer&) = delete;

    int port() const { return port_; }
    // The base address the program puts "blocos/<n>.zip" after.
    std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    // The same files served with a fault of scripts/package-server.py.
    std::string faultyBaseAddress(const std::string& kind) const {
        return baseAddress() + "fault/" + kind + "/";
    }

  private:
    static int readPort(int descriptor) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{descriptor, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            char c;
            if (::read(descriptor, &c, 1) != 1) return -1;
            if (c == '\n') return std::stoi(line);
            line += c;
        }
        return -1;
    }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int port_ = -1;
};

// A loopback port nothing listens on: bound once by the system's choice, then released.
inline int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

}  // namespace test_support
