#include "image/hex_writer.h"

#include <cstdint>
#include <vector>

namespace vandrel::image {

namespace {

constexpr int kRecordBytes = 16;

void AppendByte(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
}

void AppendRecord(std::string& out, unsigned type, unsigned address, const std::vector<std::uint8_t>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + ((address >> 8) & 0xFF) + (address & 0xFF) + type;
    out += ':';
    AppendByte(out, static_cast<unsigned>(data.size()));
    AppendByte(out, (address >> 8) & 0xFF);
    AppendByte(out, address & 0xFF);
    AppendByte(out, type);
    for (std::uint8_t byte : data) {
        AppendByte(out, byte);
        sum += byte;
    }
    AppendByte(out, (0x100 - (sum & 0xFF)) & 0xFF);
    out += '\n';
}

} // namespace

std::string WriteHexText(const THexFile& image) {
    std::string out;
    AppendRecord(out, 0x04, 0, {0x00, 0x00});

    std::vector<std::uint8_t> data;
    unsigned start = 0; // byte address of data[0]
    const auto flush = [&] {
        if (!data.empty())
            AppendRecord(out, 0x00, start, data);
        data.clear();
    };
    for (std::int32_t address = 0; address < THexFile::kWords; ++address) {
        const std::int16_t word = image.GetWord(address);
        if (word == -1) {
            flush();
            continue;
        }
        const unsigned byteAddress = static_cast<unsigned>(address) * 2;
        if (!data.empty() && byteAddress % kRecordBytes == 0)
            flush();
        if (data.empty())
            start = byteAddress;
        const auto bits = static_cast<std::uint16_t>(word);
        data.push_back(static_cast<std::uint8_t>(bits & 0xFF));
        data.push_back(static_cast<std::uint8_t>(bits >> 8));
    }
    flush();
    AppendRecord(out, 0x01, 0, {});
    return out;
}

} // namespace vandrel::image
