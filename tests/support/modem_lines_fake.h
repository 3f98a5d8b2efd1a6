#pragma once
// Fakes of the link's seven line operations.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/port_driver.h"
#include "serial/sim_port_driver.h"

namespace vandrel::test {

// One line operation as the link issued it: "SETRTS", "CLRRTS", "SETDTR",
// "CLRDTR", "BREAK", "NOBREAK", "STATUS", or "ESC<n>" for another function.
std::string LineCallName(std::uint32_t escapeFunction);

// Records every call (a failed line change as "!" + name); CTS answers come from `cts` (call index -> on?), failing
// status queries from `statusFails`.
class RecordingModemLines : public serial::ModemLines {
public:
    bool EscapeCommFunction(std::uint32_t function) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;

    std::vector<std::string> calls;
    int statusQueries = 0;
    std::function<bool(int query)> cts = [](int) { return false; };
    std::function<bool(int query)> statusFails = [](int) { return false; };
    // Line change number `index` (0-based, counting escapes and break calls)
    // named `name` ("SETRTS" ... or "BREAK", "NOBREAK") fails.
    std::function<bool(const std::string& name, int index)> escapeFails = [](const std::string&, int) {
        return false;
    };
    int escapes = 0;
    std::uint32_t statusLeftOnFailure = serial::win::MS_CTS_ON; // what a failed query writes

private:
    bool Change(const std::string& name);
};

// Hands the link's calls straight to a line peer (the simulated chip),
// optionally recording them. Stands in for the sim driver.
class PeerModemLines : public serial::ModemLines {
public:
    explicit PeerModemLines(std::shared_ptr<serial::LinePeer> peer) : peer_(std::move(peer)) {}
    bool EscapeCommFunction(std::uint32_t function) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;

    bool record = false;
    std::vector<std::string> calls;

private:
    std::shared_ptr<serial::LinePeer> peer_;
};

} // namespace vandrel::test
