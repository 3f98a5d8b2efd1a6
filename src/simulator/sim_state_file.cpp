#include "simulator/sim_state_file.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "common/atomic_file.h"
#include "image/hex_file.h"
#include "image/hex_writer.h"

namespace vandrel::simulator {

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kDataBase = 0x2100;

std::uint16_t ErasedValue(std::int32_t address) { return address >= kDataBase ? 0xFF : 0x3FFF; }

std::string FileNameFor(const std::string& deviceName) {
    std::string name;
    for (char c : deviceName) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        name += plain ? c : '_';
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos)
        name = "chip" + name;
    return name + ".hex";
}

const char* NonEmpty(const GetEnv& getEnv, const char* name) {
    const char* value = getEnv ? getEnv(name) : nullptr;
    return value != nullptr && *value != '\0' ? value : nullptr;
}

} // namespace

std::string NumberedSimStatePath(const std::string& path, int number) {
    if (number <= 0 || path.empty())
        return path;
    const fs::path file(path);
    fs::path numbered = file;
    numbered.replace_filename(file.stem().string() + "-" + std::to_string(number) + file.extension().string());
    return numbered.string();
}

std::string DefaultSimStatePath(const std::string& deviceName, const GetEnv& getEnv) {
    // On Windows a HOME comes from a Unix-like shell (Git Bash, MSYS); the
    // user's own local folder comes first there.
#ifdef _WIN32
    const char* const places[] = {"XDG_STATE_HOME", "LOCALAPPDATA", "HOME"};
#else
    const char* const places[] = {"XDG_STATE_HOME", "HOME", "LOCALAPPDATA"};
#endif
    for (const char* name : places) {
        const char* value = NonEmpty(getEnv, name);
        if (value == nullptr)
            continue;
        const fs::path base = std::string_view(name) == "HOME" ? fs::path(value) / ".local" / "state" : fs::path(value);
        return (base / "vandrel1" / FileNameFor(deviceName)).string();
    }
    return {};
}

std::string LoadSimState(SimChip& chip, const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return {};
    image::THexFile image;
    std::optional<int> badLine;
    image.SetChecksumErrorHook([&](int line) {
        if (!badLine)
            badLine = line;
    });
    try {
        image.LoadFromFile(path);
    } catch (const image::EHexFileError& error) {
        return error.what();
    }
    if (badLine)
        return "line " + std::to_string(*badLine + 1) + ": checksum error";

    const device::TPicDevice& device = chip.Device();
    for (std::int32_t address = 0; address < image::THexFile::kWords; ++address) {
        const std::int16_t word = image.GetWord(address);
        if (word < 0 || chip.ReadWord(address) < 0)
            continue;
        if (device.DeviceID.Size > 0 && device::InRange(address, device.DeviceID))
            continue; // the chip keeps its own identity
        chip.WriteWord(address, static_cast<std::uint16_t>(word));
    }
    return {};
}

std::string SaveSimState(const SimChip& chip, const std::string& path) {
    image::THexFile image;
    for (std::int32_t address = 0; address < image::THexFile::kWords; ++address) {
        const std::int32_t word = chip.ReadWord(address);
        if (word >= 0 && static_cast<std::uint16_t>(word) != ErasedValue(address))
            image.SetWord(address, static_cast<std::int16_t>(word));
    }
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) {
        std::error_code ec;
        fs::create_directories(parent, ec);
        if (ec)
            return ec.message();
    }
    return WriteFileAtomically(path, "; Simulated " + chip.Device().Name + ": its memories between runs\n" +
                                         image::WriteHexText(image));
}

} // namespace vandrel::simulator
