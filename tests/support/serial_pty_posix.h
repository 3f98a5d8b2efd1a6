#pragma once
// A pseudo-terminal pair for serial tests: the test holds the master, the code
// under test opens the slave by its path. Linux only (include from *_posix_test.cpp).
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/posix_port_driver.h"

namespace vandrel::test {

class SerialPty {
public:
    SerialPty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        slave_ = name;
        // Raw on the master side too, so bytes pass unchanged both ways.
        termios tio{};
        ::tcgetattr(master_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
    }
    ~SerialPty() {
        if (master_ >= 0)
            ::close(master_);
    }
    SerialPty(const SerialPty&) = delete;
    SerialPty& operator=(const SerialPty&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slave_; }

    void Write(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // Reads from the master until `count` bytes came or `timeout` passed.
    std::vector<std::uint8_t> Read(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t buffer[4096];
        while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const auto n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    // Opens the slave for any COM name.
    serial::PortDriverFactory Factory() const {
        const std::string path = slave_;
        return [path](const std::string&) -> std::unique_ptr<serial::PortDriver> {
            return std::make_unique<serial::PosixPortDriver>([path](const std::string&) { return path; });
        };
    }

private:
    int master_ = -1;
    std::string slave_;
};

} // namespace vandrel::test
