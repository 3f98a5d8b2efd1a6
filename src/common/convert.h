#pragma once
// Text forms shared by the window and the operations.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vandrel {

// A text that is not an integer: "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decimal with an optional sign, or "$" followed by hexadecimal digits (at most
// 8 significant, two's complement from 80000000). Leading blanks are skipped.
// Anything else throws EConvertError with the text quoted.
std::int32_t StrToInt(std::string_view text);

// The value of one hexadecimal digit of either case, or -1.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Upper-case hexadecimal, zero-padded to at least 4 digits; a negative value
// shows as its 32-bit two's complement.
std::string Hex4(std::int32_t value);

// The port number of a port name: characters 4 to 6 (1-based) read as a decimal
// number ("COM12" -> 12, "COM1234" -> 123). Throws EConvertError otherwise.
std::int32_t PortNumberOf(std::string_view portName);

} // namespace vandrel
