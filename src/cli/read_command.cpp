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
#include "programmer/chip_read.h"

namespace vandrel::cli {

namespace {

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
        const auto value = static_cast<std::uint16_t>(word < 0 ? programmer::kErasedProgramWord : word);
        bytes.push_back(static_cast<char>(value & 0xFF));
        bytes.push_back(static_cast<char>(value >> 8));
    }
    return bytes;
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
    const programmer::ReadSpan span = programmer::ReadSpanOf(device);
    if (span.words == 0)
        throw CliFailure(ExitStatus::Trouble, device.Name + ": " + file.label + " gives it no memory to read");
    const OperationRequest request = DumpRequest(span.first, span.count);
    const image::THexFile noImage;
    const OperationPlan plan = PlanOperation(device, noImage, request, session.Link());

    RunDisplay display;
    display.wordLines = false;
    display.countLabel = "READ";
    display.countTotal = span.words;
    image::THexFile unused;
    const RunReport report =
        RunOnConsole(session, ctx, console, unused, device, request, plan, choice.check.pace, display);
    if (const ExitStatus status = ExitStatusOf(report.outcome); status != ExitStatus::Success)
        return status; // nothing is written

    if (const std::string locked = programmer::ProtectionOf(report.log, device); !locked.empty()) {
        const std::string message = session.Describe() + ": " + locked;
        if (!inv.force)
            throw CliFailure(ExitStatus::Trouble, message + " (--force to write the file anyway)");
        console.Error(message + " (going on: --force)");
    }

    image::THexFile chip;
    const programmer::ReadCounts counts = programmer::ChipImageFromLog(report.log, device, inv.all, chip);
    const std::int32_t read = counts.read, kept = counts.kept;
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
    // The factory words of the configuration space go into a HEX file as read;
    // program never writes them back.
    const std::vector<std::int32_t>& calibration = device.Algorithm.Calibration.Words;
    if (format == Format::Hex && !calibration.empty()) {
        std::string text = calibration.size() == 1 ? "the calibration word" : "the calibration words";
        for (std::size_t i = 0; i < calibration.size(); ++i) {
            const std::int16_t word = chip.GetWord(calibration[i]);
            text += (i == 0 ? " " : ", ") + Hex4(calibration[i]) + " " +
                    (word < 0 ? std::string("unread") : Hex4(word));
        }
        console.Note(text + " in the file: the chip's own; program leaves " +
                     (calibration.size() == 1 ? "it" : "them") + " as the chip has " +
                     (calibration.size() == 1 ? "it" : "them"));
    }
    return ExitStatus::Success;
}

} // namespace vandrel::cli
