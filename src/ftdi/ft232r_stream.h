#pragma once
// The FT232R's synchronous bit-bang byte stream, as the link writes it and as
// the simulated FT232R reads it (pins by the adapter table, adapter_pins.h).
//
// What the stream relies on (FTDI's note on the FT232R/FT245R bit-bang modes,
// and libftdi's synchronous bit-bang mode, BITMODE_SYNCBB):
//   - each byte written sets the output pins once, at the next tick of the
//     bit-bang clock; the pins hold until the next byte, however long that is;
//   - for each byte written one byte is read back: the pins as they were just
//     before that byte was put out. The read-back of byte n therefore shows
//     the pins that byte n-1 set, one clock tick after it; to read the pins
//     after the last byte, one more byte (repeating it) must be written.
// So a CTS sample after a line change is the read-back of the byte after it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ftdi/adapter_pins.h"

namespace vandrel::ftdi {

class Ft232rStream {
public:
    explicit Ft232rStream(std::uint8_t pins = kReleasedPins) : pins_(pins) {}

    // One byte per line call, with the line asserted or released (a byte
    // also when the line already is so: the call's time on the pins).
    void Set(AdapterLine line, bool asserted);
    // `count` bytes that repeat the pins: the lines hold that many ticks.
    void Hold(std::size_t count);
    // The pins (CTS among them) as the bytes so far leave them: read back
    // with the next byte written.
    void Sample();

    struct Batch {
        std::vector<std::uint8_t> bytes;
        std::vector<std::size_t> samples; // read-back positions, in order
    };
    // The bytes and samples queued, ending with a byte that repeats the pins
    // when the last sample has no byte after it; the stream is then empty.
    Batch Take();

    std::uint8_t Pins() const { return pins_; }
    std::size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty() && samples_.empty(); }

private:
    std::uint8_t pins_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> samples_;
};

// The modem status a read-back pin byte gives: MS_CTS_ON while CTS# is low.
constexpr std::uint32_t ModemStatusOfPins(std::uint8_t pins) {
    return IsAsserted(pins, AdapterLine::Cts) ? win::MS_CTS_ON : 0;
}

} // namespace vandrel::ftdi
