// REGEDIT4 .reg text, read into statements and written from them.
#include "platform/portable/regedit4.h"

#include "platform/portable/utf.h"

#include <string_view>

namespace regedit4 {

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
std::optional<uint32_t> ParseHexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    uint32_t n = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        n = (n << 4) | static_cast<uint32_t>(d);
    }
    return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view lowerPrefix) {
    if (s.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

std::vector<uint8_t> TextBytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
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

    std::optional<std::vector<Statement>> Run(std::string* why) {
        // Blank lines before the header are forgiven, as editors leave them.
        size_t first = 0;
        while (first < lines_.size() && Trim(lines_[first]).empty())
            ++first;
        if (first == lines_.size() || Trim(lines_[first]) != "REGEDIT4") {
            Fail(first + 1, "the file must begin with REGEDIT4");
        } else {
            next_ = first + 1;
            while (error_.empty() && next_ < lines_.size())
                NextStatement();
        }
        if (!error_.empty()) {
            if (why)
                *why = error_;
            return std::nullopt;
        }
        return std::move(statements_);
    }

private:
    bool Fail(size_t line, const std::string& what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool NextStatement() {
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
        if (text.size() < 2 || text.back() != ']')
            return Fail(line_, "a key line must end with ]");
        std::string_view path = text.substr(1, text.size() - 2);
        const bool remove = !path.empty() && path[0] == '-';
        if (remove)
            path.remove_prefix(1);
        if (path.empty())
            return Fail(line_, "the key has no path");
        const std::optional<std::u16string> wide = utf::FromWtf8(std::string(path));
        if (!wide)
            return Fail(line_, "the key path is not UTF-8");
        Statement s;
        s.kind = remove ? Statement::Kind::DeleteKey : Statement::Kind::OpenKey;
        s.key = *wide;
        s.line = static_cast<int>(line_);
        statements_.push_back(s);
        // Values after a deleted key would have nowhere to go.
        key_ = remove ? std::nullopt : std::optional<std::u16string>(s.key);
        return true;
    }

    // A quoted text at the start of `text`, which then holds what follows the closing quote.
    std::optional<std::u16string> Quoted(std::string_view& text) {
        std::string out;
        for (size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                text.remove_prefix(i + 1);
                const std::optional<std::u16string> wide = utf::FromWtf8(out);
                if (!wide)
                    Fail(line_, "the text is not UTF-8");
                return wide;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++i == text.size())
                break;
            switch (text[i]) {
            case '\\':
            case '"':
                out += text[i];
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
        Statement s;
        s.key = *key_;
        s.line = static_cast<int>(line_);
        if (text[0] == '@') {
            text.remove_prefix(1);
        } else {
            const std::optional<std::u16string> name = Quoted(text);
            if (!name)
                return false;
            s.name = *name;
        }
        text = TrimLeft(text);
        if (text.empty() || text[0] != '=')
            return Fail(line_, "expected = after the value name");
        if (!Data(Trim(text.substr(1)), &s))
            return false;
        statements_.push_back(s);
        return true;
    }

    bool Data(std::string_view text, Statement* s) {
        s->kind = Statement::Kind::SetValue;
        if (text == "-") {
            s->kind = Statement::Kind::DeleteValue;
            return true;
        }
        if (!text.empty() && text[0] == '"') {
            const std::optional<std::u16string> quoted = Quoted(text);
            if (!quoted)
                return false;
            if (!Trim(text).empty())
                return Fail(line_, "unexpected text after the string");
            s->value.type = kString;
            s->value.data = TextBytes(*quoted);
            return true;
        }
        if (StartsWithNoCase(text, "dword:")) {
            const std::optional<uint32_t> n = ParseHexNumber(Trim(text.substr(6)));
            if (!n)
                return Fail(line_, "a dword needs 1 to 8 hex digits");
            s->value.type = kDword;
            for (int shift = 0; shift < 32; shift += 8)
                s->value.data.push_back(static_cast<uint8_t>(*n >> shift));
            return true;
        }
        if (StartsWithNoCase(text, "hex"))
            return Hex(text.substr(3), &s->value);
        return Fail(line_, "unknown kind of value");
    }

    // After "hex": an optional "(type)", a colon, then bytes; a trailing backslash continues
    // the list on the next line.
    bool Hex(std::string_view text, Value* value) {
        value->type = kBinary;
        if (!text.empty() && text[0] == '(') {
            const size_t close = text.find(')');
            const std::optional<uint32_t> type = close == std::string_view::npos
                                                     ? std::nullopt
                                                     : ParseHexNumber(text.substr(1, close - 1));
            if (!type)
                return Fail(line_, "hex(type) needs 1 to 8 hex digits");
            value->type = *type;
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
            if (token.empty() && last && !value->data.empty())
                return true;
            const std::optional<uint32_t> byte =
                token.size() <= 2 ? ParseHexNumber(token) : std::nullopt;
            if (!byte)
                return Fail(line_, "\"" + std::string(token) + "\" is not a hex byte");
            value->data.push_back(static_cast<uint8_t>(*byte));
            if (last)
                return true;
            rest.remove_prefix(comma + 1);
        }
    }

    std::vector<std::string_view> lines_;
    size_t next_ = 0;
    size_t line_ = 0;
    std::optional<std::u16string> key_;
    std::vector<Statement> statements_;
    std::string error_;
};

std::string QuoteName(const std::u16string& name) {
    std::string out = "\"";
    for (char c : utf::ToWtf8(name)) {
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

std::string NameOf(const std::u16string& name) {
    return name.empty() ? std::string("@") : QuoteName(name);
}

// The text of a REG_SZ that quoted text carries exactly: whole UTF-16 units, one NUL at the
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
std::string HexNumber(uint32_t n, int minDigits) {
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

std::string FormatValue(const std::u16string& name, const Value& value) {
    std::string line = NameOf(name) + "=";
    if (value.type == kString) {
        if (const std::optional<std::u16string> text = PlainText(value.data))
            return line + QuoteName(*text);
    }
    if (value.type == kDword && value.data.size() == 4) {
        const uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                           (static_cast<uint32_t>(value.data[3]) << 24);
        return line + "dword:" + HexNumber(n, 8);
    }
    line += value.type == kBinary ? std::string("hex:") : "hex(" + HexNumber(value.type, 1) + "):";
    return line + HexBytes(value.data, line.size());
}

} // namespace

std::optional<std::vector<Statement>> Parse(const std::string& text, std::string* why) {
    return Parser(text).Run(why);
}

std::string Format(const std::vector<Statement>& statements) {
    std::string out = "REGEDIT4\r\n";
    const std::u16string* block = nullptr; // the key whose values are being written
    for (const Statement& s : statements) {
        switch (s.kind) {
        case Statement::Kind::OpenKey:
            out += "\r\n[" + utf::ToWtf8(s.key) + "]\r\n";
            block = &s.key;
            break;
        case Statement::Kind::DeleteKey:
            out += "\r\n[-" + utf::ToWtf8(s.key) + "]\r\n";
            block = nullptr;
            break;
        case Statement::Kind::SetValue:
        case Statement::Kind::DeleteValue:
            if (!block || *block != s.key) {
                out += "\r\n[" + utf::ToWtf8(s.key) + "]\r\n";
                block = &s.key;
            }
            if (s.kind == Statement::Kind::SetValue)
                out += FormatValue(s.name, s.value) + "\r\n";
            else
                out += NameOf(s.name) + "=-\r\n";
            break;
        }
    }
    return out + "\r\n";
}

} // namespace regedit4
