// The device's C runtime: 16-bit wide strings, Microsoft printf rules, wcstol with a 32-bit
// long, case folding and code pages.
// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include <windows.h>

static_assert(sizeof(wchar_t) == 2, "the simulated device is built with -fshort-wchar");

namespace {

std::u16string U16(const wchar_t* s, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(s), length);
}

std::u16string U16(const wchar_t* s) {
    return U16(s, cesim_wcslen(s));
}

// Formats into a roomy buffer; the result must be terminated and its length returned.
template <typename... A> std::u16string Wide(const wchar_t* format, A... args) {
    wchar_t buffer[256];
    int length = cesim_snwprintf(buffer, 256, format, args...);
    if (length < 0 || cesim_wcslen(buffer) != static_cast<size_t>(length)) {
        ADD_FAILURE() << "_snwprintf returned " << length;
        return u"";
    }
    return U16(buffer, length);
}

template <typename... A> std::string Narrow(const char* format, A... args) {
    char buffer[256];
    int length = cesim_snprintf(buffer, 256, format, args...);
    if (length < 0 || std::strlen(buffer) != static_cast<size_t>(length)) {
        ADD_FAILURE() << "_snprintf returned " << length;
        return "";
    }
    return std::string(buffer, length);
}

template <typename... A> std::u16string User32(const wchar_t* format, A... args) {
    wchar_t buffer[1100];
    int length = wsprintfW(buffer, format, args...);
    EXPECT_EQ(static_cast<size_t>(length), cesim_wcslen(buffer));
    return U16(buffer);
}

// The va_list entry points, reached the way a program's own logging helper reaches them.
int VsnWide(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = cesim_vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int VsNarrow(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = cesim_vsprintf(buffer, format, args);
    va_end(args);
    return result;
}

constexpr wchar_t kSentinel = 0x7777;

// ---- strings ------------------------------------------------------------------------------

TEST(WideStrings, CopyConcatenateAndMeasure) {
    wchar_t buffer[16];
    cesim_wcscpy(buffer, L"Task");
    cesim_wcscat(buffer, L"Bar");
    EXPECT_EQ(U16(buffer), u"TaskBar");
    EXPECT_EQ(cesim_wcslen(buffer), 7u);
    EXPECT_EQ(cesim_wcslen(L""), 0u);
}

TEST(WideStrings, BoundedCopyPadsWithNulsAndLeavesLongSourcesUnterminated) {
    wchar_t buffer[6];
    std::fill_n(buffer, 6, kSentinel);
    cesim_wcsncpy(buffer, L"ab", 5);
    EXPECT_EQ(U16(buffer, 6), std::u16string(u"ab\0\0\0", 5) + char16_t(kSentinel));

    std::fill_n(buffer, 6, kSentinel);
    cesim_wcsncpy(buffer, L"abcdef", 3);
    EXPECT_EQ(buffer[2], L'c');
    EXPECT_EQ(buffer[3], kSentinel);
}

TEST(WideStrings, CompareOrdersCodeUnitsAsUnsigned) {
    EXPECT_GT(cesim_wcscmp(L"\xFF00", L"a"), 0);
    EXPECT_LT(cesim_wcscmp(L"ab", L"abc"), 0);
    EXPECT_EQ(cesim_wcscmp(L"abc", L"abc"), 0);
    EXPECT_EQ(cesim_wcsncmp(L"abcX", L"abcY", 3), 0);
    EXPECT_LT(cesim_wcsncmp(L"abcX", L"abcY", 4), 0);
}

TEST(WideStrings, Search) {
    const wchar_t* text = L"hello world";
    EXPECT_EQ(cesim_wcschr(text, L'o'), text + 4);
    EXPECT_EQ(cesim_wcsrchr(text, L'o'), text + 7);
    EXPECT_EQ(cesim_wcschr(text, L'z'), nullptr);
    EXPECT_EQ(cesim_wcsrchr(text, L'z'), nullptr);
    EXPECT_EQ(cesim_wcschr(text, 0), text + 11);
    EXPECT_EQ(cesim_wcsrchr(text, 0), text + 11);
    EXPECT_EQ(cesim_wcsstr(text, L"o w"), text + 4);
    EXPECT_EQ(cesim_wcsstr(text, L""), text);
    EXPECT_EQ(cesim_wcsstr(text, L"worlds"), nullptr);
    const wchar_t* repeated = L"aab";
    EXPECT_EQ(cesim_wcsstr(repeated, L"ab"), repeated + 1);
}

TEST(WideStrings, DuplicateMakesAnIndependentCopy) {
    const wchar_t* original = L"calendar.exe";
    wchar_t* copy = cesim_wcsdup(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_EQ(U16(copy), u"calendar.exe");
    free(copy);
    EXPECT_EQ(cesim_wcsdup(nullptr), nullptr);
}

// ---- case and classes ---------------------------------------------------------------------

TEST(CaseFolding, CompareIgnoresCaseBeyondAscii) {
    EXPECT_EQ(cesim_wcsicmp(L"Calendar", L"cALENDAR"), 0);
    EXPECT_EQ(cesim_wcsicmp(L"ÉCOLE ÄÖÜ Ÿ", L"école äöü ÿ"), 0);
    EXPECT_EQ(cesim_wcsicmp(L"ŁÓDŹ", L"łódź"), 0);
    EXPECT_EQ(cesim_wcsicmp(L"ПРИВЕТ ΣΟΦΊΑ", L"привет σοφία"), 0);
    EXPECT_NE(cesim_wcsicmp(L"e", L"é"), 0);
    EXPECT_EQ(cesim_wcsnicmp(L"TaskBar", L"taskbox", 5), 0);
    EXPECT_NE(cesim_wcsnicmp(L"TaskBar", L"taskbox", 6), 0);
    EXPECT_LT(cesim_wcsicmp(L"abc", L"ABCD"), 0);
}

TEST(CaseFolding, FoldsToLowerCaseSoPunctuationSortsBeforeLetters) {
    // '_' lies between 'Z' and 'a': folding to upper case would sort it after the letters.
    EXPECT_LT(cesim_wcsicmp(L"_", L"A"), 0);
    EXPECT_LT(cesim_wcsicmp(L"_", L"a"), 0);
    EXPECT_GT(cesim_wcsicmp(L"B", L"a"), 0);
}

TEST(CaseFolding, LeavesNonLettersAtTheEdgesOfTheRangesAlone) {
    for (wchar_t c : {L'@', L'[', L'`', L'{', L'\xD7', L'\xF7', L'\xDF', L'\xB5', L'1'}) {
        EXPECT_EQ(cesim_towlower(c), c) << int(c);
        EXPECT_EQ(cesim_towupper(c), c) << int(c);
    }
    EXPECT_EQ(cesim_towlower(L'A'), L'a');
    EXPECT_EQ(cesim_towupper(L'z'), L'Z');
    EXPECT_EQ(cesim_towlower(L'\xC0'), L'\xE0');
    EXPECT_EQ(cesim_towlower(L'\xDE'), L'\xFE');
    EXPECT_EQ(cesim_towupper(L'\xFF'), L'\x178');
    EXPECT_EQ(cesim_towlower(L'\x178'), L'\xFF');
    EXPECT_EQ(cesim_towupper(L'\x3C2'), L'\x3A3'); // final sigma
    EXPECT_EQ(cesim_towlower(L'\x401'), L'\x451');
    EXPECT_EQ(cesim_towlower(L'\xFF21'), L'\xFF41');
}

TEST(CaseFolding, EveryMappingRoundTrips) {
    for (unsigned u = 1; u < 0x10000; ++u) {
        wchar_t c = static_cast<wchar_t>(u);
        wchar_t lower = cesim_towlower(c);
        wchar_t upper = cesim_towupper(c);
        if (lower != c) {
            EXPECT_EQ(cesim_towupper(lower), c) << std::hex << u;
        }
        if (upper != c && u != 0x3C2) { // final sigma shares its capital
            EXPECT_EQ(cesim_towlower(upper), c) << std::hex << u;
        }
        EXPECT_FALSE(lower != c && upper != c) << std::hex << u;
    }
}

TEST(CharacterClasses, SpacesAndDigits) {
    for (wchar_t c : {L' ', L'\t', L'\n', L'\v', L'\f', L'\r', L'\xA0', L'\x2003', L'\x3000'})
        EXPECT_TRUE(cesim_iswspace(c)) << int(c);
    for (wchar_t c : {L'a', L'0', L'\0', L'\x200B', L'_'})
        EXPECT_FALSE(cesim_iswspace(c)) << int(c);
    EXPECT_TRUE(cesim_iswdigit(L'0'));
    EXPECT_TRUE(cesim_iswdigit(L'9'));
    EXPECT_FALSE(cesim_iswdigit(L'/'));
    EXPECT_FALSE(cesim_iswdigit(L':'));
    EXPECT_FALSE(cesim_iswdigit(L'a'));
}

// ---- wcstol -------------------------------------------------------------------------------

TEST(WideToLong, WhitespaceSignAndBases) {
    wchar_t* end = nullptr;
    const wchar_t* text = L" \t-42xyz";
    EXPECT_EQ(cesim_wcstol(text, &end, 10), -42);
    EXPECT_EQ(end, text + 5);
    EXPECT_EQ(cesim_wcstol(L"+17", nullptr, 10), 17);
    EXPECT_EQ(cesim_wcstol(L"0x1A", nullptr, 16), 26);
    EXPECT_EQ(cesim_wcstol(L"1a", nullptr, 16), 26);
    EXPECT_EQ(cesim_wcstol(L"0X1a", nullptr, 0), 26);
    EXPECT_EQ(cesim_wcstol(L"-017", nullptr, 0), -15);
    EXPECT_EQ(cesim_wcstol(L"17", nullptr, 0), 17);
    EXPECT_EQ(cesim_wcstol(L"zZ", nullptr, 36), 1295);
    text = L"1012";
    EXPECT_EQ(cesim_wcstol(text, &end, 2), 5);
    EXPECT_EQ(end, text + 3);
    text = L"089";
    EXPECT_EQ(cesim_wcstol(text, &end, 0), 0);
    EXPECT_EQ(end, text + 1);
}

TEST(WideToLong, NothingReadLeavesEndAtTheStart) {
    wchar_t* end = nullptr;
    for (const wchar_t* text : {L"  abc", L"", L"-", L" +x", L"0x", L"0xg"}) {
        EXPECT_EQ(cesim_wcstol(text, &end, 0), 0);
        EXPECT_EQ(end, text) << "input of " << cesim_wcslen(text) << " characters";
    }
    for (int base : {1, 37, -1}) {
        errno = 0;
        const wchar_t* text = L"12";
        EXPECT_EQ(cesim_wcstol(text, &end, base), 0);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(end, text);
    }
}

TEST(WideToLong, OverflowClampsToTheDevicesThirtyTwoBitLong) {
    struct Case {
        const wchar_t* text;
        int base;
        int32_t value;
        bool overflow;
    } cases[] = {
        {L"2147483647", 10, INT32_MAX, false},          {L"2147483648", 10, INT32_MAX, true},
        {L"-2147483648", 10, INT32_MIN, false},         {L"-2147483649", 10, INT32_MIN, true},
        {L"99999999999999999999", 10, INT32_MAX, true}, {L"0xFFFFFFFF", 16, INT32_MAX, true},
        {L"-0x80000000", 0, INT32_MIN, false},          {L"7fffffff", 16, INT32_MAX, false},
    };
    for (const Case& c : cases) {
        errno = 0;
        wchar_t* end = nullptr;
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(cesim_wcstol(c.text, &end, c.base), c.value);
        EXPECT_EQ(errno, c.overflow ? ERANGE : 0);
        EXPECT_EQ(end, c.text + cesim_wcslen(c.text)); // every digit is consumed
    }
}

TEST(WideToLong, WtoiIsDecimalAndClamped) {
    EXPECT_EQ(cesim_wtoi(L" 123abc"), 123);
    EXPECT_EQ(cesim_wtoi(L"-0"), 0);
    EXPECT_EQ(cesim_wtoi(L"0x10"), 0);
    EXPECT_EQ(cesim_wtoi(L"010"), 10);
    EXPECT_EQ(cesim_wtoi(L"3000000000"), INT_MAX);
    EXPECT_EQ(cesim_wtoi(L"-3000000000"), INT_MIN);
}

// ---- wide printf --------------------------------------------------------------------------

TEST(WidePrintf, SignedIntegersWithFlagsWidthAndPrecision) {
    EXPECT_EQ(Wide(L"%d|%i|%d", 0, -1, INT_MIN), u"0|-1|-2147483648");
    EXPECT_EQ(Wide(L"[%5d][%-5d]", 42, 42), u"[   42][42   ]");
    EXPECT_EQ(Wide(L"[%05d][%-05d]", -42, -42), u"[-0042][-42  ]");
    EXPECT_EQ(Wide(L"%+d %+d % d %+ d", 5, -5, 5, 5), u"+5 -5  5 +5");
    EXPECT_EQ(Wide(L"[%.3d][%08.3d][%.0d]", 7, -7, 0), u"[007][    -007][]");
}

TEST(WidePrintf, SizesFollowTheDevice) {
    EXPECT_EQ(Wide(L"%hd %hu", 65535, 65541), u"-1 5");
    // long is 32 bits on the device.
    EXPECT_EQ(Wide(L"%ld %lu %lx", int32_t(-1), int32_t(-1), 0xFFFFFFFFu),
              u"-1 4294967295 ffffffff");
    EXPECT_EQ(Wide(L"%I64d %lld", INT64_MIN, 1LL << 40), u"-9223372036854775808 1099511627776");
    EXPECT_EQ(Wide(L"%I64X %I64u", 0x123450067890AULL, -123LL),
              u"123450067890A 18446744073709551493");
    EXPECT_EQ(Wide(L"%I32x %I32d", -0x12345, 7), u"fffedcbb 7");
    EXPECT_EQ(Wide(L"%Id %Ix", intptr_t(-12345), uintptr_t(0xABCDEF)), u"-12345 abcdef");
}

TEST(WidePrintf, MixedSizesKeepArgumentsAligned) {
    EXPECT_EQ(Wide(L"%I64d|%d|%s|%Id|%hd|%c", 1LL << 33, 7, L"x", intptr_t(-3), 9, L'z'),
              u"8589934592|7|x|-3|9|z");
}

TEST(WidePrintf, UnsignedHexAndOctal) {
    EXPECT_EQ(Wide(L"%u %x %X", 3000000000u, 255, 255), u"3000000000 ff FF");
    EXPECT_EQ(Wide(L"%#x %#X %#x [%#06x]", 255, 255, 0, 255), u"0xff 0XFF 0 [0x00ff]");
    EXPECT_EQ(Wide(L"%o %#o %#o [%#.0o] [%.0x]", 8, 8, 0, 0, 0), u"10 010 0 [0] []");
    EXPECT_EQ(Wide(L"[%-#6x]", 10), u"[0xa   ]");
}

TEST(WidePrintf, PointersPrintEveryDigitInCapitals) {
    ASSERT_EQ(sizeof(void*), 8u);
    void* pointer = reinterpret_cast<void*>(uintptr_t(0x1234ABCD));
    EXPECT_EQ(Wide(L"%p", pointer), u"000000001234ABCD");
    EXPECT_EQ(Wide(L"%p", static_cast<void*>(nullptr)), u"0000000000000000");
    EXPECT_EQ(Wide(L"%p", reinterpret_cast<void*>(uintptr_t(0xFEDCBA9876543210u))),
              u"FEDCBA9876543210");
    EXPECT_EQ(Wide(L"[%20p]", pointer), u"[    000000001234ABCD]");
}

TEST(WidePrintf, StringsOfBothWidths) {
    EXPECT_EQ(Wide(L"%s %ls %ws %lS", L"a", L"b", L"c", L"d"), u"a b c d");
    EXPECT_EQ(Wide(L"%S %hs %hS", "e", "f", "g"), u"e f g");
    EXPECT_EQ(Wide(L"%S", "caf\xE9"), u"café"); // bytes become Latin-1
    EXPECT_EQ(Wide(L"%s", L"\xD83D\xDE00 \x20AC"), u"\U0001F600 €");
    EXPECT_EQ(Wide(L"[%5s][%-5S][%.2s][%.2S]", L"ab", "ab", L"abc", "abc"),
              u"[   ab][ab   ][ab][ab]");
    // The Microsoft runtime pads text with zeros when asked to.
    EXPECT_EQ(Wide(L"[%05s][%-05s]", L"ab", L"ab"), u"[000ab][ab   ]");
}

TEST(WidePrintf, NullStringsPrintNull) {
    EXPECT_EQ(Wide(L"%s|%S|%.3s|%8hs", static_cast<const wchar_t*>(nullptr),
                   static_cast<const char*>(nullptr), static_cast<const wchar_t*>(nullptr),
                   static_cast<const char*>(nullptr)),
              u"(null)|(null)|(nu|  (null)");
}

TEST(WidePrintf, PrecisionStopsReadingAnUnterminatedString) {
    const wchar_t wide[3] = {L'a', L'b', L'c'};
    const char narrow[2] = {'x', 'y'};
    EXPECT_EQ(Wide(L"%.3s%.2S", wide, narrow), u"abcxy");
}

TEST(WidePrintf, Characters) {
    EXPECT_EQ(Wide(L"%c%C%hc%lc%wc%hC%lC", L'\x3A9', 'A', 'B', 0x20AC, L'w', 'h', L'l'),
              u"ΩAB€whl");
    EXPECT_EQ(Wide(L"%C", '\xE9'), u"é");
    EXPECT_EQ(Wide(L"[%3c][%-3c][%03c]", L'x', L'y', L'z'), u"[  x][y  ][00z]");

    // A NUL character is output and counted like any other.
    wchar_t buffer[8];
    std::fill_n(buffer, 8, kSentinel);
    EXPECT_EQ(cesim_snwprintf(buffer, 8, L"a%cb", 0), 3);
    EXPECT_EQ(U16(buffer, 4), std::u16string(u"a\0b\0", 4));
}

TEST(WidePrintf, PercentAndUnknownConversions) {
    EXPECT_EQ(Wide(L"100%%"), u"100%");
    EXPECT_EQ(Wide(L"%y %5k %-#q|%d", 3), u"y k q|3");
    EXPECT_EQ(Wide(L"abc%"), u"abc");
    EXPECT_EQ(Wide(L"abc%-5"), u"abc");
}

TEST(WidePrintf, StarTakesWidthAndPrecisionFromArguments) {
    EXPECT_EQ(Wide(L"[%*d][%*d]", 5, 42, -5, 42), u"[   42][42   ]");
    EXPECT_EQ(Wide(L"[%.*s][%.*d]", 2, L"abcdef", -1, 5), u"[ab][5]");
    EXPECT_EQ(Wide(L"[%-*.*s]", 6, 3, L"abcdef"), u"[abc   ]");
}

TEST(WidePrintf, FloatingPointHasThreeExponentDigits) {
    // No ties: the host rounds them to even, the Microsoft runtime away from zero.
    EXPECT_EQ(Wide(L"%f|%.2f|%.0f", 3.14159, 0.126, 7.0), u"3.141590|0.13|7");
    EXPECT_EQ(Wide(L"%e|%E", 12345.678, 0.00012), u"1.234568e+004|1.200000E-004");
    EXPECT_EQ(Wide(L"%g|%g|%G|%.0e", 1e20, 0.5, 1e-10, 1e-300), u"1e+020|0.5|1E-010|1e-300");
    EXPECT_EQ(Wide(L"[%10.3f][%010.3f][%-8.1f]", -1.5, -1.5, 2.0),
              u"[    -1.500][-00001.500][2.0     ]");
    EXPECT_EQ(Wide(L"%+.1e|% .1f|%#.0f", 0.0, 1.0, 3.0), u"+0.0e+000| 1.0|3.");
    EXPECT_EQ(Wide(L"%Lf|%d", static_cast<long double>(0.25), 9), u"0.250000|9");
    EXPECT_EQ(Wide(L"[%012.3e]", 1234.25), u"[001.234e+003]");
}

// ---- truncation ---------------------------------------------------------------------------

TEST(WidePrintfTruncation, CountedOutput) {
    wchar_t buffer[8];
    std::fill_n(buffer, 8, kSentinel);
    EXPECT_EQ(cesim_snwprintf(buffer, 8, L"%s", L"abc"), 3);
    EXPECT_EQ(U16(buffer, 4), std::u16string(u"abc\0", 4));

    // Exactly full: everything written, no terminator, the count returned.
    std::fill_n(buffer, 8, kSentinel);
    EXPECT_EQ(cesim_snwprintf(buffer, 3, L"%s", L"abc"), 3);
    EXPECT_EQ(U16(buffer, 4), u"abc" + std::u16string(1, kSentinel));

    // Too long: as much as fits, no terminator, -1.
    std::fill_n(buffer, 8, kSentinel);
    EXPECT_EQ(cesim_snwprintf(buffer, 2, L"%s", L"abc"), -1);
    EXPECT_EQ(U16(buffer, 3), u"ab" + std::u16string(1, kSentinel));

    std::fill_n(buffer, 8, kSentinel);
    EXPECT_EQ(VsnWide(buffer, 4, L"%10d", 5), -1);
    EXPECT_EQ(U16(buffer, 5), u"    " + std::u16string(1, kSentinel));

    EXPECT_EQ(cesim_snwprintf(nullptr, 0, L"%5d", 1), -1);
    EXPECT_EQ(cesim_snwprintf(nullptr, 0, L""), 0);
}

TEST(WidePrintfTruncation, SwprintfIsUnbounded) {
    wchar_t buffer[3000];
    EXPECT_EQ(cesim_swprintf(buffer, L"%s-%d", L"ab", 12), 5);
    EXPECT_EQ(U16(buffer), u"ab-12");
    EXPECT_EQ(cesim_swprintf(buffer, L"%2000d", 1), 2000);
    EXPECT_EQ(buffer[1999], L'1');
    EXPECT_EQ(buffer[2000], 0);
}

// ---- wsprintfW ----------------------------------------------------------------------------

TEST(User32Printf, FormatsIntegersStringsAndCharacters) {
    EXPECT_EQ(User32(L"%d %s %S %c %C", 5, L"w", "n", L'x', 'y'), u"5 w n x y");
    EXPECT_EQ(User32(L"%010ld", -1), u"-000000001");
    EXPECT_EQ(User32(L"%I64X|%I32x|%u", 0x123450067890AULL, -0x12345, 4000000000u),
              u"123450067890A|fffedcbb|4000000000");
    EXPECT_EQ(User32(L"%p", reinterpret_cast<void*>(uintptr_t(0xABC))), u"0000000000000ABC");
    EXPECT_EQ(User32(L"[%-4s][%.1s][%05s]", L"ab", L"ab", L"ab"), u"[ab  ][a][   ab]");
    EXPECT_EQ(User32(L"%#x %#x", 0, 31), u"0x0 0x1f");
    EXPECT_EQ(User32(L"%s", static_cast<const wchar_t*>(nullptr)), u"(null)");
}

TEST(User32Printf, HasNoFloatingPointNoStarAndNoSignFlags) {
    // Unknown conversions print as themselves and take no argument.
    EXPECT_EQ(User32(L"%f|%d", 7), u"f|7");
    EXPECT_EQ(User32(L"%+d|%*d|% d", 1), u"+d|*d| d");
    EXPECT_EQ(User32(L"%o%d", 2), u"o2");
}

TEST(User32Printf, StopsAt1023Characters) {
    wchar_t buffer[1100];
    std::fill_n(buffer, 1100, kSentinel);
    EXPECT_EQ(wsprintfW(buffer, L"%2000d", 7), 1023);
    EXPECT_EQ(buffer[1022], L' ');
    EXPECT_EQ(buffer[1023], 0);
    EXPECT_EQ(buffer[1024], kSentinel);
}

// ---- narrow printf ------------------------------------------------------------------------

TEST(NarrowPrintf, CapitalSTakesAWideString) {
    EXPECT_EQ(Narrow("%S|%ls|%s|%hs", L"Größe", L"w", "n", "h"), "Gr\366\337e|w|n|h");
    EXPECT_EQ(Narrow("%S", L"€5 Ω"), "?5 ?");
    EXPECT_EQ(Narrow("[%-6S][%.2S][%4S]", L"ab", L"abcd", static_cast<const wchar_t*>(nullptr)),
              "[ab    ][ab][(null)]");
    EXPECT_EQ(Narrow("%c%C%C%lc%hC", 'x', L'\xE9', L'\x3A9', L'y', 'z'), "x\xE9?yz");
    EXPECT_EQ(Narrow("%S: closed %d of %u", L"Calendar", 2, 3u), "Calendar: closed 2 of 3");
    EXPECT_EQ(Narrow("%ld|%I64d|%p", int32_t(-1), 1LL << 32, static_cast<void*>(nullptr)),
              "-1|4294967296|0000000000000000");
}

TEST(NarrowPrintf, CountedAndUnboundedOutput) {
    char buffer[8];
    std::fill_n(buffer, 8, '#');
    EXPECT_EQ(cesim_snprintf(buffer, 3, "%S", L"abc"), 3);
    EXPECT_EQ(std::string(buffer, 4), "abc#");
    std::fill_n(buffer, 8, '#');
    EXPECT_EQ(cesim_snprintf(buffer, 2, "%d", 123), -1);
    EXPECT_EQ(std::string(buffer, 3), "12#");
    EXPECT_EQ(cesim_snprintf(buffer, 8, "%d", 123), 3);
    EXPECT_EQ(std::string(buffer, 4), std::string("123\0", 4));

    char line[64];
    EXPECT_EQ(cesim_sprintf(line, "%s=%S", "key", L"value"), 9);
    EXPECT_STREQ(line, "key=value");
    EXPECT_EQ(VsNarrow(line, "%05.1f|%S", 2.0, L"v"), 7);
    EXPECT_STREQ(line, "002.0|v");
}

// ---- code pages ---------------------------------------------------------------------------

std::u16string ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0) {
    wchar_t buffer[64];
    int length = MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), buffer, 64);
    return U16(buffer, length);
}

std::string ToBytes(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr,
                    const char* defaultChar = nullptr) {
    char buffer[64];
    int length = WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(text.data()),
                                     int(text.size()), buffer, 64, defaultChar, usedDefault);
    return std::string(buffer, length);
}

TEST(CodePages, Oem437KnownPoints) {
    EXPECT_EQ(ToWide(CP_OEMCP, "A\x01\x80\xE1\xB0\x9E\xFF"), u"A\x01Çß░₧\xA0");
    EXPECT_EQ(ToBytes(437, u"Çß░é"), "\x80\xE1\xB0\x82");
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToBytes(CP_OEMCP, u"é€", &usedDefault), "\x82?");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePages, Windows1252KnownPoints) {
    EXPECT_EQ(ToWide(CP_ACP, "\x80\x81\x8C\x9F\xE9z"), u"€\x81ŒŸéz");
    EXPECT_EQ(ToWide(1252, "\x80"), u"€");
    BOOL usedDefault = TRUE;
    EXPECT_EQ(ToBytes(CP_ACP, u"Œ€é", &usedDefault), "\x8C\x80\xE9");
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(ToBytes(CP_ACP, u"░\xD83D\xDE00", &usedDefault, "#"), "###");
    EXPECT_TRUE(usedDefault);
}

TEST(CodePages, SingleBytePagesRoundTripEveryByte) {
    for (UINT codePage : {UINT(CP_ACP), UINT(CP_OEMCP)}) {
        std::string bytes;
        for (int b = 1; b < 256; ++b)
            bytes += static_cast<char>(b);
        wchar_t wide[256];
        ASSERT_EQ(MultiByteToWideChar(codePage, MB_PRECOMPOSED, bytes.data(), 255, wide, 256), 255);
        EXPECT_EQ(std::set<wchar_t>(wide, wide + 255).size(), 255u) << codePage;
        char back[256];
        BOOL usedDefault = TRUE;
        ASSERT_EQ(WideCharToMultiByte(codePage, 0, wide, 255, back, 256, nullptr, &usedDefault),
                  255);
        EXPECT_EQ(std::string(back, 255), bytes) << codePage;
        EXPECT_FALSE(usedDefault);
    }
}

TEST(CodePages, Utf8) {
    const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(ToWide(CP_UTF8, bytes), u"aé€\U0001F600");
    EXPECT_EQ(ToBytes(CP_UTF8, u"aé€\U0001F600"), bytes);
    // Malformed input becomes U+FFFD, one for each broken sequence.
    EXPECT_EQ(ToWide(CP_UTF8, "a\xC3(\xE2\x82"), u"a\xFFFD(\xFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF|\xED\xA0\x80|\xF4\x90"),
              u"\xFFFD\xFFFD|\xFFFD\xFFFD\xFFFD|\xFFFD\xFFFD");
    EXPECT_EQ(ToBytes(CP_UTF8, u"x\xDC00y\xD800"), "x\xEF\xBF\xBDy\xEF\xBF\xBD");

    SetLastError(0);
    EXPECT_EQ(ToWide(CP_UTF8, "a\xFF", MB_ERR_INVALID_CHARS), u"");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    char out[8];
    SetLastError(0);
    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, L"\xD800", 1, out, 8, nullptr, nullptr),
        0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(CodePages, MinusOneLengthCountsTheTerminator) {
    wchar_t wide[8];
    std::fill_n(wide, 8, kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 8), 4);
    EXPECT_EQ(U16(wide, 5), std::u16string(u"abc\0", 4) + char16_t(kSentinel));
    std::fill_n(wide, 8, kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 8), 3);
    EXPECT_EQ(wide[3], kSentinel);

    char bytes[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\x20AC", -1, bytes, 8, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(bytes, 4), std::string("\xE2\x82\xAC\0", 4));
}

TEST(CodePages, SizeQueryAndTooSmallBuffers) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xE2\x82\xAC", -1, nullptr, 0), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a\x20AC", -1, nullptr, 0, nullptr, nullptr), 5);
    EXPECT_EQ(WideCharToMultiByte(CP_OEMCP, 0, L"abc", 3, nullptr, 0, nullptr, nullptr), 3);

    wchar_t wide[4];
    char bytes[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a\x20AC", 2, bytes, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a\x20AC", 2, bytes, 4, nullptr, nullptr), 4);
}

TEST(CodePages, InvalidArgumentsFail) {
    wchar_t wide[4];
    char bytes[4];
    BOOL usedDefault;
    struct Case {
        std::function<int()> call;
        DWORD error;
    } cases[] = {
        {[&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 4); },
         ERROR_INVALID_PARAMETER},
        {[&] { return MultiByteToWideChar(932, 0, "abc", 3, wide, 4); }, ERROR_INVALID_PARAMETER},
        {[&] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 4); },
         ERROR_INVALID_PARAMETER},
        {[&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 4); },
         ERROR_INVALID_PARAMETER},
        {[&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, wide, 4); },
         ERROR_INVALID_FLAGS},
        {[&] { return WideCharToMultiByte(CP_ACP, 0, L"abc", 0, bytes, 4, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {[&] { return WideCharToMultiByte(CP_ACP, 0, L"abc", 3, bytes, -1, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {[&] {
             return WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, bytes, 4, nullptr, &usedDefault);
         },
         ERROR_INVALID_PARAMETER},
        {[&] {
             return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, L"abc", 3, bytes, 4, nullptr,
                                        nullptr);
         },
         ERROR_INVALID_FLAGS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        SetLastError(0);
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

} // namespace
