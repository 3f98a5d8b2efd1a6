#pragma once
// The seam between the FT232R link and libftdi: the USB side (list the
// FT232R cables, open one) and one opened cable in synchronous bit-bang mode.
// Backends: libftdi (libftdi_bus.cpp, where the build has libftdi), the
// simulated FT232R (simulator/sim_ft232r.h), and a bus that says libftdi is
// not available.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::ftdi {

// FT232R: FTDI's vendor ID and the product ID of the FT232R (and FT232BM).
inline constexpr int kFtdiVendorId = 0x0403;
inline constexpr int kFt232rProductId = 0x6001;

// Which cable a port name means: "ftdi" (the first), "ftdi:SERIAL" or
// "ftdi:BUS-ADDRESS" (USB bus and device address, decimal, as lsusb shows them).
struct FtdiTarget {
    enum class Kind { First, Serial, BusAddress };
    Kind kind = Kind::First;
    std::string serial;
    int bus = 0, address = 0;
    friend bool operator==(const FtdiTarget&, const FtdiTarget&) = default;
};

// "ftdi", "FTDI:A6008isP", "ftdi:3-7"; nullopt for anything that does not
// start with "ftdi" (any case) or has nothing after the colon.
std::optional<FtdiTarget> ParseFtdiPortName(std::string_view name);

// "ftdi", "ftdi:A6008isP", "ftdi:3-7".
std::string FtdiPortName(const FtdiTarget& target);

struct FtdiDeviceInfo {
    std::string serial;      // empty when the cable has none or it could not be read
    std::string description; // the product string, e.g. "FT232R USB UART"
    int bus = 0, address = 0;
    bool accessible = true;  // this user may open it (else the udev rule is missing)
    bool Matches(const FtdiTarget& target) const;
};

// Why a cable cannot be used, by kind; `text` is the library's own wording.
struct FtdiProblem {
    enum class Kind { None, NotFound, Permission, Busy, Unavailable, Transfer, Other };
    Kind kind = Kind::None;
    std::string text;
    explicit operator bool() const { return kind != Kind::None; }
    friend bool operator==(const FtdiProblem&, const FtdiProblem&) = default;
};

// One opened FT232R.
class FtdiDevice {
public:
    virtual ~FtdiDevice() = default;
    // Synchronous bit-bang with `outputMask` driven, the byte clock at most
    // `bytesPerSecond`, and the latency timer at `latencyMs`.
    virtual bool SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs, FtdiProblem& problem) = 0;
    // Writes `out` and reads back the pin byte of each byte written (taken
    // before that byte was put on the pins). `in` gets what came back; fewer
    // bytes than written is a failed transfer.
    virtual bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                          FtdiProblem& problem) = 0;
    // The same in two halves, so that several transfers can be in flight:
    // Submit starts writing `out` (after the transfers submitted before it)
    // and gives the transfer's ticket; Collect waits for that transfer and
    // gives its read-back, as Exchange would. Transfers are collected in the
    // order they were submitted, each once; a failure shows at its Collect.
    // By default each Submit is a whole Exchange, done at once.
    virtual std::uint64_t Submit(const std::vector<std::uint8_t>& out);
    virtual bool Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem);
    // Leaves bit-bang mode, releases the cable and gives it back to the
    // system's serial driver. Safe to call twice.
    virtual void Close() = 0;

private:
    struct Done {
        bool ok = false;
        std::vector<std::uint8_t> in;
        FtdiProblem problem;
    };
    std::map<std::uint64_t, Done> done_; // the default Submit's transfers, not yet collected
    std::uint64_t nextTicket_ = 1;
};

class FtdiBus {
public:
    virtual ~FtdiBus() = default;
    // The FT232R cables attached; a problem when the bus itself cannot be read.
    virtual std::vector<FtdiDeviceInfo> List(FtdiProblem& problem) = 0;
    // Opens the cable `target` names, detaching the system's serial driver
    // from it for as long as it is open.
    virtual std::unique_ptr<FtdiDevice> Open(const FtdiTarget& target, FtdiProblem& problem) = 0;
};

// The system's USB bus through libftdi; where this build has no libftdi, a
// bus whose every call reports Unavailable.
std::shared_ptr<FtdiBus> MakeSystemFtdiBus();

// The bus that only says why there is none.
std::shared_ptr<FtdiBus> MakeUnavailableFtdiBus(std::string why);

} // namespace vandrel::ftdi
