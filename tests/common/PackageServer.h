// A package server on 127.0.0.1 for the tests and benchmarks that download:
// scripts/package-server.py serving a folder on a port the system picks,
// stopped when the object goes. A Windows test under Wine starts the same
// Linux interpreter: Wine runs programs named by their Linux path.
#pragma once

#include <platform/Loopback.h>
#include <platform/Process.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "TemporaryFolders.h"
#include "paths/Utf8Path.h"

#if !defined(TESSALY_PACKAGE_SERVER_SCRIPT) || !defined(TESSALY_PYTHON3)
#error "TESSALY_PACKAGE_SERVER_SCRIPT and TESSALY_PYTHON3 must name the server and its interpreter"
#endif

namespace test_support {

// The folder as the server, a Linux program, names it: under Wine the test's
// folders lie on the drive that maps the Linux root (Z:).
inline std::string serverPath(const std::filesystem::path& folder) {
    std::string path = paths::pathToUtf8(folder);
#ifdef _WIN32
    if (path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':')
        path.erase(0, 2);
    else
        throw std::runtime_error("the package server sees only the drive Z: (the Linux root); "
                                 "put the temporary folder (TEMP) there: " + path);
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return path;
}

class PackageServer {
  public:
    // Throws std::runtime_error when the server does not announce its port
    // within ten seconds. The port comes through a file, and the server ends
    // once its lifeline file is gone: a Windows program under Wine can
    // neither read a Linux program's output nor end it.
    explicit PackageServer(const std::filesystem::path& folder)
        : own_(testsupport::makeTemporaryFolder("tessaly-servidor")) {
        std::ofstream(own_ / "vivo") << "apague para parar o servidor\n";
        std::error_code error;
        if (!server_.start(TESSALY_PYTHON3,
                           {TESSALY_PACKAGE_SERVER_SCRIPT, serverPath(folder), "--port-file",
                            serverPath(own_ / "porta"), "--while-exists", serverPath(own_ / "vivo")},
                           platform::Process::Output::Discarded, error)) {
            stop();
            throw std::runtime_error("python3 could not be started: " + error.message());
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (port_ <= 0 && std::chrono::steady_clock::now() < deadline) {
            std::ifstream announced(own_ / "porta");
            if (!(announced >> port_)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
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
    void stop() {
        std::error_code ignored;
        std::filesystem::remove_all(own_, ignored);
        server_.kill();
    }

    std::filesystem::path own_;  // the port and lifeline files
    platform::Process server_;
    int port_ = -1;
};

// A loopback port nothing listens on.
inline int closedPort() {
    return platform::closedLoopbackPort();
}

}  // namespace test_support
