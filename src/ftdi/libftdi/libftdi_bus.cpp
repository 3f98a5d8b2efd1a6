// The FT232R through libftdi 1.x. Built only where libftdi is found; the
// rest of the program reaches it through MakeSystemFtdiBus().
//
// What this relies on, from libftdi's header and documentation:
//   - ftdi_set_bitmode(mask, BITMODE_SYNCBB) enters synchronous bit-bang
//     mode with the `mask` pins as outputs; ftdi_set_bitmode(0,
//     BITMODE_RESET) leaves it;
//   - in bit-bang mode ftdi_set_baudrate() multiplies the rate it is given
//     by 4 before setting the baud-rate generator ("bitbang baudrates are
//     automatically multiplied by 4"), so it must be called after
//     ftdi_set_bitmode;
//   - ftdi_set_latency_timer(1..255 ms): how long the chip holds a part-filled
//     packet of bytes for the PC;
//   - ftdi_write_data_submit/ftdi_read_data_submit start a bulk write and
//     read that run together (the chip only clocks a byte out while it has
//     room for the byte it reads back), ftdi_transfer_data_done waits for
//     each; the read strips the chip's two modem status bytes per packet; a
//     read goes through the context's one read buffer, so only one read is
//     in flight at a time;
//   - module_detach_mode AUTO_DETACH_REATACH_SIO_MODULE detaches the kernel's
//     ftdi_sio from the interface while libftdi holds it and attaches it
//     again when ftdi_usb_close releases it.
// And from FTDI's note on the FT232R/FT245R bit-bang modes: the bit-bang
// byte clock runs at 16 times the baud rate set. Reports on the FT232R give
// smaller factors too; taking the largest, the byte clock is at most
// 64 times the rate handed to ftdi_set_baudrate, and the link asks for the
// rate that makes that bound its own (waits counted in bytes at that rate
// can only come out longer).
#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "ftdi/ftdi_bus.h"

namespace vandrel::ftdi {

namespace {

using Kind = FtdiProblem::Kind;

constexpr int kMostBytesPerBaud = 64; // 4 (libftdi) x 16 (the FT232R's bit-bang clock)
constexpr int kTransferTimeoutMs = 5000;

struct ContextDeleter {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

struct ListDeleter {
    void operator()(ftdi_device_list* list) const { ftdi_list_free(&list); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, ListDeleter>;

std::string ErrorText(ftdi_context* context, const char* call) {
    const char* text = context != nullptr ? ftdi_get_error_string(context) : nullptr;
    return std::string(call) + ": " + (text != nullptr && *text != '\0' ? text : "failed");
}

// Whether this user may open the cable's device node (what the udev rule gives).
bool MayOpen(int bus, int address, std::string& reason) {
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus, address);
    if (::access(path, R_OK | W_OK) == 0 || errno == ENOENT)
        return true;
    reason = std::string(path) + ": " + std::strerror(errno);
    return false;
}

FtdiDeviceInfo InfoOf(ftdi_context* context, libusb_device* device) {
    FtdiDeviceInfo info;
    info.bus = libusb_get_bus_number(device);
    info.address = libusb_get_device_address(device);
    std::string reason;
    info.accessible = MayOpen(info.bus, info.address, reason);
    char manufacturer[128] = {}, description[128] = {}, serial[128] = {};
    // Reading the strings opens the device: without permission they stay empty.
    if (ftdi_usb_get_strings(context, device, manufacturer, sizeof manufacturer, description, sizeof description,
                             serial, sizeof serial) == 0) {
        info.description = description;
        info.serial = serial;
    }
    return info;
}

class LibFtdiDevice final : public FtdiDevice {
public:
    explicit LibFtdiDevice(Context context) : context_(std::move(context)) {}
    ~LibFtdiDevice() override { Close(); }

    bool SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs, FtdiProblem& problem) override {
        ftdi_context* c = context_.get();
        if (c == nullptr)
            return Fail(problem, Kind::Other, "the cable is closed");
        if (ftdi_set_bitmode(c, outputMask, BITMODE_SYNCBB) < 0)
            return Fail(problem, Kind::Other, ErrorText(c, "ftdi_set_bitmode"));
        if (ftdi_set_baudrate(c, bytesPerSecond / kMostBytesPerBaud) < 0)
            return Fail(problem, Kind::Other, ErrorText(c, "ftdi_set_baudrate"));
        if (ftdi_set_latency_timer(c, static_cast<unsigned char>(latencyMs)) < 0)
            return Fail(problem, Kind::Other, ErrorText(c, "ftdi_set_latency_timer"));
        if (ftdi_tcioflush(c) < 0)
            return Fail(problem, Kind::Other, ErrorText(c, "ftdi_tcioflush"));
        return true;
    }

    bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                  FtdiProblem& problem) override {
        return Collect(Submit(out), in, problem);
    }

    // libftdi reads into the context's one read buffer, so one transfer is
    // on the wire at a time: the next starts as soon as the one before it is
    // collected, without waiting for the run to ask.
    std::uint64_t Submit(const std::vector<std::uint8_t>& out) override {
        Transfer& transfer = inFlight_.emplace_back();
        transfer.ticket = nextTicket_++;
        transfer.out = out; // libftdi takes a non-const buffer, kept until collected
        if (inFlight_.size() == 1)
            Start(transfer);
        return transfer.ticket;
    }

    // The transfers before `ticket` are collected first and dropped.
    bool Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem) override {
        in.clear();
        while (!inFlight_.empty()) {
            std::vector<std::uint8_t> readBack;
            FtdiProblem failure;
            const bool ok = Finish(inFlight_.front(), readBack, failure);
            const bool found = inFlight_.front().ticket == ticket;
            inFlight_.pop_front();
            if (!inFlight_.empty())
                Start(inFlight_.front());
            if (found) {
                in = std::move(readBack);
                problem = failure;
                return ok;
            }
        }
        return Fail(problem, Kind::Other, "no such transfer in flight");
    }
    void Close() override {
        std::vector<std::uint8_t> in;
        FtdiProblem problem;
        if (!inFlight_.empty())
            Collect(inFlight_.back().ticket, in, problem);
        if (ftdi_context* c = context_.get()) {
            ftdi_set_bitmode(c, 0, BITMODE_RESET);
            ftdi_usb_close(c); // gives the interface back to ftdi_sio
            context_.reset();
        }
    }

private:
    struct Transfer {
        std::uint64_t ticket = 0;
        std::vector<std::uint8_t> out, in;
        ftdi_transfer_control* read = nullptr;
        ftdi_transfer_control* write = nullptr;
        FtdiProblem problem; // set: it could not be started
    };

    static bool Fail(FtdiProblem& problem, Kind kind, std::string text) {
        problem = {kind, std::move(text)};
        return false;
    }

    // The read first, so that it is there to take the chip's bytes as soon
    // as the write makes it clock them (the chip only clocks a byte out while
    // it has room for the byte it reads back).
    void Start(Transfer& transfer) {
        ftdi_context* c = context_.get();
        if (c == nullptr) {
            Fail(transfer.problem, Kind::Other, "the cable is closed");
            return;
        }
        const int size = static_cast<int>(transfer.out.size());
        if (size == 0)
            return;
        transfer.in.resize(transfer.out.size());
        transfer.read = ftdi_read_data_submit(c, transfer.in.data(), size);
        if (transfer.read == nullptr) {
            Fail(transfer.problem, Kind::Transfer, ErrorText(c, "ftdi_read_data_submit"));
            return;
        }
        transfer.write = ftdi_write_data_submit(c, transfer.out.data(), size);
    }

    bool Finish(Transfer& transfer, std::vector<std::uint8_t>& in, FtdiProblem& problem) {
        if (transfer.problem) {
            problem = transfer.problem;
            return false;
        }
        if (transfer.read == nullptr)
            return true; // nothing to send
        ftdi_context* c = context_.get();
        const int size = static_cast<int>(transfer.out.size());
        const int wrote = transfer.write != nullptr ? ftdi_transfer_data_done(transfer.write) : -1;
        if (wrote != size) {
            timeval shortly{0, 100'000};
            ftdi_transfer_data_cancel(transfer.read, &shortly);
            return Fail(problem, Kind::Transfer, ErrorText(c, "ftdi_write_data"));
        }
        const int got = ftdi_transfer_data_done(transfer.read);
        if (got < 0)
            return Fail(problem, Kind::Transfer, ErrorText(c, "ftdi_read_data"));
        transfer.in.resize(static_cast<std::size_t>(got));
        in = std::move(transfer.in);
        return true;
    }

    Context context_;
    std::deque<Transfer> inFlight_; // the first is on the wire
    std::uint64_t nextTicket_ = 1;
};

class LibFtdiBus final : public FtdiBus {
public:
    std::vector<FtdiDeviceInfo> List(FtdiProblem& problem) override {
        problem = {};
        Context context(ftdi_new());
        if (!context) {
            problem = {Kind::Unavailable, "ftdi_new failed"};
            return {};
        }
        ftdi_device_list* raw = nullptr;
        const int found = ftdi_usb_find_all(context.get(), &raw, kFtdiVendorId, kFt232rProductId);
        DeviceList list(raw);
        if (found < 0) {
            problem = {Kind::Other, ErrorText(context.get(), "ftdi_usb_find_all")};
            return {};
        }
        std::vector<FtdiDeviceInfo> devices;
        for (ftdi_device_list* at = list.get(); at != nullptr; at = at->next)
            devices.push_back(InfoOf(context.get(), at->dev));
        return devices;
    }

    std::unique_ptr<FtdiDevice> Open(const FtdiTarget& target, FtdiProblem& problem) override {
        problem = {};
        Context context(ftdi_new());
        if (!context) {
            problem = {Kind::Unavailable, "ftdi_new failed"};
            return nullptr;
        }
        ftdi_device_list* raw = nullptr;
        if (ftdi_usb_find_all(context.get(), &raw, kFtdiVendorId, kFt232rProductId) < 0) {
            problem = {Kind::Other, ErrorText(context.get(), "ftdi_usb_find_all")};
            return nullptr;
        }
        DeviceList list(raw);
        bool unreadable = false;
        for (ftdi_device_list* at = list.get(); at != nullptr; at = at->next) {
            FtdiDeviceInfo info;
            if (target.kind == FtdiTarget::Kind::Serial) {
                info = InfoOf(context.get(), at->dev);
            } else {
                info.bus = libusb_get_bus_number(at->dev);
                info.address = libusb_get_device_address(at->dev);
            }
            if (!info.Matches(target)) {
                unreadable = unreadable || !info.accessible;
                continue;
            }
            return OpenOne(std::move(context), at->dev, info, problem);
        }
        if (unreadable && target.kind == FtdiTarget::Kind::Serial)
            problem = {Kind::Permission, "the serial numbers of the FT232R cables cannot be read"};
        else
            problem = {Kind::NotFound, "no such FT232R cable"};
        return nullptr;
    }

private:
    static std::unique_ptr<FtdiDevice> OpenOne(Context context, libusb_device* device, const FtdiDeviceInfo& info,
                                               FtdiProblem& problem) {
        std::string reason;
        if (!MayOpen(info.bus, info.address, reason)) {
            problem = {Kind::Permission, reason};
            return nullptr;
        }
        context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        context->usb_read_timeout = kTransferTimeoutMs;
        context->usb_write_timeout = kTransferTimeoutMs;
        const int rc = ftdi_usb_open_dev(context.get(), device);
        if (rc == 0)
            return std::make_unique<LibFtdiDevice>(std::move(context));
        // ftdi_usb_open_dev: -4 the device would not open, -8 no permission,
        // -3 / -5 the configuration or interface is held by another driver.
        Kind kind = Kind::Other;
        if (rc == -4 || rc == -8)
            kind = Kind::Permission;
        else if (rc == -3 || rc == -5)
            kind = Kind::Busy;
        problem = {kind, ErrorText(context.get(), "ftdi_usb_open_dev")};
        return nullptr;
    }
};

} // namespace

std::shared_ptr<FtdiBus> MakeSystemFtdiBus() { return std::make_shared<LibFtdiBus>(); }

} // namespace vandrel::ftdi
