#pragma once
// An FT232R and a USB bus in memory, for the bit-bang link's own tests: the
// device keeps every transfer, reads back the pins as they were before each
// byte (CTS from a script), and fails where it is told to.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ftdi/adapter_pins.h"
#include "ftdi/ftdi_bus.h"

namespace vandrel::test {

struct FakeFtdiState {
    std::vector<std::vector<std::uint8_t>> transfers;
    // CTS at the read-back of the nth byte of the cable's whole stream (0-based).
    std::function<bool(std::size_t n)> cts = [](std::size_t) { return false; };
    int failTransfer = 0;       // this transfer (1-based) fails, and every later one
    int shortTransfer = 0;      // this transfer brings back one byte too few
    bool bitBangFails = false;
    std::uint8_t mask = 0;
    int bytesPerSecond = 0, latencyMs = 0;
    bool open = false;
    int opens = 0, closes = 0;
    std::size_t streamed = 0;
    std::uint8_t pins = ftdi::kReleasedPins;
};

class FakeFtdiDevice final : public ftdi::FtdiDevice {
public:
    explicit FakeFtdiDevice(std::shared_ptr<FakeFtdiState> state) : state_(std::move(state)) {}
    bool SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs,
                        ftdi::FtdiProblem& problem) override;
    bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                  ftdi::FtdiProblem& problem) override;
    void Close() override;

private:
    std::shared_ptr<FakeFtdiState> state_;
    bool closed_ = false;
};

class FakeFtdiBus final : public ftdi::FtdiBus {
public:
    std::vector<ftdi::FtdiDeviceInfo> cables{ftdi::FtdiDeviceInfo{"FT0001", "FT232R USB UART", 1, 5, true}};
    ftdi::FtdiProblem listProblem, openProblem;
    std::shared_ptr<FakeFtdiState> state = std::make_shared<FakeFtdiState>();

    std::vector<ftdi::FtdiDeviceInfo> List(ftdi::FtdiProblem& problem) override;
    std::unique_ptr<ftdi::FtdiDevice> Open(const ftdi::FtdiTarget& target, ftdi::FtdiProblem& problem) override;
};

} // namespace vandrel::test
