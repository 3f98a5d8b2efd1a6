#pragma once
// The bit-level ICSP link: clocks the chip's serial programming protocol
// through the modem-control lines of the open port, one line change per call.
// The lines may be a port that makes each call at once, or one that batches
// them (an FT232R in bit-bang mode): the link issues the same calls in the
// same order either way, reads CTS as samples collected at the end of each
// read frame, and waits through the lines, so that every wait starts with
// the lines in place.
//
// Pin map (serial/adapter_pins.h; the adapter inverts every line):
//   break on  (SetCommBreak)   MCLR low, chip in reset
//   break off (ClearCommBreak) MCLR at the programming voltage
//   SETRTS / CLRRTS            programming clock low / high
//   SETDTR / CLRDTR            programming data 0 / 1
//   CTS (MS_CTS_ON)            set reads as data bit 0, clear as 1
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "common/clock.h"
#include "serial/port_driver.h"

namespace vandrel::programmer {

// The nine commands of the serial programming command set.
inline constexpr int kLoadConfiguration = 0x00;
inline constexpr int kLoadDataForProgramMemory = 0x02;
inline constexpr int kLoadDataForDataMemory = 0x03;
inline constexpr int kReadDataFromProgramMemory = 0x04;
inline constexpr int kReadDataFromDataMemory = 0x05;
inline constexpr int kIncrementAddress = 0x06;
inline constexpr int kBeginEraseProgrammingCycle = 0x08;
inline constexpr int kBulkEraseProgramMemory = 0x09;
inline constexpr int kBulkEraseDataMemory = 0x0B;
// Commands of the chips with externally timed cycles and a chip erase
// (named by the device file's algorithm keys, see device/pic_algorithm.h).
inline constexpr int kEndProgramming = 0x17;
inline constexpr int kBeginProgrammingOnly = 0x18;
inline constexpr int kChipErase = 0x1F;
// Bulk Erase Setup 1 and 2: around a Begin Programming, the erase of the
// 16F8x parts (DS30262E); from the configuration word, their code-protect disable.
inline constexpr int kBulkEraseSetup1 = 0x01;
inline constexpr int kBulkEraseSetup2 = 0x07;

// Load Configuration puts the chip's address counter here, whatever the
// device file gives as the configuration area's start.
inline constexpr std::int32_t kConfigurationBase = 0x2000;

class TFarmLink {
public:
    TFarmLink(serial::ModemLines& lines, Clock& clock) : lines_(lines), clock_(clock) {}

    // Reset, then programming voltage with clock and data low.
    void FarmReset();
    // Clocks out the low Count bits of Value, least significant first.
    void FarmSend(std::int16_t Value, int Count);
    // Clocks one read frame; the 14 data bits.
    std::uint16_t FarmRecv();
    // Command frame, then the data frame when Data >= 0.
    void FarmWrite(int Command, std::int16_t Data);
    // Command frame, then a read frame.
    std::uint16_t FarmRead(int Command);
    // Command frame, then a read frame whose word comes later: `then` gets
    // it from Settle (over a streaming link its transfer may still be in
    // flight meanwhile). A frame the link could not read gives 0x3FFF, as
    // FarmRead does.
    void FarmReadLater(int Command, std::function<void(std::uint16_t)> then);
    // Hands the words of the FarmReadLater frames whose samples have come
    // back to their `then`, oldest first; with `all`, every one of them.
    void Settle(bool all);
    // Holds the lines as they are for `ms` milliseconds (a programming or
    // erase cycle); also once the link is lost.
    void Wait(std::int64_t ms);
    // The same for `us` microseconds (the pause after End Programming).
    void WaitUs(std::int64_t us);

    // Every attempt at one line change failed, or a batch of them could not
    // be sent: the link has stopped driving the chip for the rest of this
    // operation, and reads give 0x3FFF.
    bool LinkLost() const { return lost_; }

    // How often one line change is tried before the link counts as lost.
    static constexpr int kAttempts = 4;

private:
    template <class Call>
    bool Change(Call call);
    bool Escape(std::uint32_t function);
    // The frame's CTS samples; false (the link lost) when they did not come.
    bool Collect(std::vector<serial::StatusSample>& samples);

    // The clock cycles of a read frame, sampling CTS after each falling
    // edge; how many were clocked (fewer when the link was lost).
    int ClockReadFrame();

    serial::ModemLines& lines_;
    Clock& clock_;
    bool lost_ = false;
    // The FarmReadLater frames not yet handed over.
    struct Owed {
        bool whole; // false: the link was lost in the frame (its samples are dropped)
        std::function<void(std::uint16_t)> then;
    };
    std::deque<Owed> owed_;
    std::vector<serial::StatusSample> taken_; // their samples come back so far
};

} // namespace vandrel::programmer
