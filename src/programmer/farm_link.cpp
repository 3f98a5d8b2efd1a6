#include "programmer/farm_link.h"

namespace vandrel::programmer {

using serial::win::CLRDTR;
using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETDTR;
using serial::win::SETRTS;

// Nothing is reported: a failing line call leaves the line as it was and the
// caller sees only the words that read back wrong. The one result looked at
// is that of a DTR change, so that the data line is known to rest at 0
// between frames (see FarmSend).

void TFarmLink::FarmReset() {
    lines_.SetCommBreak();           // chip held in reset
    lines_.EscapeCommFunction(SETRTS); // clock low
    lines_.EscapeCommFunction(SETDTR); // data at the 0 level
    clock_.WaitMs(100);
    lines_.ClearCommBreak();         // programming voltage: chip enters programming mode
}

void TFarmLink::FarmSend(std::int16_t Value, int Count) {
    // Every frame ends with a 0 bit and FarmReset leaves data at 0, so each
    // call may start from an assumed 0 level.
    int level = 0;
    int bit = 0;
    for (int i = 0; i < Count; ++i) {
        lines_.EscapeCommFunction(CLRRTS); // clock high
        bit = Value & 1;
        if (bit != level && lines_.EscapeCommFunction(bit ? CLRDTR : SETDTR))
            level = bit;
        lines_.EscapeCommFunction(SETRTS); // clock low: the chip takes the bit
        Value = static_cast<std::int16_t>(Value >> 1);
    }
    // The level follows the line, not the intent: a DTR change that failed
    // is tried again at the next bit that needs it. Should the line still be
    // at 1 after a last bit of 0 (its SETDTR failed), it is brought back to 0
    // here, with the clock low. Otherwise the next frame, which assumes
    // 0, would send its low 0 bits as 1s: Load Data for Program Memory would
    // arrive as Load Data for Data Memory, and a command frame of 0 would
    // throw the chip out of step with every frame after it.
    if (bit == 0 && level != 0)
        lines_.EscapeCommFunction(SETDTR);
}

std::uint16_t TFarmLink::FarmRecv() {
    std::uint16_t result = 0;
    for (int i = 0; i < 16; ++i) {
        lines_.EscapeCommFunction(CLRRTS);
        lines_.EscapeCommFunction(SETRTS);
        // A failed status query reads as status 0: CTS clear, a 1 bit. A word
        // read over a dead status line therefore looks like erased memory
        // (0x3FFF), the same as an absent chip behind an idle adapter.
        std::uint32_t status = 0;
        if (!lines_.GetCommModemStatus(status))
            status = 0;
        if (i >= 1 && i <= 14 && (status & MS_CTS_ON) == 0)
            result = static_cast<std::uint16_t>(result | (1u << (i - 1)));
    }
    return result;
}

void TFarmLink::FarmWrite(int Command, std::int16_t Data) {
    FarmSend(static_cast<std::int16_t>(Command), 6);
    if (Data >= 0)
        FarmSend(static_cast<std::int16_t>((Data & 0x3FFF) << 1), 16);
}

std::uint16_t TFarmLink::FarmRead(int Command) {
    FarmSend(static_cast<std::int16_t>(Command), 6);
    return FarmRecv();
}

} // namespace vandrel::programmer
