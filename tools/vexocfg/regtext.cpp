// REGEDIT4 text: read into statements, and a key with its subtree written out as regedit does.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/vexocfg/regtext.h"
#include "tools/vexocfg/text.h"

namespace vexocfg {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    const std::string head = s.substr(0, std::string(prefix).size());
    return SameNoCase(head, prefix);
}

std::optional<DWORD> HexNumber(const std::string& s) {
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    DWORD n = 0;
    for (char c : s) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0)
            return std::nullopt;
        n = n << 4 | DWORD(d);
    }
    return n;
}

class Parser {
public:
    explicit Parser(std::string text) {
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines_.push_back(line);
            start = end + 1;
        }
    }

    std::optional<std::vector<RegEdit>> Run(std::string* why) {
        size_t first = 0;
        while (first < lines_.size() && Trim(lines_[first]).empty())
            ++first;
        if (first == lines_.size() || Trim(lines_[first]) != "REGEDIT4") {
            Fail(int(first + 1), "the file must begin with REGEDIT4");
        } else {
            next_ = first + 1;
            while (error_.empty() && next_ < lines_.size())
                Statement();
        }
        if (!error_.empty()) {
            if (why)
                *why = error_;
            return std::nullopt;
        }
        return edits_;
    }

private:
    bool Fail(int line, const std::string& what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool Statement() {
        line_ = int(next_ + 1);
        const std::string text = Trim(lines_[next_++]);
        if (text.empty() || text[0] == ';')
            return true;
        if (text[0] == '[')
            return KeyLine(text);
        if (text[0] == '"' || text[0] == '@')
            return ValueLine(text);
        return Fail(line_, "expected [key] or a value");
    }

    bool KeyLine(const std::string& text) {
        if (text.size() < 2 || text.back() != ']')
            return Fail(line_, "a key line ends with ]");
        std::string path = text.substr(1, text.size() - 2);
        RegEdit edit;
        edit.kind = RegEdit::Kind::OpenKey;
        if (!path.empty() && path[0] == '-') {
            edit.kind = RegEdit::Kind::DeleteKey;
            path.erase(0, 1);
        }
        const std::optional<std::u16string> wide = FromUtf8(path);
        if (!wide)
            return Fail(line_, "the key is not UTF-8");
        if (wide->empty())
            return Fail(line_, "the key has no name");
        edit.key = *wide;
        edit.line = line_;
        edits_.push_back(edit);
        // Values after a deleted key would have no key to go to.
        key_ = edit.kind == RegEdit::Kind::OpenKey ? std::optional<std::u16string>(edit.key)
                                                   : std::nullopt;
        return true;
    }

    // The quoted text at the start of `text`, which then holds what follows the quote.
    std::optional<std::u16string> Quoted(std::string& text) {
        std::string out;
        for (size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '"') {
                text.erase(0, i + 1);
                const std::optional<std::u16string> wide = FromUtf8(out);
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
            if (text[i] != '\\' && text[i] != '"') {
                Fail(line_, std::string("unknown escape \\") + text[i]);
                return std::nullopt;
            }
            out += text[i];
        }
        Fail(line_, "the closing quote is missing");
        return std::nullopt;
    }

    bool ValueLine(std::string text) {
        if (!key_)
            return Fail(line_, "a value must follow a [key]");
        RegEdit edit;
        edit.key = *key_;
        edit.line = line_;
        if (text[0] == '@') {
            text.erase(0, 1);
        } else {
            const std::optional<std::u16string> name = Quoted(text);
            if (!name)
                return false;
            edit.value.name = *name;
        }
        text = Trim(text);
        if (text.empty() || text[0] != '=')
            return Fail(line_, "expected = after the value's name");
        text = Trim(text.substr(1));
        edit.kind = RegEdit::Kind::SetValue;
        if (text == "-") {
            edit.kind = RegEdit::Kind::DeleteValue;
        } else if (!text.empty() && text[0] == '"') {
            const std::optional<std::u16string> s = Quoted(text);
            if (!s)
                return false;
            if (!Trim(text).empty())
                return Fail(line_, "unexpected text after the string");
            edit.value.type = REG_SZ;
            edit.value.data = TextBytes(*s);
        } else if (StartsWithNoCase(text, "dword:")) {
            const std::optional<DWORD> n = HexNumber(Trim(text.substr(6)));
            if (!n)
                return Fail(line_, "a dword is 1 to 8 hex digits");
            edit.value.type = REG_DWORD;
            edit.value.data = DwordBytes(*n);
        } else if (StartsWithNoCase(text, "hex")) {
            if (!Hex(text.substr(3), &edit.value))
                return false;
        } else {
            return Fail(line_, "unknown kind of value");
        }
        edits_.push_back(edit);
        return true;
    }

    // After "hex": an optional "(type)", a colon, then bytes; a trailing backslash continues
    // the list on the next line.
    bool Hex(std::string text, RegValue* value) {
        value->type = REG_BINARY;
        if (!text.empty() && text[0] == '(') {
            const size_t close = text.find(')');
            const std::optional<DWORD> type =
                close == std::string::npos ? std::nullopt : HexNumber(text.substr(1, close - 1));
            if (!type)
                return Fail(line_, "hex(type) needs 1 to 8 hex digits");
            value->type = *type;
            text.erase(0, close + 1);
        }
        if (text.empty() || text[0] != ':')
            return Fail(line_, "expected : after hex");
        std::string body = Trim(text.substr(1));
        while (!body.empty() && body.back() == '\\') {
            body = Trim(body.substr(0, body.size() - 1));
            if (!body.empty() && body.back() != ',')
                body += ',';
            if (next_ == lines_.size())
                return Fail(line_, "the value goes on past the end of the file");
            body += Trim(lines_[next_++]);
        }
        size_t start = 0;
        while (start < body.size()) {
            size_t comma = body.find(',', start);
            if (comma == std::string::npos)
                comma = body.size();
            const std::string token = Trim(body.substr(start, comma - start));
            if (token.empty() && comma == body.size() && !value->data.empty())
                break; // a comma may end the list
            const std::optional<DWORD> byte = token.size() <= 2 ? HexNumber(token) : std::nullopt;
            if (!byte)
                return Fail(line_, "\"" + token + "\" is not a hex byte");
            value->data.push_back(uint8_t(*byte));
            start = comma + 1;
        }
        return true;
    }

    std::vector<std::string> lines_;
    size_t next_ = 0;
    int line_ = 0;
    std::optional<std::u16string> key_;
    std::vector<RegEdit> edits_;
    std::string error_;
};

std::string QuoteName(const std::u16string& name) {
    std::string out = "\"";
    for (char c : ToUtf8(name)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Quoted text carries a REG_SZ exactly only when it is whole units ending in its one NUL,
// with no line breaks and no unpaired surrogates.
bool Quotable(const RegValue& v) {
    const std::vector<uint8_t>& d = v.data;
    if (v.type != REG_SZ || d.size() < 2 || d.size() % 2 || d[d.size() - 2] || d.back())
        return false;
    const std::u16string text = TextOf(v);
    if ((text.size() + 1) * 2 != d.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n')
            return false;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return false;
    }
    return true;
}

std::string ValueLine(const RegValue& v) {
    std::string line = (v.name.empty() ? std::string("@") : QuoteName(v.name)) + "=";
    if (Quotable(v))
        return line + QuoteName(TextOf(v));
    char buffer[32];
    if (const std::optional<DWORD> n = DwordOf(v)) {
        std::snprintf(buffer, sizeof buffer, "dword:%08x", unsigned(*n));
        return line + buffer;
    }
    if (v.type == REG_BINARY) {
        line += "hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", unsigned(v.type));
        line += buffer;
    }
    // Wrapped before 80 columns, as regedit does.
    size_t column = line.size();
    for (size_t i = 0; i < v.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x%s", v.data[i], i + 1 < v.data.size() ? "," : "");
        const std::string piece = buffer;
        if (column + piece.size() + 1 > 80) {
            line += "\\\r\n  ";
            column = 2;
        }
        line += piece;
        column += piece.size();
    }
    return line;
}

void FormatKey(const std::string& path, const RegKey& key, std::string* out) {
    *out += "[" + path + "]\r\n";
    for (const RegValue& v : key.values)
        *out += ValueLine(v) + "\r\n";
    *out += "\r\n";
    for (const RegKey& sub : key.subkeys)
        FormatKey(path + "\\" + ToUtf8(sub.name), sub, out);
}

} // namespace

std::optional<std::vector<RegEdit>> ParseRegText(const std::string& text, std::string* why) {
    return Parser(text).Run(why);
}

std::string FormatRegText(const std::u16string& path, const std::optional<RegKey>& key) {
    std::string out = "REGEDIT4\r\n\r\n";
    FormatKey(ToUtf8(path), key ? *key : RegKey(), &out);
    return out;
}

} // namespace vexocfg
