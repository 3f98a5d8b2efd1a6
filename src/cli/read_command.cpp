// read: the chip into an Intel HEX file, through the window's dump.
#include <algorithm>
#include <vector>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/chip_run.h"
#include "cli/commands.h"
#include "common/atomic_file.h"
#include "common/convert.h"
#include "image/hex_writer.h"

namespace vandrel::cli {

namespace {

constexpr std::uint16_t kErasedProgramWord = 0x3FFF;

// What a read keeps: program memory, user IDs, device ID, configuration
// word(s), the calibration words of the configuration space and the EEPROM;
// not the rest of the configuration area.
std::vector<device::TMemoryRange> ReadRanges(const device::TPicDevice& d) {
    std::vector<device::TMemoryRange> ranges{d.ProgramMemory, d.UserID, d.DeviceID, d.ConfigurationWord, d.DataMemory};
    for (const std::int32_t w : d.Algorithm.Calibration.Words)
        ranges.push_back({static_cast<std::int16_t>(w), 1});
    return ranges;
}

bool Kept(std::int32_t address, const device::TPicDevice& device) {
    const auto ranges = ReadRanges(device);
    return std::any_of(ranges.begin(), ranges.end(), [&](device::TMemoryRange r) { return device::InRange(address, r); });
}

enum class Format { Hex, Binary };

// --format, else the extension: .bin raw binary; .hex, .ihx or none (a FIFO, a
// device, "-") Intel HEX; any other is refused rather than written as HEX.
Format OutputFormat(const Invocation& inv) {
    if (!inv.format.empty())
        return inv.format == "bin" ? Format::Binary : Format::Hex;
    std::string extension = std::filesystem::path(inv.file).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".bin")
        return Format::Binary;
    if (extension.empty() || extension == ".hex" || extension == ".ihx")
        return Format::Hex;
    throw CliFailure(ExitStatus::Usage, inv.file + ": " + extension + " is neither .hex nor .bin; give --format hex "
                                                                      "or --format bin to write it anyway");
}

// The raw binary image: every program word from address 0, two bytes each,
// low byte first; a word not read is erased (3FFF).
std::string BinaryText(const image::THexFile& chip, const device::TPicDevice& device) {
    std::string bytes;
    const std::int32_t end = device.ProgramMemory.Address + std::max<std::int32_t>(device.ProgramMemory.Size, 0);
    for (std::int32_t a = 0; a < end; ++a) {
        const std::int16_t word = chip.GetWord(a);
        const auto value = static_cast<std::uint16_t>(word < 0 ? kErasedProgramWord : word);
        bytes.push_back(static_cast<char>(value & 0xFF));
        bytes.push_back(static_cast<char>(value >> 8));
    }
    return bytes;
}

// What the configuration word the dump read keeps from being read: "" when
// nothing, else "the chip is code-protected (configuration word 1FFF): its
// program memory reads as 0000".
std::string ProtectionOf(const std::vector<std::string>& log, const device::TPicDevice& device) {
    const device::TProtection& protection = device.Algorithm.Protection;
    for (const std::string& line : log) {
        std::int32_t address = 0, value = 0;
        if (!ParseWordLine(line, address, value) || address != device.ConfigurationWord.Address)
            continue;
        const auto word = static_cast<std::uint16_t>(value);
        const bool code = protection.ProtectsCode(word), data = protection.ProtectsData(word);
        if (!code && !data)
            return "";
        const std::string what = code && data ? "its program memory and EEPROM read"
                                 : code       ? "its program memory reads"
                                              : "its EEPROM reads";
        return std::string("the chip is ") + (code ? "code" : "data") + "-protected (configuration word " +
               Hex4(value) + "): " + what + " as 0000";
    }
    return "";
}

} // namespace

ExitStatus RunReadCommand(const Invocation& inv, CliContext& ctx) {
    // "-": the file goes to standard output, and the log to standard error.
    const bool toStdout = inv.file == kStandardStream;
    Console console(ctx, inv.quiet, toStdout);
    const Format format = OutputFormat(inv);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::optional<device::TPicDevice> named = NamedDevice(file, inv.device);
    AtomicFile output(inv.file);
    if (!toStdout)
        if (const std::string error = output.Prepare(); !error.empty())
            throw CliFailure(ExitStatus::Trouble, inv.file + ": " + error);
    const PortChoice port = ChoosePort(inv, ctx.system);
    ChipSession session(ctx, inv, file, port);
    const ChipChoice choice = ChooseChip(session, ctx, named, file, inv.force, console);
    const device::TPicDevice& device = choice.device;

    // One walk from the lowest address kept to the highest; the dump skips
    // the addresses between the areas without a command.
    std::int32_t first = image::THexFile::kWords, end = 0, words = 0;
    for (device::TMemoryRange r : ReadRanges(device)) {
        if (r.Size <= 0)
            continue;
        first = std::min<std::int32_t>(first, std::max<std::int32_t>(r.Address, 0));
        end = std::max<std::int32_t>(end, std::min<std::int32_t>(r.Address + r.Size, image::THexFile::kWords));
    }
    for (std::int32_t a = first; a < end; ++a)
        words += Kept(a, device) ? 1 : 0;
    if (words == 0)
        throw CliFailure(ExitStatus::Trouble, device.Name + ": " + file.label + " gives it no memory to read");
    const OperationRequest request = DumpRequest(first, end - first);
    const image::THexFile noImage;
    const OperationPlan plan = PlanOperation(device, noImage, request, session.Link());

    RunDisplay display;
    display.wordLines = false;
    display.countLabel = "READ";
    display.countTotal = words;
    image::THexFile unused;
    const RunReport report =
        RunOnConsole(session, ctx, console, unused, device, request, plan, choice.check.pace, display);
    if (const ExitStatus status = ExitStatusOf(report.outcome); status != ExitStatus::Success)
        return status; // nothing is written

    if (const std::string locked = ProtectionOf(report.log, device); !locked.empty()) {
        const std::string message = session.Describe() + ": " + locked;
        if (!inv.force)
            throw CliFailure(ExitStatus::Trouble, message + " (--force to write the file anyway)");
        console.Error(message + " (going on: --force)");
    }

    image::THexFile chip;
    std::int32_t read = 0, kept = 0;
    for (const std::string& line : report.log) {
        std::int32_t address = 0, value = 0;
        if (!ParseWordLine(line, address, value) || !Kept(address, device))
            continue;
        ++read;
        if (device::InRange(address, device.DataMemory))
            value &= 0xFF; // an EEPROM cell is the low byte of its word
        else if (!inv.all && device::InRange(address, device.ProgramMemory) && value == kErasedProgramWord)
            continue;
        chip.SetWord(address, static_cast<std::int16_t>(value));
        ++kept;
    }
    const std::string text = format == Format::Binary ? BinaryText(chip, device) : image::WriteHexText(chip);
    if (toStdout) {
        ctx.out << text;
        ctx.out.flush();
        if (!ctx.out)
            throw CliFailure(ExitStatus::Trouble, "standard output: " + std::string(std::strerror(EIO)));
    } else if (const std::string error = output.Commit(text); !error.empty()) {
        throw CliFailure(ExitStatus::Trouble, inv.file + ": " + error);
    }
    const std::string where = toStdout ? std::string("standard output") : inv.file;
    if (format == Format::Binary)
        console.Note("Read " + std::to_string(read) + " words; wrote the " +
                     std::to_string(std::max<std::int32_t>(device.ProgramMemory.Size, 0)) +
                     " program words to " + where + " as raw binary (2 bytes a word, low byte first).");
    else
        console.Note("Read " + std::to_string(read) + " words; wrote " + std::to_string(kept) + " to " + where + ".");
    return ExitStatus::Success;
}

} // namespace vandrel::cli
