// REGEDIT4 .reg text: reading it into statements and writing statements back as text.

// The standard headers come first: windows.h maps C runtime names onto the device's own.
#include <string_view>

#include <cesim/registry.h>

namespace cesim::reg {

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::u16string> FromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        size_t extra;
        uint32_t c;
        uint32_t smallest;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i - 1 < extra)
            return std::nullopt;
        for (size_t k = 1; k <= extra; ++k) {
            const uint8_t next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms would give one name two spellings.
        if (c < smallest || c > 0x10FFFF)
            return std::nullopt;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += extra + 1;
    }
    return out;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// 1 to 8 hex digits, nothing else.
std::optional<DWORD> ParseHexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    DWORD n = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = (n << 4) | static_cast<DWORD>(d);
    }
    return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

class Parser {
public:
    explicit Parser(std::string_view text) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        while (!text.empty()) {
            const size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines_.push_back(line);
            if (end == std::string_view::npos)
                break;
            text.remove_prefix(end + 1);
        }
    }

    std::optional<std::vector<RegEdit>> Run(std::string* error) {
        if (lines_.empty() || Trim(lines_[0]) != "REGEDIT4") {
            Fail(1, "the first line must be REGEDIT4");
        } else {
            next_ = 1;
            while (error_.empty() && next_ < lines_.size())
                Statement();
        }
        if (!error_.empty()) {
            if (error)
                *error = error_;
            return std::nullopt;
        }
        return std::move(edits_);
    }

private:
    bool Fail(size_t line, const std::string& what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool Statement() {
        line_ = next_ + 1;
        const std::string_view text = Trim(lines_[next_++]);
        if (text.empty() || text[0] == ';')
            return true;
        if (text[0] == '[')
            return KeyLine(text);
        if (text[0] == '"' || text[0] == '@')
            return ValueLine(text);
        return Fail(line_, "expected a [key] or a value");
    }

    bool KeyLine(std::string_view text) {
        if (text.back() != ']' || text.size() < 2)
            return Fail(line_, "a key line must end with ]");
        std::string_view path = text.substr(1, text.size() - 2);
        const bool remove = !path.empty() && path[0] == '-';
        if (remove)
            path.remove_prefix(1);
        if (path.empty())
            return Fail(line_, "the key has no path");
        if (!FromUtf8(std::string(path)))
            return Fail(line_, "the key path is not UTF-8");
        RegEdit edit;
        edit.kind = remove ? RegEdit::Kind::DeleteKey : RegEdit::Kind::OpenKey;
        edit.key = std::string(path);
        edit.line = static_cast<int>(line_);
        edits_.push_back(edit);
        // Values after a deleted key would have nowhere to go.
        key_ = remove ? std::nullopt : std::optional<std::string>(edit.key);
        return true;
    }

    // A quoted string at the start of text; advances text past the closing quote.
    std::optional<std::string> Quoted(std::string_view& text) {
        std::string out;
        for (size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                text.remove_prefix(i + 1);
                if (!FromUtf8(out)) {
                    Fail(line_, "the text is not UTF-8");
                    return std::nullopt;
                }
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++i == text.size())
                break;
            switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            default:
                Fail(line_, std::string("unknown escape \\") + text[i]);
                return std::nullopt;
            }
        }
        Fail(line_, "the closing quote is missing");
        return std::nullopt;
    }

    bool ValueLine(std::string_view text) {
        if (!key_)
            return Fail(line_, "a value must follow a [key]");
        RegEdit edit;
        edit.key = *key_;
        edit.line = static_cast<int>(line_);
        if (text[0] == '@') {
            text.remove_prefix(1);
        } else {
            const std::optional<std::string> name = Quoted(text);
            if (!name)
                return false;
            edit.name = *name;
        }
        text = TrimLeft(text);
        if (text.empty() || text[0] != '=')
            return Fail(line_, "expected = after the value name");
        text = Trim(text.substr(1));
        if (!Data(text, &edit))
            return false;
        edits_.push_back(edit);
        return true;
    }

    bool Data(std::string_view text, RegEdit* edit) {
        edit->kind = RegEdit::Kind::SetValue;
        if (text == "-") {
            edit->kind = RegEdit::Kind::DeleteValue;
            return true;
        }
        if (!text.empty() && text[0] == '"') {
            const std::optional<std::string> s = Quoted(text);
            if (!s)
                return false;
            if (!Trim(text).empty())
                return Fail(line_, "unexpected text after the string");
            edit->value.type = REG_SZ;
            edit->value.data = Utf16Bytes(*FromUtf8(*s) + u'\0');
            return true;
        }
        if (StartsWithNoCase(text, "dword:")) {
            const std::optional<DWORD> n = ParseHexNumber(Trim(text.substr(6)));
            if (!n)
                return Fail(line_, "a dword needs 1 to 8 hex digits");
            edit->value.type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8)
                edit->value.data.push_back(static_cast<uint8_t>(*n >> shift));
            return true;
        }
        if (StartsWithNoCase(text, "hex"))
            return Hex(text.substr(3), edit);
        return Fail(line_, "unknown kind of value");
    }

    // After "hex": an optional "(type)", a colon, then bytes, continued by a trailing backslash.
    bool Hex(std::string_view text, RegEdit* edit) {
        edit->value.type = REG_BINARY;
        if (!text.empty() && text[0] == '(') {
            const size_t close = text.find(')');
            const std::optional<DWORD> type = close == std::string_view::npos
                                                  ? std::nullopt
                                                  : ParseHexNumber(text.substr(1, close - 1));
            if (!type)
                return Fail(line_, "hex(type) needs 1 to 8 hex digits");
            edit->value.type = *type;
            text.remove_prefix(close + 1);
        }
        if (text.empty() || text[0] != ':')
            return Fail(line_, "expected : after hex");
        std::string body(Trim(text.substr(1)));
        while (!body.empty() && body.back() == '\\') {
            do
                body.pop_back();
            while (!body.empty() && IsBlank(body.back()));
            if (!body.empty() && body.back() != ',')
                body += ',';
            if (next_ == lines_.size())
                return Fail(line_, "the value continues past the end of the file");
            body.append(Trim(lines_[next_++]));
        }
        if (body.empty())
            return true;
        std::string_view rest = body;
        while (true) {
            const size_t comma = rest.find(',');
            const std::string_view token = Trim(rest.substr(0, comma));
            const bool last = comma == std::string_view::npos;
            // A comma may end the list; anything else must be a byte.
            if (token.empty() && last && !edit->value.data.empty())
                return true;
            const std::optional<DWORD> byte =
                token.size() <= 2 ? ParseHexNumber(token) : std::nullopt;
            if (!byte)
                return Fail(line_, "\"" + std::string(token) + "\" is not a hex byte");
            edit->value.data.push_back(static_cast<uint8_t>(*byte));
            if (last)
                return true;
            rest.remove_prefix(comma + 1);
        }
    }

    std::vector<std::string_view> lines_;
    size_t next_ = 0;
    size_t line_ = 0;
    std::optional<std::string> key_;
    std::vector<RegEdit> edits_;
    std::string error_;
};

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

// The text of a REG_SZ that quoted text can carry exactly: whole UTF-16 units, one NUL at the
// end and none before it, no line breaks, no unpaired surrogates.
std::optional<std::u16string> PlainText(const std::vector<uint8_t>& data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i < data.size(); i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (text.back() != 0)
        return std::nullopt;
    text.pop_back();
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == 0 || c == u'\r' || c == u'\n')
            return std::nullopt;
        if (c >= 0xDC00 && c <= 0xDFFF)
            return std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return std::nullopt;
            ++i;
        }
    }
    return text;
}

// Lower-case hex, at least minDigits long.
std::string HexNumber(DWORD n, int minDigits) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdef"[n & 0xF]);
        n >>= 4;
    } while (n != 0 || static_cast<int>(digits.size()) < minDigits);
    return digits;
}

// Bytes as regedit writes them: comma separated, lines wrapped before 80 columns.
std::string HexBytes(const std::vector<uint8_t>& data, size_t column) {
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        const std::string piece = HexNumber(data[i], 2) + (i + 1 < data.size() ? "," : "");
        if (column + piece.size() + 1 > 80) {
            out += "\\\r\n  ";
            column = 2;
        }
        out += piece;
        column += piece.size();
    }
    return out;
}

std::string FormatValue(const std::string& name, const Value& value) {
    std::string line = (name.empty() ? std::string("@") : QuoteName(name)) + "=";
    if (value.type == REG_SZ) {
        if (const std::optional<std::u16string> text = PlainText(value.data))
            return line + QuoteName(ToUtf8(*text));
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const DWORD n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                        (static_cast<DWORD>(value.data[3]) << 24);
        return line + "dword:" + HexNumber(n, 8);
    }
    line +=
        value.type == REG_BINARY ? std::string("hex:") : "hex(" + HexNumber(value.type, 1) + "):";
    return line + HexBytes(value.data, line.size());
}

} // namespace

std::optional<std::vector<RegEdit>> ParseRegText(const std::string& text, std::string* error) {
    return Parser(text).Run(error);
}

std::string FormatRegText(const std::vector<RegEdit>& edits) {
    std::string out = "REGEDIT4\r\n";
    const std::string* block = nullptr; // the key whose values are being written
    for (const RegEdit& edit : edits) {
        switch (edit.kind) {
        case RegEdit::Kind::OpenKey:
            out += "\r\n[" + edit.key + "]\r\n";
            block = &edit.key;
            break;
        case RegEdit::Kind::DeleteKey:
            out += "\r\n[-" + edit.key + "]\r\n";
            block = nullptr;
            break;
        case RegEdit::Kind::SetValue:
        case RegEdit::Kind::DeleteValue:
            if (!block || *block != edit.key) {
                out += "\r\n[" + edit.key + "]\r\n";
                block = &edit.key;
            }
            if (edit.kind == RegEdit::Kind::SetValue)
                out += FormatValue(edit.name, edit.value) + "\r\n";
            else
                out += (edit.name.empty() ? std::string("@") : QuoteName(edit.name)) + "=-\r\n";
            break;
        }
    }
    return out + "\r\n";
}

} // namespace cesim::reg
