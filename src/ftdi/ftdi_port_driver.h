#pragma once
// An FT232R cable as the serial port component sees it: a port driver whose
// modem lines are the FT232R's pins in synchronous bit-bang mode
// (Ft232rLines), so that the run control opens and closes it like a COM port
// and the ICSP link drives it through the same seam. There is no data path
// in bit-bang mode: reads and writes fail, and no line event ever comes.
//
// Open claims the cable (the system's serial driver is detached for the
// time it is open), enters synchronous bit-bang mode and puts the pins where
// a closed port leaves them (break off, RTS and DTR released); the port
// settings then raise RTS and DTR as on a COM port. CloseHandle sends what
// is still batched, leaves bit-bang mode and gives the cable back.
#include <cstdint>
#include <memory>
#include <string>

#include "ftdi/ft232r_lines.h"
#include "ftdi/ftdi_bus.h"
#include "serial/port_driver.h"

namespace vandrel::ftdi {

using serial::CommTimeouts;
using serial::IoResult;
using serial::PortDriver;
using serial::PortDriverFactory;
using serial::PortState;

class FtdiPortDriver final : public PortDriver {
public:
    // `lastProblem`, when given, gets what kept an opening from succeeding,
    // or what ended the link while it was open (kind None after a clean run).
    FtdiPortDriver(std::shared_ptr<FtdiBus> bus, FtdiTarget target, Ft232rTiming timing = {},
                   std::shared_ptr<FtdiProblem> lastProblem = nullptr);
    ~FtdiPortDriver() override;

    bool Open(const std::string& deviceName, std::string& osError) override;
    void CloseHandle() override;
    std::uint32_t NativeHandle() const override;

    bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override;
    bool PurgeComm(std::uint32_t flags) override;
    bool GetCommState(PortState& state) override;
    bool SetCommState(const PortState& state) override;
    bool GetCommTimeouts(CommTimeouts& timeouts) override;
    bool SetCommTimeouts(const CommTimeouts& timeouts) override;
    bool SetCommMask(std::uint32_t mask) override;
    bool WaitCommEvent(std::uint32_t& mask) override;
    void WakeCommEventWaiter() override;
    bool ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) override;
    IoResult Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) override;
    IoResult ReadResult(std::uint32_t& read) override;
    IoResult Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) override;
    bool WaitWrite(std::uint32_t& written) override;

    bool EscapeCommFunction(std::uint32_t function) override;
    bool GetCommModemStatus(std::uint32_t& status) override;
    bool SetCommBreak() override;
    bool ClearCommBreak() override;
    void SampleModemStatus() override;
    bool CollectSamples(std::vector<StatusSample>& samples) override;
    bool TakeSamples(std::vector<StatusSample>& samples, bool wait) override;
    bool Flush() override;
    bool Pause(Clock& clock, std::int64_t ms) override;
    bool PauseUs(Clock& clock, std::int64_t us) override;

    // The bit-bang lines while open (null while closed).
    const Ft232rLines* Lines() const { return lines_.get(); }

private:
    bool Fail(const FtdiProblem& problem, std::string& osError);

    std::shared_ptr<FtdiBus> bus_;
    const FtdiTarget target_;
    const Ft232rTiming timing_;
    std::shared_ptr<FtdiProblem> lastProblem_;
    std::unique_ptr<FtdiDevice> device_;
    std::unique_ptr<Ft232rLines> lines_;
    PortState state_;
    CommTimeouts timeouts_;
};

// A factory that opens the cable `target` names for every device name.
PortDriverFactory MakeFtdiPortFactory(std::shared_ptr<FtdiBus> bus, FtdiTarget target, Ft232rTiming timing = {},
                                      std::shared_ptr<FtdiProblem> lastProblem = nullptr);

} // namespace vandrel::ftdi
