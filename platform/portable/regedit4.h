// REGEDIT4 .reg text, read into statements and written from them, the same on the simulated
// device, in vexocfg and on a desktop. It knows the syntax alone: whether a key path names a
// real root is for the registry that applies the statements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace regedit4 {

// The registry's own type numbers, which the text spells out.
const uint32_t kString = 1; // REG_SZ
const uint32_t kBinary = 3; // REG_BINARY
const uint32_t kDword = 4;  // REG_DWORD

struct Value {
    uint32_t type = 0;
    std::vector<uint8_t> data; // exactly the bytes stored, with no terminator added
};

// One statement of a file. Values carry the key they belong to; an empty name is the key's
// default value, written "@".
struct Statement {
    enum class Kind { OpenKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::OpenKey;
    std::u16string key;
    std::u16string name;
    Value value;
    int line = 0; // where the statement starts in the text
};

// UTF-8 text, with or without a byte-order mark, lines ending in LF or CRLF. Names and texts
// may carry unpaired surrogates in their three-byte form. Nothing when a line is malformed;
// *why then says which line and why.
std::optional<std::vector<Statement>> Parse(const std::string& text, std::string* why = nullptr);

// As regedit writes it: CRLF line ends, a blank line before each key, texts quoted where quoted
// text carries them exactly and hex bytes wrapped before 80 columns otherwise. Parsing the
// result gives back every key, name, type and byte.
std::string Format(const std::vector<Statement>& statements);

} // namespace regedit4
