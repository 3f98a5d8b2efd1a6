// The number rule of the device specification file.
#include "device/pic_device.h"

#include "common/convert.h"

namespace vandrel::device {

std::optional<std::int32_t> ParseSpecNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;

    std::size_t hexStart = 0;
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
        hexStart = 1;
    else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        hexStart = 2;

    if (hexStart != 0) {
        std::string_view digits = text.substr(hexStart);
        if (digits.empty()) return std::nullopt;
        std::uint64_t value = 0;
        for (char c : digits) {
            int d = HexDigitValue(c);
            if (d < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }

    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace vandrel::device
