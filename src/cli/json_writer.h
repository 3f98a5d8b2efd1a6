#pragma once
// A small writer of JSON text for --json: objects, arrays, strings, whole
// numbers, booleans and null, on one line. Commas are placed by the writer;
// strings are escaped, and bytes that are not UTF-8 become U+FFFD.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::cli {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The name of the next member of an object.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key and value at once.
    JsonWriter& Member(std::string_view name, std::string_view text) { return Key(name).String(text); }
    JsonWriter& Member(std::string_view name, const char* text) { return Key(name).String(text); }
    JsonWriter& Member(std::string_view name, std::int64_t value) { return Key(name).Number(value); }
    JsonWriter& Member(std::string_view name, int value) { return Key(name).Number(value); }
    JsonWriter& Member(std::string_view name, bool value) { return Key(name).Bool(value); }

    const std::string& Text() const { return text_; }

private:
    void BeforeValue();

    std::string text_;
    std::vector<bool> first_; // per open object or array: nothing in it yet
    bool afterKey_ = false;
};

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text);

} // namespace vandrel::cli
