// The simulated registry: the CE registry API, the driver's access to it, and .reg files
// imported into it and exported from it.

// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <cesim/registry.h>

#include "platform/portable/regedit4.h"

namespace reg = cesim::reg;

namespace {

using Bytes = std::vector<uint8_t>;

const LONG kBadPathname = 161; // ERROR_BAD_PATHNAME
const std::string kVexo = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";

std::u16string Wide(const std::string& utf8) {
    return *reg::FromUtf8(utf8);
}
LPCWSTR W(const std::u16string& s) {
    return reinterpret_cast<LPCWSTR>(s.c_str());
}
std::u16string Str(const WCHAR* s) {
    return reinterpret_cast<const char16_t*>(s);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { reg::Clear(); }
    void TearDown() override {
        EXPECT_EQ(reg::OpenHandleCount(), 0u) << "the test leaked a handle";
    }

    static HKEY Create(const WCHAR* path, HKEY parent = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, 0, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static LONG Open(HKEY parent, const WCHAR* path, HKEY* key) {
        return RegOpenKeyExW(parent, path, 0, KEY_READ, key);
    }
    static LONG Set(HKEY key, const WCHAR* name, DWORD type, const Bytes& data) {
        return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    static Bytes Query(HKEY key, const WCHAR* name, DWORD* type = nullptr) {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, nullptr, &size), ERROR_SUCCESS);
        Bytes data(size + 1, 0xCC);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, type, data.data(), &size), ERROR_SUCCESS);
        data.resize(size);
        return data;
    }
};

class RegistryKeys : public Registry {};
class RegistryValues : public Registry {};
class RegistryEnum : public Registry {};
class RegistryDriver : public Registry {};
class RegText : public Registry {};

// ---- keys and handles ---------------------------------------------------------------------

TEST_F(RegistryKeys, CreateMakesIntermediateKeysKeepsCaseAndReportsDisposition) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo", 0, nullptr, 0, 0,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(reg::KeyExists("HKCU\\Software\\Holmvest"));

    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\holmvest\\VEXO", 0, nullptr, 0, 0,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    RegCloseKey(key);
    EXPECT_EQ(reg::SubKeys("HKCU\\Software"), std::vector<std::string>{"Holmvest"});
    EXPECT_FALSE(reg::KeyExists("HKLM\\Software\\Holmvest"));
}

TEST_F(RegistryKeys, OpenIgnoresCaseAndAccessAndFailsForMissingKeys) {
    reg::SetDword("HKLM\\Software\\Käse", "x", 1);
    HKEY key = reinterpret_cast<HKEY>(uintptr_t{1});
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, L"software\\K\u00C4SE", &key), ERROR_SUCCESS);
    // CE ignores the access mask: a read-only open may still write.
    EXPECT_EQ(Set(key, L"y", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(reg::GetDword("HKLM\\Software\\Käse", "y").has_value());

    key = reinterpret_cast<HKEY>(uintptr_t{1});
    EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, L"Software\\Missing", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Käse", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"x", nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryKeys, PathSyntaxFollowsWindows) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software", 0, nullptr, 0, 0, nullptr, &key, nullptr),
        kBadPathname);
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"A\\\\B", 0, nullptr, 0, 0, nullptr, &key, nullptr),
        kBadPathname);
    EXPECT_EQ(reg::SubKeys("HKCU"), std::vector<std::string>{});

    RegCloseKey(Create(L"Trailing\\\\"));
    EXPECT_EQ(reg::SubKeys("HKCU"), std::vector<std::string>{"Trailing"});
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"\\Trailing", &key), kBadPathname);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"\\", &key), kBadPathname);

    const std::u16string longest(255, u'k');
    RegCloseKey(Create(W(longest)));
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(longest + u"k"), 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryKeys, EmptyOrNullSubKeyOpensTheSameKeyAgain) {
    HKEY first = Create(L"A");
    HKEY again = nullptr, third = nullptr;
    ASSERT_EQ(Open(first, nullptr, &again), ERROR_SUCCESS);
    ASSERT_EQ(Open(first, L"", &third), ERROR_SUCCESS);
    EXPECT_NE(again, first);
    EXPECT_NE(third, again);
    EXPECT_EQ(reg::OpenHandleCount(), 3u);
    ASSERT_EQ(Set(again, L"v", REG_BINARY, {7}), ERROR_SUCCESS);
    EXPECT_EQ(Query(third, L"v"), Bytes{7});
    for (HKEY key : {first, again, third})
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Under a root, Windows returns the root itself; closing it is harmless.
    HKEY root = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"", &root), ERROR_SUCCESS);
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
    EXPECT_EQ(reg::OpenHandleCount(), 0u);
}

TEST_F(RegistryKeys, ClosedForgedAndNullHandlesAreInvalid) {
    HKEY key = Create(L"A");
    EXPECT_EQ(reg::OpenHandleCount(), 1u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(reg::OpenHandleCount(), 0u);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(key, L"v", REG_DWORD, {}), ERROR_INVALID_HANDLE);

    // A new handle never takes the number of a closed one.
    HKEY next = Create(L"A");
    EXPECT_NE(next, key);
    EXPECT_EQ(Set(key, L"v", REG_DWORD, {}), ERROR_INVALID_HANDLE);
    RegCloseKey(next);

    HKEY out = nullptr;
    for (HKEY bad : {static_cast<HKEY>(nullptr), reinterpret_cast<HKEY>(uintptr_t{0x1234567}),
                     reinterpret_cast<HKEY>(uintptr_t{0x80000004})}) {
        EXPECT_EQ(Open(bad, L"", &out), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryInfoKeyW(bad, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, HandlesOfADeletedKeyReportKeyDeleted) {
    HKEY key = Create(L"A\\B");
    HKEY child = Create(L"A\\B\\C");
    ASSERT_EQ(Set(key, L"old", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"a"), ERROR_SUCCESS);

    WCHAR name[16];
    DWORD length = 16, size = 4, count = 0;
    BYTE data[4];
    HKEY out = nullptr;
    for (HKEY gone : {key, child}) {
        EXPECT_EQ(RegQueryValueExW(gone, L"old", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
        EXPECT_EQ(Set(gone, L"new", REG_DWORD, {}), ERROR_KEY_DELETED);
        EXPECT_EQ(RegDeleteValueW(gone, L"old"), ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumKeyExW(gone, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumValueW(gone, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegQueryInfoKeyW(gone, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegCreateKeyExW(gone, L"D", 0, nullptr, 0, 0, nullptr, &out, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegDeleteKeyW(gone, L""), ERROR_KEY_DELETED);
    }
    // A key made again at the same path is a different key to the old handle.
    reg::SetDword("HKCU\\A\\B", "old", 2);
    EXPECT_EQ(RegQueryValueExW(key, L"old", nullptr, nullptr, data, &size), ERROR_KEY_DELETED);
    EXPECT_FALSE(reg::KeyExists("HKCU\\A\\B\\C"));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
}

TEST_F(RegistryKeys, DeleteKeyTakesTheWholeSubtree) {
    reg::SetDword("HKCU\\A\\B\\C", "v", 1);
    reg::SetDword("HKCU\\A\\Sibling", "v", 1);
    reg::SetDword("HKCU\\Other", "v", 1);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"A\\b"), ERROR_SUCCESS);
    EXPECT_EQ(reg::SubKeys("HKCU\\A"), std::vector<std::string>{"Sibling"});
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"A\\B"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L""), ERROR_ACCESS_DENIED);

    HKEY self = Create(L"A");
    EXPECT_EQ(RegDeleteKeyW(self, L""), ERROR_SUCCESS);
    RegCloseKey(self);
    EXPECT_EQ(reg::SubKeys("HKCU"), std::vector<std::string>{"Other"});
}

// ---- values -------------------------------------------------------------------------------

TEST_F(RegistryValues, DataIsStoredExactlyAsGiven) {
    struct Case {
        const char* what;
        DWORD type;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"two-byte dword", REG_DWORD, {5, 0}},
        {"string without terminator", REG_SZ, {'A', 0}},
        {"string of odd length", REG_SZ, {'A', 0, 'B'}},
        {"digits as a string", REG_SZ, {'4', 0, '2', 0, 0, 0}},
        {"empty binary", REG_BINARY, {}},
        {"unknown type", 0x12345, {0xFF}},
        {"large binary", REG_BINARY, Bytes(70000, 0x5A)},
    };
    HKEY key = Create(L"Values");
    for (const Case& c : cases) {
        const std::u16string name = Wide(c.what);
        ASSERT_EQ(Set(key, W(name), c.type, c.data), ERROR_SUCCESS) << c.what;
        DWORD type = 0;
        EXPECT_EQ(Query(key, W(name), &type), c.data) << c.what;
        EXPECT_EQ(type, c.type) << c.what;
        const std::optional<reg::Value> direct = reg::GetValue("HKCU\\Values", c.what);
        ASSERT_TRUE(direct) << c.what;
        EXPECT_EQ(direct->data, c.data) << c.what;
    }
    RegCloseKey(key);
}

TEST_F(RegistryValues, NamesIgnoreCaseAndNullOrEmptyIsTheDefault) {
    HKEY key = Create(L"V");
    ASSERT_EQ(Set(key, L"First", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, L"Colour", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, nullptr, REG_SZ, {'d', 0, 0, 0}), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L""), (Bytes{'d', 0, 0, 0}));
    EXPECT_EQ(reg::GetString("HKCU\\V", ""), u"d");

    // Rewriting keeps the place and the first spelling, and takes the new type.
    ASSERT_EQ(Set(key, L"COLOUR", REG_BINARY, {9}), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Query(key, L"colour", &type), Bytes{9});
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(reg::ValueNames("HKCU\\V"), (std::vector<std::string>{"First", "Colour", ""}));

    EXPECT_EQ(RegDeleteValueW(key, L"FIRST"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"First"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(reg::ValueNames("HKCU\\V"), std::vector<std::string>{"Colour"});
    RegCloseKey(key);
}

TEST_F(RegistryValues, QueryFollowsWin32BufferRules) {
    HKEY key = Create(L"V");
    ASSERT_EQ(Set(key, L"s", REG_SZ, {'a', 0, 'b', 0, 0, 0}), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);

    BYTE buffer[8];
    std::memset(buffer, 0xCC, sizeof buffer);
    size = 5;
    type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(buffer[0], 0xCC) << "a short buffer is left alone";

    size = 6;
    EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(Bytes(buffer, buffer + 8), (Bytes{'a', 0, 'b', 0, 0, 0, 0xCC, 0xCC}));

    EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    size = 8;
    EXPECT_EQ(RegQueryValueExW(key, L"none", nullptr, nullptr, buffer, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, 8u);

    EXPECT_EQ(RegSetValueExW(key, L"n", 0, REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, L"n", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, L"n"), Bytes{});
    RegCloseKey(key);
}

// ---- enumeration and key information -------------------------------------------------------

TEST_F(RegistryEnum, KeysAndValuesComeInCreationOrder) {
    for (const char* name : {"Zeta", "alpha", "Mid"}) {
        reg::SetDword("HKCU\\E\\" + std::string(name), "x", 0);
        reg::SetDword("HKCU\\E", name, 0);
    }
    ASSERT_TRUE(reg::DeleteKey("HKCU\\E\\ALPHA"));
    ASSERT_TRUE(reg::DeleteValue("HKCU\\E", "ALPHA"));
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"E", &key), ERROR_SUCCESS);
    std::vector<std::u16string> keys, values;
    WCHAR name[32];
    DWORD length = 32;
    for (DWORD i = 0;
         RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 32)
        keys.push_back(Str(name));
    for (DWORD i = 0;
         RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 32)
        values.push_back(Str(name));
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"Zeta", u"Mid"}));
    EXPECT_EQ(values, keys);
    EXPECT_EQ(RegEnumKeyExW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(RegistryEnum, ShortNameBufferGivesMoreDataAndLeavesItAlone) {
    reg::SetDword("HKCU\\E\\Holmvest", "x", 0);
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"E", &key), ERROR_SUCCESS);
    WCHAR name[16] = {u'#', 0};
    DWORD length = 8; // "Holmvest" needs 9 with its terminator
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Str(name), u"#");
    length = 9;
    WCHAR className[4] = {u'c', 0};
    DWORD classLength = 4;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, className, &classLength, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Str(name), u"Holmvest");
    EXPECT_EQ(classLength, 0u);
    EXPECT_EQ(Str(className), u"");
    EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryEnum, EnumValueReportsSizesLikeWindows) {
    HKEY key = Create(L"E");
    ASSERT_EQ(Set(key, L"Test", REG_SZ, Bytes(14, 'f')), ERROR_SUCCESS);
    WCHAR name[8] = {u'#', 0};
    BYTE data[20];
    std::memset(data, 0xCC, sizeof data);
    DWORD length = 4, size = 20, type = 0;
    // Name too short: name, its length and the data stay; type and data size are reported.
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Str(name), u"#");
    EXPECT_EQ(data[0], 0xCC);

    // Data too short: the name is written, the data is not.
    length = 8, size = 2;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(Str(name), u"Test");
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(data[0], 0xCC);

    length = 8, size = 0;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(RegEnumValueW(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryEnum, QueryInfoCountsAndMeasuresInCharactersWithoutTerminator) {
    reg::SetValue("HKCU\\I\\Short", "x", REG_BINARY, Bytes(3));
    reg::SetValue("HKCU\\I\\LongestKey", "x", REG_BINARY, Bytes(3));
    reg::SetValue("HKCU\\I", "LongName", REG_BINARY, Bytes(100));
    reg::SetValue("HKCU\\I", "", REG_BINARY, Bytes(7));
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"I", &key), ERROR_SUCCESS);
    DWORD subKeys = 99, maxSubKey = 99, maxClass = 99, values = 99, maxName = 99, maxData = 99;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, &maxClass,
                               &values, &maxName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSubKey, 10u);
    EXPECT_EQ(maxClass, 0u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 8u);
    EXPECT_EQ(maxData, 100u);
    RegCloseKey(key);

    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"I\\Short", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(maxSubKey, 0u);
    EXPECT_EQ(values, 1u);
    RegCloseKey(key);
}

// ---- failure injection --------------------------------------------------------------------

TEST_F(RegistryDriver, FailOpenHitsOnlyThatKeyUntilCleared) {
    reg::SetDword(kVexo + "\\Sub", "x", 1);
    reg::FailOpen("hkcu\\software\\HOLMVEST\\vexo", ERROR_ACCESS_DENIED);
    HKEY key = nullptr, parent = nullptr;
    EXPECT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Holmvest", &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExW(parent, L"Vexo", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(Open(parent, L"Vexo\\Sub", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // A failing create must not create the key either.
    reg::FailOpen("HKLM\\Software\\New", ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\New", 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_OUTOFMEMORY);
    EXPECT_FALSE(reg::KeyExists("HKLM\\Software\\New"));

    reg::FailOpen(kVexo, ERROR_SUCCESS);
    ASSERT_EQ(Open(parent, L"Vexo", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    reg::ClearFailures();
    RegCloseKey(Create(L"Software\\New", HKEY_LOCAL_MACHINE));
    RegCloseKey(parent);
}

TEST_F(RegistryDriver, FailWriteRejectsWritesAndKeepsTheData) {
    reg::SetDword(kVexo, "Hold", 500);
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo", &key), ERROR_SUCCESS);
    reg::FailWrite(kVexo, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Set(key, L"Hold", REG_DWORD, {1, 0, 0, 0}), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RegDeleteValueW(key, L"Hold"), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo"),
              ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(reg::GetDword(kVexo, "Hold"), 500u);
    reg::Clear(); // clears the failure and every handle
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    reg::SetDword(kVexo, "Hold", 1);
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"Hold"), ERROR_SUCCESS);
    RegCloseKey(key);
}

// ---- the driver's direct access -----------------------------------------------------------

TEST_F(RegistryDriver, PathsTakeAbbreviationsAndRejectTypos) {
    reg::SetDword("hkcu\\A", "x", 3);
    EXPECT_EQ(reg::GetDword("HKEY_CURRENT_USER\\a", "X"), 3u);
    EXPECT_FALSE(reg::GetDword("HKLM\\A", "x"));
    for (const char* bad : {"", "HKCX\\A", "HKCU\\\\A", "HKCU\\A\\", "Software\\A"})
        EXPECT_THROW(reg::KeyExists(bad), std::invalid_argument) << bad;
    EXPECT_THROW(reg::SetDword("HKCU\\A", "\xff", 1), std::invalid_argument);
    std::string deep = "HKCU";
    for (int i = 0; i < 512; ++i)
        deep += "\\k";
    EXPECT_FALSE(reg::KeyExists(deep));
    EXPECT_THROW(reg::KeyExists(deep + "\\k"), std::invalid_argument);
    EXPECT_FALSE(reg::DeleteKey("HKCU"));
    EXPECT_FALSE(reg::DeleteKey("HKCU\\Missing"));
}

TEST_F(RegistryDriver, TypedGettersAnswerOnlyForTheirShape) {
    reg::SetValue("HKCU\\T", "bin4", REG_BINARY, {1, 0, 0, 0});
    reg::SetValue("HKCU\\T", "short", REG_DWORD, {1, 0});
    reg::SetValue("HKCU\\T", "bare", REG_SZ, {'h', 0, 'i', 0});
    reg::SetValue("HKCU\\T", "nul", REG_SZ, {'a', 0, 0, 0, 'b', 0});
    reg::SetValue("HKCU\\T", "odd", REG_SZ, {'a', 0, 0});
    reg::SetString("HKCU\\T", "s", u"Vexo");
    EXPECT_FALSE(reg::GetDword("HKCU\\T", "bin4"));
    EXPECT_FALSE(reg::GetDword("HKCU\\T", "short"));
    EXPECT_EQ(reg::GetString("HKCU\\T", "bare"), u"hi");
    EXPECT_EQ(reg::GetString("HKCU\\T", "nul"), u"a");
    EXPECT_FALSE(reg::GetString("HKCU\\T", "odd"));
    EXPECT_FALSE(reg::GetString("HKCU\\T", "bin4"));
    EXPECT_EQ(reg::GetValue("HKCU\\T", "s")->data, (Bytes{'V', 0, 'e', 0, 'x', 0, 'o', 0, 0, 0}));
}

// ---- .reg text ----------------------------------------------------------------------------

TEST_F(RegText, ImportAppliesEveryStatementInFileOrder) {
    reg::SetDword("HKLM\\Old\\Deep", "x", 1);
    const std::string text = "REGEDIT4\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\r\n"
                             "@=\"default\"\n"
                             "\"Path\"=\"\\\\Program Files\\\\Vexo\"\r\n"
                             "\"Hold\"=dword:000001F4\r\n"
                             "\"Two\"=hex(4):05,00\r\n"
                             "\"Gone\"=dword:1\r\n"
                             "\"Gone\"=-\r\n"
                             "[hkcu\\software\\holmvest\\vexo\\Keep]\r\n"
                             "[HKEY_LOCAL_MACHINE\\Temp\\Child]\r\n"
                             "\"v\"=dword:1\r\n"
                             "[-HKEY_LOCAL_MACHINE\\Temp]\r\n"
                             "[-HKLM\\Old]\r\n"
                             "[-HKLM\\Never\\There]\r\n";
    std::string error;
    ASSERT_TRUE(reg::ImportRegText(text, &error)) << error;
    EXPECT_EQ(reg::GetString(kVexo, ""), u"default");
    EXPECT_EQ(reg::GetString(kVexo, "path"), u"\\Program Files\\Vexo");
    EXPECT_EQ(reg::GetDword(kVexo, "Hold"), 500u);
    // Stored exactly as given: a dword of two bytes is no number, but it is what the file says.
    EXPECT_EQ(reg::GetValue(kVexo, "Two")->data, (Bytes{5, 0}));
    EXPECT_EQ(reg::GetValue(kVexo, "Two")->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_FALSE(reg::GetValue(kVexo, "Gone"));
    EXPECT_EQ(reg::SubKeys(kVexo), std::vector<std::string>{"Keep"});
    EXPECT_EQ(reg::SubKeys("HKLM"), std::vector<std::string>{});
}

TEST_F(RegText, AnyBadLineRejectsTheWholeFile) {
    // Each bad line follows statements that would change the registry if they were applied.
    const std::string good = "REGEDIT4\r\n"
                             "[-HKEY_CURRENT_USER\\Keep]\r\n"
                             "[HKEY_CURRENT_USER\\New]\r\n"
                             "\"v\"=dword:00000002\r\n";
    const std::vector<std::string> bad = {
        // The syntax, which the reader checks...
        "[HKEY_CURRENT_USER\\A",
        "\"a\"=hex:01,2g",
        // ...and the paths, which only the registry can.
        "[HKEY_NOWHERE\\A]",
        "[Software\\A]",
        "[HKEY_CURRENT_USER\\A\\\\B]",
        "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]",
        "[-HKEY_CURRENT_USER]",
    };
    reg::SetDword("HKCU\\Keep", "v", 1);
    const std::string before = reg::ExportRegText("HKCU");
    for (const std::string& line : bad) {
        std::string error;
        EXPECT_FALSE(reg::ImportRegText(good + line + "\r\n", &error)) << line;
        EXPECT_EQ(error.rfind("line 5: ", 0), 0u) << line << " gave " << error;
        EXPECT_EQ(reg::ExportRegText("HKCU"), before) << line;
    }
}

TEST_F(RegText, ExportWritesRegedit4InCreationOrder) {
    reg::SetDword(kVexo, "Hold", 500);
    reg::SetString(kVexo, "", u"Vexo");
    reg::SetString(kVexo + "\\Lang", "File", u"\\Program Files\\\"x\".lng");
    reg::SetValue(kVexo + "\\Empty", "", REG_BINARY, {});
    reg::DeleteValue(kVexo + "\\Empty", "");
    reg::SetValue(kVexo, "Face", REG_BINARY, {0xDE, 0xAD});
    EXPECT_EQ(reg::ExportRegText("hkcu\\software\\holmvest\\vexo"),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\r\n"
              "\"Hold\"=dword:000001f4\r\n"
              "@=\"Vexo\"\r\n"
              "\"Face\"=hex:de,ad\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Lang]\r\n"
              "\"File\"=\"\\\\Program Files\\\\\\\"x\\\".lng\"\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Empty]\r\n"
              "\r\n");
    EXPECT_EQ(reg::ExportRegText("HKCU\\Software\\Missing"), "");
}

TEST_F(RegText, OddNamesAndLongDataRoundTripByteExact) {
    const std::u16string lone = std::u16string(1, char16_t(0xD800)) + u"x";
    const std::vector<std::u16string> names = {
        u"", u"@", u"with \"quotes\" and \\back\\slashes", u"line\r\nbreak", u"Ünïcödé €", lone,
    };
    HKEY key = Create(L"Round\\K\u00E4se \u20AC\\]odd[");
    for (size_t i = 0; i < names.size(); ++i) {
        Bytes data(i * 61, static_cast<uint8_t>(i));
        ASSERT_EQ(Set(key, W(names[i]), static_cast<DWORD>(i), data), ERROR_SUCCESS);
    }
    RegCloseKey(key);
    RegCloseKey(Create(W(u"Round\\" + lone)));
    RegCloseKey(Create(L"Round\\Empty"));

    const std::string text = reg::ExportRegText("HKCU\\Round");
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);

    reg::Clear();
    std::string error;
    ASSERT_TRUE(reg::ImportRegText(text, &error)) << error;
    EXPECT_EQ(reg::ExportRegText("HKCU\\Round"), text);
    HKEY back = nullptr;
    ASSERT_EQ(Open(HKEY_CURRENT_USER, L"ROUND\\K\u00C4SE \u20AC\\]odd[", &back), ERROR_SUCCESS);
    for (size_t i = 0; i < names.size(); ++i) {
        DWORD type = 99;
        EXPECT_EQ(Query(back, W(names[i]), &type), Bytes(i * 61, static_cast<uint8_t>(i)));
        EXPECT_EQ(type, static_cast<DWORD>(i));
    }
    RegCloseKey(back);
    EXPECT_EQ(reg::SubKeys("HKCU\\Round"),
              (std::vector<std::string>{"Käse €", reg::ToUtf8(lone), "Empty"}));
}

TEST_F(RegText, FilesOnTheHost) {
    const std::string path = ::testing::TempDir() + "registry_test.reg";
    reg::SetDword(kVexo, "Hold", 500);
    ASSERT_TRUE(reg::ExportRegFile(kVexo, path));
    EXPECT_FALSE(reg::ExportRegFile("HKCU\\Missing", path + ".none"));
    reg::Clear();
    std::string error;
    ASSERT_TRUE(reg::ImportRegFile(path, &error)) << error;
    EXPECT_EQ(reg::GetDword(kVexo, "Hold"), 500u);
    std::ofstream(path, std::ios::binary) << "REGEDIT4\n[HKCU\\X]\nbad\n";
    EXPECT_FALSE(reg::ImportRegFile(path, &error));
    EXPECT_EQ(error, path + ": line 3: expected a [key] or a value");
    EXPECT_FALSE(reg::ImportRegFile(path + ".none", &error));
    EXPECT_NE(error.find(path + ".none"), std::string::npos);
    std::remove(path.c_str());
}

// ---- threads ------------------------------------------------------------------------------

TEST_F(Registry, ConcurrentWritersAndReadersLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kValues = 150;
    RegCloseKey(Create(L"Stress"));
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            const std::u16string path = u"Stress\\T" + Wide(std::to_string(t));
            HKEY key = Create(W(path));
            for (int i = 0; i < kValues; ++i) {
                const std::u16string name = u"v" + Wide(std::to_string(i));
                const Bytes data = {static_cast<uint8_t>(t), static_cast<uint8_t>(i)};
                EXPECT_EQ(Set(key, W(name), REG_BINARY, data), ERROR_SUCCESS);
                // Churn a shared key that others enumerate and delete meanwhile.
                HKEY shared = Create(L"Stress\\Shared");
                const LONG status = Set(shared, W(name), REG_DWORD, {1, 0, 0, 0});
                EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_KEY_DELETED) << status;
                RegCloseKey(shared);
            }
            RegCloseKey(key);
        });
    }
    std::thread reader([&stop] {
        while (!stop) {
            HKEY shared = nullptr;
            if (Open(HKEY_CURRENT_USER, L"Stress\\Shared", &shared) == ERROR_SUCCESS) {
                WCHAR name[16];
                DWORD length = 16;
                for (DWORD i = 0; RegEnumValueW(shared, i, name, &length, nullptr, nullptr, nullptr,
                                                nullptr) == ERROR_SUCCESS;
                     ++i)
                    length = 16;
                RegCloseKey(shared);
            }
            EXPECT_TRUE(regedit4::Parse(reg::ExportRegText("HKCU\\Stress")));
            RegDeleteKeyW(HKEY_CURRENT_USER, L"Stress\\Shared");
        }
    });
    for (std::thread& w : writers)
        w.join();
    stop = true;
    reader.join();

    for (int t = 0; t < kThreads; ++t) {
        const std::string path = "HKCU\\Stress\\T" + std::to_string(t);
        ASSERT_EQ(reg::ValueNames(path).size(), static_cast<size_t>(kValues)) << path;
        for (int i = 0; i < kValues; i += 37) {
            EXPECT_EQ(reg::GetValue(path, "v" + std::to_string(i))->data,
                      (Bytes{static_cast<uint8_t>(t), static_cast<uint8_t>(i)}));
        }
    }
}

} // namespace
