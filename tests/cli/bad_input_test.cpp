// Bad inputs: each ends with its message and exit status, before anything is
// written to a chip or a file.
#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

class BadInput : public CliTest {
protected:
    // The run failed with `status`, said `message` on standard error, and
    // touched neither the chip nor any file.
    void ExpectRefused(const Strings& args, int status, const std::string& message) {
        SCOPED_TRACE(args.empty() ? std::string("(no arguments)") : args.back());
        const auto before = Listing();
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, status);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("terminate"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Listing(), before);
        if (SimPort() != nullptr) {
            EXPECT_EQ(SimPort()->OpenCount(), 0);
        }
    }

    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path()))
            names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(BadInput, FilesDevicesAndPortsThatAreNotThereOrNotRight) {
    const Strings sim = {"--simulate", "PIC16F628A"};
    const auto with = [&](Strings tail) {
        Strings args = sim;
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    ExpectRefused(with({"program", dir / "missing.hex"}), 3, dir / "missing.hex: No such file or directory");

    Strings lines = Lines(ReadWholeFile(ExampleHex()));
    ASSERT_GE(lines.size(), 7u);
    lines[6][10] = lines[6][10] == 'F' ? 'E' : 'F'; // a data byte changes, its checksum does not
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    const std::string bad = dir.Write("blink.hex", text);
    ExpectRefused(with({"program", bad}), 3, bad + " line 7: checksum error");
    ExpectRefused(with({"verify", dir.Write("empty.hex", "")}), 3, "empty.hex: empty file");
    ExpectRefused(with({"verify", dir.Write("notes.hex", "hello\n")}), 3, "notes.hex: holds no Intel HEX records");
    ExpectRefused(with({"program", dir.Path().string()}), 3, "Is a directory");

    ExpectRefused(with({"--device", "PIC16F999", "program", ExampleHex()}), 3, "PIC16F999: no such device in picspecs.ini");
    ExpectRefused({"--simulate", "PIC16F999", "erase"}, 3, "PIC16F999: no such device in picspecs.ini");
    ExpectRefused({"--spec", dir / "none.ini", "devices"}, 3, dir / "none.ini: No such file or directory");

    ExpectRefused({"-d", "PIC16F628A", "-p", "COM77", "program", ExampleHex()}, 3,
                  "COM77: no such port; no serial port is here");
    ExpectRefused({"-d", "PIC16F628A", "-p", "COM0", "erase"}, 3, "COM0: no simulated chip");
    ExpectRefused(with({"read", dir / "no/such/folder/out.hex"}), 3,
                  dir / "no/such/folder/out.hex: No such file or directory");
    ExpectRefused(with({"read", dir.Path().string()}), 3, dir.Path().string() + ": Is a directory");
}

TEST_F(BadInput, APortTheSystemWillNotOpenIsNamedWithItsReason) {
    // Seen before opening: the device exists but this user may not use it.
    system.Devices["COM100"] = "/dev/ttyUSB0";
    system.Access["/dev/ttyUSB0"] = {cli::OsErrorKind::Permission, "Permission denied"};
    ExpectRefused({"-d", "PIC16F628A", "-p", "COM100", "program", ExampleHex()}, 3,
                  "COM100 (/dev/ttyUSB0): Permission denied \u2014 " +
                      cli::PortProblemHint(cli::OsErrorKind::Permission)); // the dialout group on Linux
    EXPECT_EQ(system.DriversMade, 0);

    // Found only by the opening itself: the run control's open fails.
    system.Devices["COM5"] = "/dev/ttyS4";
    system.Port->SetExists(false);
    const CliResult r = Run({"-d", "PIC16F628A", "-p", "COM5", "program", ExampleHex()});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("COM5 (/dev/ttyS4): No such file or directory"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(system.Port->OpenCount(), 0);
}

TEST_F(BadInput, DumpArgumentsAreCheckedAsTheWindowReadsThem) {
    const Strings sim = {"--simulate", "PIC16F628A", "dump"};
    const auto dump = [&](const std::string& address, const std::string& count) {
        Strings args = sim;
        args.push_back(address);
        args.push_back(count);
        return args;
    };
    ExpectRefused(dump("xyz", "8"), 2, "ADDRESS 'xyz' is not a hexadecimal number");
    ExpectRefused(dump("2000", "0"), 2, "COUNT must be 1 or more, not 0");
    ExpectRefused(dump("2000", "-5"), 2, "COUNT must be 1 or more, not -5");
    ExpectRefused(dump("2000", "12g"), 2, "COUNT '12g' is not a hexadecimal number");
    ExpectRefused(dump("4000", "1"), 2, "ADDRESS 4000 lies outside the chip's addresses 0000-3FFF");
    ExpectRefused(dump("3FF0", "11"), 2, "ADDRESS + COUNT runs past the last address 3FFF");
    ExpectRefused(dump("123456789", "1"), 2, "ADDRESS '123456789' is too large");
    ExpectRefused(dump("0", "FFFFFFFFFF"), 2, "COUNT 'FFFFFFFFFF' is too large: the chip's addresses are 0000-3FFF");
    ExpectRefused(dump("0", "80000000"), 2, "COUNT '80000000' is too large");

    // Accepted the way the window writes them: any case, a 0x or $ in front.
    for (const auto& [address, count] : std::vector<std::pair<std::string, std::string>>{
             {"0x2006", "1"}, {"$2006", "0001"}, {"2006", "0x1"}}) {
        const CliResult r = Run(dump(address, count));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Lines(r.out).back(), "2006 1060");
    }
}

TEST_F(BadInput, TheCommandLineItselfIsAUsageError) {
    ExpectRefused({}, 2, "A command is required");
    ExpectRefused({"flash"}, 2, "'flash' is not a command");
    ExpectRefused({"erase", "now"}, 2, "'now' is not expected here");
    ExpectRefused({"--simulate", "PIC16F628A", "program"}, 2, "FILE is required");
    ExpectRefused({"--bogus", "devices"}, 2, "--bogus");
    ExpectRefused({"reed", "x.hex"}, 2, "'reed' is not a command; did you mean read?");
    ExpectRefused({"-d", "PIC16F628A", "erase"}, 2, "no port: give --port COMn or set VANDREL1_PORT");
    ExpectRefused({"-d", "PIC16F628A", "-p", "LPT1", "erase"}, 2, "'LPT1' is not a port name (COM0 to COM999, or a device path");
    ExpectRefused({"-d", "PIC16F628A", "-p", "COM1000", "erase"}, 2, "'COM1000' is not a port name");
    ExpectRefused({"--sim-latency", "100", "devices"}, 2, "--sim-latency and --sim-state need a simulated chip");
    ExpectRefused({"--simulate", "PIC16F628A", "--sim-latency", "-1", "erase"}, 2, "--sim-latency");
    ExpectRefused({"--simulate", "PIC16F628A", "erase", "--area", "stack"}, 2, "stack");
}

} // namespace
} // namespace vandrel::test
