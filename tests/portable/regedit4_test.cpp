// REGEDIT4 text: every form the reader takes, the lines it refuses, and what the writer makes of
// every kind of value and name, checked by reading it back.
#include <gtest/gtest.h>

#include "platform/portable/regedit4.h"
#include "platform/portable/utf.h"

#include <string>
#include <vector>

namespace {

using regedit4::Statement;
using Kind = regedit4::Statement::Kind;
using Bytes = std::vector<uint8_t>;

const uint32_t kExpandString = 2, kMultiString = 7;

Statement Make(Kind kind, const std::u16string& key, const std::u16string& name = u"",
               uint32_t type = 0, Bytes data = {}) {
    Statement s;
    s.kind = kind;
    s.key = key;
    s.name = name;
    s.value.type = type;
    s.value.data = std::move(data);
    return s;
}

// Everything but the line numbers, which a test states only where they matter.
std::string Show(const std::vector<Statement>& statements) {
    std::string out;
    for (const Statement& s : statements) {
        static const char* const kinds[] = {"open", "delete-key", "set", "delete-value"};
        out += std::string(kinds[int(s.kind)]) + " [" + utf::ToWtf8(s.key) + "] \"" +
               utf::ToWtf8(s.name) + "\" " + std::to_string(s.value.type) + ":";
        for (uint8_t b : s.value.data)
            out += " " + std::to_string(b);
        out += "\n";
    }
    return out;
}

TEST(Regedit4Parse, ReadsEveryFormIntoStatementsInFileOrder) {
    const std::string text = "\xEF\xBB\xBF\r\n"
                             "REGEDIT4\r\n"
                             "\n"
                             "; a comment\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Vexo]\r\n"
                             "@=\"default\"\n"
                             "\"Path\"=\"\\\\Program Files\\\\\\\"Vexo\\\"\"\r\n"
                             "\"Two\\r\\nLines\"=\"x\"\r\n"
                             "\"Hold\"=dword:000001F4\r\n"
                             "\"Short\" = DWORD:1f\r\n"
                             "  \"Half\"=hex(4):05,00\r\n"
                             "\"Bare\"=hex(1):41,00\r\n"
                             "\"Q\"=hex(b):01,02,03,04,\\\r\n"
                             "    05,06 , 07,08\r\n"
                             "\"Face\"=HEX:de,AD,\r\n"
                             "\"Empty\"=hex:\r\n"
                             "\"Gone\"=-\r\n"
                             "[-HKEY_LOCAL_MACHINE\\Temp]\r\n"
                             "[HKLM\\\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80]";
    std::string why;
    const auto statements = regedit4::Parse(text, &why);
    ASSERT_TRUE(statements) << why;
    const std::u16string key = u"HKEY_CURRENT_USER\\Software\\Vexo";
    const std::vector<Statement> expected = {
        Make(Kind::OpenKey, key),
        Make(Kind::SetValue, key, u"", 1,
             {'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0, 'l', 0, 't', 0, 0, 0}),
        Make(Kind::SetValue, key, u"Path", 1,
             {'\\', 0,   'P', 0,   'r', 0,   'o', 0,   'g', 0,   'r', 0,   'a', 0,    'm',
              0,    ' ', 0,   'F', 0,   'i', 0,   'l', 0,   'e', 0,   's', 0,   '\\', 0,
              '"',  0,   'V', 0,   'e', 0,   'x', 0,   'o', 0,   '"', 0,   0,   0}),
        Make(Kind::SetValue, key, u"Two\r\nLines", 1, {'x', 0, 0, 0}),
        Make(Kind::SetValue, key, u"Hold", 4, {0xF4, 1, 0, 0}),
        Make(Kind::SetValue, key, u"Short", 4, {0x1F, 0, 0, 0}),
        Make(Kind::SetValue, key, u"Half", 4, {5, 0}),
        Make(Kind::SetValue, key, u"Bare", 1, {'A', 0}),
        Make(Kind::SetValue, key, u"Q", 11, {1, 2, 3, 4, 5, 6, 7, 8}),
        Make(Kind::SetValue, key, u"Face", 3, {0xDE, 0xAD}),
        Make(Kind::SetValue, key, u"Empty", 3, {}),
        Make(Kind::DeleteValue, key, u"Gone"),
        Make(Kind::DeleteKey, u"HKEY_LOCAL_MACHINE\\Temp"),
        Make(Kind::OpenKey, u"HKLM\\\u00E4\u20AC\U0001F600"),
    };
    EXPECT_EQ(Show(*statements), Show(expected));
    // Lines count from the top of the file, the byte-order mark's line included.
    ASSERT_EQ(statements->size(), expected.size());
    EXPECT_EQ((*statements)[0].line, 5);
    EXPECT_EQ((*statements)[8].line, 13); // a continued value starts where it starts
    EXPECT_EQ((*statements)[9].line, 15);
}

TEST(Regedit4Parse, AMalformedLineRefusesTheFileAndSaysWhere) {
    const std::string good = "REGEDIT4\r\n"
                             "[HKEY_CURRENT_USER\\New]\r\n"
                             "\"v\"=dword:00000002\r\n";
    const struct {
        std::string line;
        const char* why;
    } cases[] = {
        {"[HKEY_CURRENT_USER\\A", "a key line must end with ]"},
        {"[]", "the key has no path"},
        {"[-]", "the key has no path"},
        {"[HKCU\\\xFF]", "the key path is not UTF-8"},
        {"\"a\"=dword:123456789", "a dword needs 1 to 8 hex digits"},
        {"\"a\"=dword:", "a dword needs 1 to 8 hex digits"},
        {"\"a\"=dword:12x", "a dword needs 1 to 8 hex digits"},
        {"\"a\"=dword:-1", "a dword needs 1 to 8 hex digits"},
        {"\"a\"=hex:01,2g", "\"2g\" is not a hex byte"},
        {"\"a\"=hex:01,,02", "\"\" is not a hex byte"},
        {"\"a\"=hex:,", "\"\" is not a hex byte"},
        {"\"a\"=hex:123", "\"123\" is not a hex byte"},
        {"\"a\"=hex(zz):01", "hex(type) needs 1 to 8 hex digits"},
        {"\"a\"=hex(1:01", "hex(type) needs 1 to 8 hex digits"},
        {"\"a\"=hex(1)01", "expected : after hex"},
        {"\"a\"=\"unterminated", "the closing quote is missing"},
        {"\"a\"=\"ends in a backslash\\", "the closing quote is missing"},
        {"\"a\"=\"x\" extra", "unexpected text after the string"},
        {"\"a\\q\"=\"x\"", "unknown escape \\q"},
        {"\"a\" \"x\"", "expected = after the value name"},
        {"@", "expected = after the value name"},
        {"\"a\"=str:1", "unknown kind of value"},
        {"\"a\"=", "unknown kind of value"},
        {"\"\xFF\"=\"x\"", "the text is not UTF-8"},
        {"\"\xC0\xAF\"=\"overlong\"", "the text is not UTF-8"},
        {"\"a\"=\"\xF4\x90\x80\x80\"", "the text is not UTF-8"},
        // A pair of surrogates in two three-byte forms would be a second spelling of U+10000.
        {"\"\xED\xA0\x80\xED\xB0\x80\"=\"x\"", "the text is not UTF-8"},
        {"garbage", "expected a [key] or a value"},
        {"[-HKEY_CURRENT_USER\\New]\r\n\"v\"=dword:1", "a value must follow a [key]"},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(regedit4::Parse(good + c.line + "\r\n", &why)) << c.line;
        const int line = c.line.find('\n') == std::string::npos ? 4 : 5;
        EXPECT_EQ(why, "line " + std::to_string(line) + ": " + c.why) << c.line;
    }
    const struct {
        std::string text;
        const char* why;
    } files[] = {
        {"", "line 1: the file must begin with REGEDIT4"},
        {"\r\n\r\n", "line 3: the file must begin with REGEDIT4"},
        {"REGEDIT5\r\n", "line 1: the file must begin with REGEDIT4"},
        {"Windows Registry Editor Version 5.00\r\n", "line 1: the file must begin with REGEDIT4"},
        {"\"a\"=dword:1\r\n", "line 1: the file must begin with REGEDIT4"},
        {"REGEDIT4\n\"a\"=dword:1\n", "line 2: a value must follow a [key]"},
        {good + "\"a\"=hex:01,\\\r\n", "line 4: the value continues past the end of the file"},
    };
    for (const auto& f : files) {
        std::string why;
        EXPECT_FALSE(regedit4::Parse(f.text, &why)) << f.text;
        EXPECT_EQ(why, f.why) << f.text;
    }
}

TEST(Regedit4Format, EachValueTakesTheFormThatCarriesItExactly) {
    const struct {
        uint32_t type;
        Bytes data;
        const char* line;
    } cases[] = {
        {4, {0x1F, 0, 0, 0}, "dword:0000001f"},
        {4, {5, 0}, "hex(4):05,00"},
        {4, {1, 0, 0, 0, 0}, "hex(4):01,00,00,00,00"},
        {1, {'4', 0, '2', 0, 0, 0}, "\"42\""},
        {1, {0, 0}, "\"\""},
        {1, {'"', 0, '\\', 0, 0, 0}, "\"\\\"\\\\\""},
        {1, {'A', 0}, "hex(1):41,00"},
        {1, {'A', 0, 0}, "hex(1):41,00,00"},
        {1, {}, "hex(1):"},
        {1, {'a', 0, 0, 0, 'b', 0, 0, 0}, "hex(1):61,00,00,00,62,00,00,00"},
        {1, {'a', 0, '\n', 0, 0, 0}, "hex(1):61,00,0a,00,00,00"},
        {1, {0x00, 0xD8, 0, 0}, "hex(1):00,d8,00,00"},
        {1, {0x00, 0xDC, 'a', 0, 0, 0}, "hex(1):00,dc,61,00,00,00"},
        {1,
         {0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0},
         "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
        {kExpandString, {'%', 0, 0, 0}, "hex(2):25,00,00,00"},
        {kMultiString, {'a', 0, 0, 0, 0, 0}, "hex(7):61,00,00,00,00,00"},
        {3, {}, "hex:"},
        {0, {1}, "hex(0):01"},
        {0x12345, {0xFF}, "hex(12345):ff"},
    };
    for (const auto& c : cases) {
        const std::vector<Statement> one = {Make(Kind::SetValue, u"HKCU\\R", u"v", c.type, c.data)};
        const std::string text = regedit4::Format(one);
        EXPECT_EQ(text, std::string("REGEDIT4\r\n\r\n[HKCU\\R]\r\n\"v\"=") + c.line + "\r\n\r\n");
        std::string why;
        const auto back = regedit4::Parse(text, &why);
        ASSERT_TRUE(back) << c.line << ": " << why;
        EXPECT_EQ(Show(*back), Show({Make(Kind::OpenKey, u"HKCU\\R"), one[0]})) << c.line;
    }
}

TEST(Regedit4Format, StatementsOfOtherKeysAndDeletionsEachOpenTheirKey) {
    const std::vector<Statement> statements = {
        Make(Kind::OpenKey, u"HKCU\\A"),
        Make(Kind::SetValue, u"HKCU\\A", u"", 4, {1, 0, 0, 0}),
        Make(Kind::SetValue, u"HKCU\\B", u"x", 3, {2}),
        Make(Kind::DeleteValue, u"HKCU\\B", u"y"),
        Make(Kind::DeleteKey, u"HKCU\\C"),
        Make(Kind::DeleteValue, u"HKCU\\C", u""),
    };
    const std::string text = regedit4::Format(statements);
    EXPECT_EQ(text, "REGEDIT4\r\n"
                    "\r\n[HKCU\\A]\r\n@=dword:00000001\r\n"
                    "\r\n[HKCU\\B]\r\n\"x\"=hex:02\r\n\"y\"=-\r\n"
                    "\r\n[-HKCU\\C]\r\n"
                    "\r\n[HKCU\\C]\r\n@=-\r\n"
                    "\r\n");
    const auto back = regedit4::Parse(text);
    ASSERT_TRUE(back);
    // The writer opened B and C for their values; nothing else changed.
    std::vector<Statement> expected = statements;
    expected.insert(expected.begin() + 2, Make(Kind::OpenKey, u"HKCU\\B"));
    expected.insert(expected.end() - 1, Make(Kind::OpenKey, u"HKCU\\C"));
    EXPECT_EQ(Show(*back), Show(expected));
}

TEST(Regedit4Format, OddNamesAndLongDataRoundTripByteExactWithinEightyColumns) {
    const std::u16string lone = std::u16string(1, char16_t(0xD800)) + u"x";
    const std::u16string key = u"HKCU\\K\u00E4se \u20AC\\]odd[\\" + lone;
    const std::vector<std::u16string> names = {
        u"",
        u"@",
        u"with \"quotes\" and \\back\\slashes",
        u"line\r\nbreak",
        u"\u00DCn\u00EFc\u00F6d\u00E9 \u20AC",
        lone,
        std::u16string(1, char16_t(0xDFFF)),
    };
    std::vector<Statement> statements = {Make(Kind::OpenKey, key)};
    for (size_t i = 0; i < names.size(); ++i)
        statements.push_back(
            Make(Kind::SetValue, key, names[i], uint32_t(i), Bytes(i * 61, uint8_t(i))));
    const std::string text = regedit4::Format(statements);
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    std::string why;
    const auto back = regedit4::Parse(text, &why);
    ASSERT_TRUE(back) << why;
    EXPECT_EQ(Show(*back), Show(statements));
    EXPECT_EQ(regedit4::Format(*back), text);
}

} // namespace
