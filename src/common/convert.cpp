#include "common/convert.h"

#include <cstdio>

namespace vandrel {

namespace {

[[noreturn]] void NotAnInteger(std::string_view text) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

} // namespace

std::int32_t StrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && text[i] == '$') {
        ++i;
        if (i == text.size())
            NotAnInteger(text);
        std::uint64_t value = 0;
        for (; i < text.size(); ++i) {
            const int d = HexDigitValue(text[i]);
            if (d < 0)
                NotAnInteger(text);
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFull)
                NotAnInteger(text);
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        NotAnInteger(text);
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            NotAnInteger(text);
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            NotAnInteger(text);
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        NotAnInteger(text);
    return static_cast<std::int32_t>(value);
}

std::string Hex4(std::int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    return buffer;
}

std::int32_t PortNumberOf(std::string_view portName) {
    const std::string_view digits = portName.size() > 3 ? portName.substr(3, 3) : std::string_view{};
    return StrToInt(digits);
}

} // namespace vandrel
