#pragma once
// The command line as plain records: what the parser makes of the arguments
// and the environment's defaults, before anything is checked or opened.
#include <cstdint>
#include <string>
#include <vector>

namespace vandrel::cli {

enum class Command { Devices, Ports, Program, Verify, Erase, Read, Dump, Detect, BlankCheck, Config };

// The memory areas a program, verify or erase works on.
struct Areas {
    bool program = true;
    bool config = true;
    bool data = true;
};

struct Invocation {
    Command command = Command::Devices;

    // Common to every command ("" when not given and no default applies).
    std::string device;            // a section of the device file, or "auto"
    std::string port;              // "COMn", "ftdi", "ftdi:SERIAL", "ftdi:BUS-ADDRESS"
    // Every --port given (several: one run per adapter at once, port the first).
    std::vector<std::string> ports;
    std::string simulate;          // the device of the simulated chip on COM0 (or on the simulated FT232R)
    std::string simState;          // the simulated chip's state file ("" the default place)
    // Time of each simulated line call (COM0, default 0) or USB transfer (the
    // simulated FT232R, default 1000); -1 when not given.
    std::int64_t simLatencyUs = -1;
    std::string specPath;          // the device file ("": the default picspecs.ini)
    bool quiet = false;
    bool verbose = false;          // trace the link on standard error
    bool force = false;            // go on with a chip that is not the device given, or an image too large for it
    bool json = false;             // results as JSON on standard output, the log on standard error

    // program, verify (input) and read (output)
    std::string file;
    Areas areas;
    bool erase = true;  // program: bulk erase first
    bool verify = true; // program: verify after writing
    bool all = false;   // read: keep erased program words too
    bool preserveEeprom = true; // program, erase: keep the data EEPROM an erase takes unasked
    bool fastTiming = false;    // program, erase: --timing fast, each cycle waits the device's maximum
    std::string format; // read: "hex", "bin", or "" (from the file's extension)
    bool skipSame = false; // program: read the chip first, write only when it differs
    std::string reportPath; // program, verify, erase: each port's result as JSON ("": none)

    // dump: both hexadecimal, as the window reads them
    std::int32_t address = 0;
    std::int32_t count = 0;
};

const char* CommandName(Command command);

} // namespace vandrel::cli
