#pragma once
// The one pin table of the programming adapter: each line by its RS-232 name,
// the port operations that drive it, the FT232R bit-bang bit that carries it
// on a USB cable, and what its levels mean at the chip. The per-call link,
// the FT232R byte-stream encoder, the simulated FT232R's decoder and the
// README all read it from here.
//
// Levels. The port's "asserted" is the Win32 sense: SETRTS, SETDTR, a break,
// MS_CTS_ON. On the FT232R the modem pins are active low (RTS#, DTR#, CTS#)
// and a break holds TXD low, so every line of ours is low on the pin while
// asserted. A USB serial cable's RS-232 transceiver inverts every line and
// the logic-free adapter inverts it back, so the chip sees the pin's level:
//
//   line  port operations            FT232R bit  asserted (pin low)   released (pin high)
//   TXD   SetCommBreak/ClearCommBreak  D0  out   MCLR low: reset      MCLR at the programming voltage
//   RTS   SETRTS/CLRRTS                D2  out   programming clock low  clock high
//   CTS   GetCommModemStatus MS_CTS_ON D3  in    data bit 0 read      data bit 1 read
//   DTR   SETDTR/CLRDTR                D4  out   programming data 0   data 1
//
// The other FT232R pins (D1 RXD, D5 DSR#, D6 DCD#, D7 RI#) stay inputs.
#include <cstddef>
#include <cstdint>

#include "serial/port_driver.h"

namespace vandrel::ftdi {

namespace win = serial::win;

enum class AdapterLine : std::uint8_t { Txd, Rts, Cts, Dtr };

struct AdapterPin {
    AdapterLine line;
    const char* name;         // the RS-232 line
    std::uint8_t bit;         // FT232R bit-bang data bus bit (D0..D7)
    bool output;              // driven by the PC
    bool lowWhenAsserted;     // the pin's level while the port asserts the line
    std::uint32_t assertCall; // the escape function that asserts it (0: the break calls, or an input)
    std::uint32_t releaseCall;
    const char* chipAsserted; // what the chip sees while the line is asserted
    const char* chipReleased;
};

inline constexpr AdapterPin kAdapterPins[] = {
    {AdapterLine::Txd, "TXD", 0, true, true, 0, 0, "MCLR low (reset)", "MCLR at the programming voltage"},
    {AdapterLine::Rts, "RTS", 2, true, true, win::SETRTS, win::CLRRTS, "clock low", "clock high"},
    {AdapterLine::Cts, "CTS", 3, false, true, 0, 0, "data 0 read", "data 1 read"},
    {AdapterLine::Dtr, "DTR", 4, true, true, win::SETDTR, win::CLRDTR, "data 0", "data 1"},
};

constexpr const AdapterPin& PinOf(AdapterLine line) {
    for (const AdapterPin& pin : kAdapterPins)
        if (pin.line == line)
            return pin;
    return kAdapterPins[0]; // every line has its row
}

constexpr std::uint8_t BitMask(AdapterLine line) { return static_cast<std::uint8_t>(1u << PinOf(line).bit); }

// The FT232R pins the PC drives in bit-bang mode (TXD, RTS#, DTR#: 0x15).
constexpr std::uint8_t OutputMask() {
    std::uint8_t mask = 0;
    for (const AdapterPin& pin : kAdapterPins)
        if (pin.output)
            mask = static_cast<std::uint8_t>(mask | (1u << pin.bit));
    return mask;
}

// The pin byte with `line` asserted or released, the other bits as in `pins`.
constexpr std::uint8_t WithLine(std::uint8_t pins, AdapterLine line, bool asserted) {
    const bool high = asserted != PinOf(line).lowWhenAsserted;
    return static_cast<std::uint8_t>(high ? (pins | BitMask(line)) : (pins & ~BitMask(line)));
}

// Whether `line` is asserted in a pin byte (written or read back).
constexpr bool IsAsserted(std::uint8_t pins, AdapterLine line) {
    const bool high = (pins & BitMask(line)) != 0;
    return high != PinOf(line).lowWhenAsserted;
}

// The line an escape function drives, and whether it asserts it; false for
// any other function code.
constexpr bool LineOfEscape(std::uint32_t function, AdapterLine& line, bool& asserted) {
    for (const AdapterPin& pin : kAdapterPins) {
        if (pin.assertCall != 0 && function == pin.assertCall) {
            line = pin.line;
            asserted = true;
            return true;
        }
        if (pin.releaseCall != 0 && function == pin.releaseCall) {
            line = pin.line;
            asserted = false;
            return true;
        }
    }
    return false;
}

// The pins of a port that is open with nothing asserted (the break off, RTS
// and DTR released): every output high.
inline constexpr std::uint8_t kReleasedPins = OutputMask();

} // namespace vandrel::ftdi
