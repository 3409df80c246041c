// The device's C runtime where glibc's differs: 16-bit wide strings, Microsoft printf rules
// and the code pages of a Western-European device.
//
// Nothing here calls glibc's wide functions: they take a 32-bit wchar_t, and every object of
// the simulated device is built with a 16-bit one.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

// ---- characters -------------------------------------------------------------------------

uint16_t Unit(wchar_t c) {
    return static_cast<uint16_t>(c);
}

bool InRange(uint16_t c, uint16_t first, uint16_t last) {
    return c >= first && c <= last;
}

// Latin Extended-A pairs each capital with the next code point; which of the two is the
// capital flips twice across the block.
bool LatinExtendedCapital(uint16_t c) {
    if (InRange(c, 0x0100, 0x012F) || InRange(c, 0x0132, 0x0137) || InRange(c, 0x014A, 0x0177))
        return c % 2 == 0;
    if (InRange(c, 0x0139, 0x0148) || InRange(c, 0x0179, 0x017E))
        return c % 2 == 1;
    return false;
}

bool LatinExtendedSmall(uint16_t c) {
    return c > 0x0100 && LatinExtendedCapital(c - 1);
}

uint16_t ToLower(uint16_t c) {
    if (InRange(c, 'A', 'Z'))
        return c + 0x20;
    if (c < 0x80)
        return c;
    if (InRange(c, 0x00C0, 0x00DE) && c != 0x00D7)
        return c + 0x20;
    if (c == 0x0178)
        return 0x00FF;
    if (LatinExtendedCapital(c))
        return c + 1;
    if (InRange(c, 0x0391, 0x03A9) && c != 0x03A2)
        return c + 0x20;
    if (c == 0x0386)
        return 0x03AC;
    if (InRange(c, 0x0388, 0x038A))
        return c + 0x25;
    if (c == 0x038C)
        return 0x03CC;
    if (InRange(c, 0x038E, 0x038F))
        return c + 0x3F;
    if (InRange(c, 0x0410, 0x042F))
        return c + 0x20;
    if (InRange(c, 0x0400, 0x040F))
        return c + 0x50;
    if (InRange(c, 0xFF21, 0xFF3A))
        return c + 0x20;
    return c;
}

uint16_t ToUpper(uint16_t c) {
    if (InRange(c, 'a', 'z'))
        return c - 0x20;
    if (c < 0x80)
        return c;
    if (InRange(c, 0x00E0, 0x00FE) && c != 0x00F7)
        return c - 0x20;
    if (c == 0x00FF)
        return 0x0178;
    if (LatinExtendedSmall(c))
        return c - 1;
    if (InRange(c, 0x03B1, 0x03C9) && c != 0x03C2)
        return c - 0x20;
    if (c == 0x03C2) // final sigma
        return 0x03A3;
    if (c == 0x03AC)
        return 0x0386;
    if (InRange(c, 0x03AD, 0x03AF))
        return c - 0x25;
    if (c == 0x03CC)
        return 0x038C;
    if (InRange(c, 0x03CD, 0x03CE))
        return c - 0x3F;
    if (InRange(c, 0x0430, 0x044F))
        return c - 0x20;
    if (InRange(c, 0x0450, 0x045F))
        return c - 0x50;
    if (InRange(c, 0xFF41, 0xFF5A))
        return c - 0x20;
    return c;
}

bool IsSpace(uint16_t c) {
    return InRange(c, 0x09, 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 ||
           InRange(c, 0x2000, 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

int DigitValue(uint16_t c) {
    if (InRange(c, '0', '9'))
        return c - '0';
    if (InRange(c, 'a', 'z'))
        return c - 'a' + 10;
    if (InRange(c, 'A', 'Z'))
        return c - 'A' + 10;
    return INT_MAX;
}

int Sign(int difference) {
    return (difference > 0) - (difference < 0);
}

// ---- printf -----------------------------------------------------------------------------

// The C runtime's printf and user32's wsprintf read the same format language, but wsprintf
// knows fewer flags, no '*' and no floating point.
enum class Dialect { Crt, User32 };

enum class Size { Default, Short, Int64, Pointer };

struct Conversion {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1; // none given
    Size size = Size::Default;
    bool narrow = false; // 'h': %s and %c take a char
    bool wide = false;   // 'l' or 'w': %s and %c take a wchar_t
    bool longDouble = false;
};

// va_list may be an array type; wrapping it lets helpers take it by reference.
struct Args {
    va_list list;
};

// Counts every character produced, stores those that fit.
template <typename Char> class Output {
public:
    Output(Char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Put(Char c) {
        if (length_ < capacity_)
            buffer_[length_] = c;
        ++length_;
    }

    void Repeat(Char c, size_t count) {
        if (length_ < capacity_)
            std::fill_n(buffer_ + length_, std::min(count, capacity_ - length_), c);
        length_ += count;
    }

    size_t Length() const { return length_; }

private:
    Char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

template <typename Char> constexpr bool IsWide() {
    return sizeof(Char) == sizeof(wchar_t);
}

// One code unit of either width as a character of the output: narrow output keeps Latin-1
// and replaces the rest.
template <typename Char> Char FromUnit(uint16_t unit) {
    if (IsWide<Char>())
        return static_cast<Char>(unit);
    return static_cast<Char>(unit < 0x100 ? unit : '?');
}

uint16_t ToUnit(char c) {
    return static_cast<unsigned char>(c);
}
uint16_t ToUnit(wchar_t c) {
    return Unit(c);
}

template <typename Char> const Char* ParseCount(const Char* p, int* value) {
    int n = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        n = n > (INT_MAX - 9) / 10 ? INT_MAX : n * 10 + (*p - '0');
    *value = n;
    return p;
}

template <typename Char> void Pad(Output<Char>& out, int width, size_t length, Char fill) {
    if (width > 0 && length < static_cast<size_t>(width))
        out.Repeat(fill, width - length);
}

template <typename Char, typename Source>
void EmitText(Output<Char>& out, const Conversion& conv, const Source* text, Dialect dialect) {
    size_t length = 0;
    while ((conv.precision < 0 || length < static_cast<size_t>(conv.precision)) && text[length])
        ++length;
    // The C runtime pads text with zeros too when asked to; wsprintf does not.
    Char fill = dialect == Dialect::Crt && conv.zero && !conv.left ? '0' : ' ';
    if (!conv.left)
        Pad(out, conv.width, length, fill);
    for (size_t i = 0; i < length; ++i)
        out.Put(FromUnit<Char>(ToUnit(text[i])));
    if (conv.left)
        Pad(out, conv.width, length, Char(' '));
}

template <typename Char>
void EmitCharacter(Output<Char>& out, const Conversion& conv, uint16_t unit, Dialect dialect) {
    Char fill = dialect == Dialect::Crt && conv.zero && !conv.left ? '0' : ' ';
    if (!conv.left)
        Pad(out, conv.width, 1, fill);
    out.Put(FromUnit<Char>(unit));
    if (conv.left)
        Pad(out, conv.width, 1, Char(' '));
}

struct Integer {
    uint64_t magnitude = 0;
    bool negative = false;
    bool isSigned = false;
    unsigned radix = 10;
    bool upper = false;
};

template <typename Char>
void EmitInteger(Output<Char>& out, const Conversion& conv, const Integer& number, Dialect dialect) {
    const char* digitSet = number.upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    size_t count = 0;
    for (uint64_t v = number.magnitude; v != 0; v /= number.radix)
        digits[count++] = digitSet[v % number.radix];

    size_t precision = conv.precision < 0 ? 1 : conv.precision;
    size_t zeros = precision > count ? precision - count : 0;
    if (number.radix == 8 && conv.alternate && zeros == 0)
        zeros = 1;

    char prefix[3];
    size_t prefixLength = 0;
    if (number.isSigned) {
        if (number.negative)
            prefix[prefixLength++] = '-';
        else if (conv.plus)
            prefix[prefixLength++] = '+';
        else if (conv.space)
            prefix[prefixLength++] = ' ';
    }
    // The C runtime leaves the 0x off a zero, wsprintf does not.
    if (number.radix == 16 && conv.alternate &&
        (number.magnitude != 0 || dialect == Dialect::User32)) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = number.upper ? 'X' : 'x';
    }

    // A precision turns the 0 flag off.
    bool zeroPad = conv.zero && !conv.left && conv.precision < 0;
    size_t length = prefixLength + zeros + count;
    if (!conv.left && !zeroPad)
        Pad(out, conv.width, length, Char(' '));
    for (size_t i = 0; i < prefixLength; ++i)
        out.Put(prefix[i]);
    if (zeroPad)
        Pad(out, conv.width, length, Char('0'));
    out.Repeat('0', zeros);
    while (count > 0)
        out.Put(digits[--count]);
    if (conv.left)
        Pad(out, conv.width, length, Char(' '));
}

int64_t ReadSigned(Args& args, Size size) {
    switch (size) {
    case Size::Short:
        return static_cast<int16_t>(va_arg(args.list, int));
    case Size::Int64:
        return va_arg(args.list, long long);
    case Size::Pointer:
        return va_arg(args.list, intptr_t);
    default:
        return va_arg(args.list, int);
    }
}

uint64_t ReadUnsigned(Args& args, Size size) {
    switch (size) {
    case Size::Short:
        return static_cast<uint16_t>(va_arg(args.list, unsigned));
    case Size::Int64:
        return va_arg(args.list, unsigned long long);
    case Size::Pointer:
        return va_arg(args.list, uintptr_t);
    default:
        return va_arg(args.list, unsigned);
    }
}

// Floating point goes through the host's snprintf, with the exponent widened to the three
// digits the Microsoft runtime always prints.
template <typename Char>
void EmitFloat(Output<Char>& out, const Conversion& conv, char conversion, double value) {
    std::string format = "%";
    if (conv.plus)
        format += '+';
    else if (conv.space)
        format += ' ';
    if (conv.alternate)
        format += '#';
    if (conv.precision >= 0)
        format += "." + std::to_string(conv.precision);
    format += conversion;

    int length = std::snprintf(nullptr, 0, format.c_str(), value);
    if (length < 0)
        return;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), format.c_str(), value);
    text.resize(length);

    bool finite = std::isfinite(value);
    size_t exponent = text.find_first_of("eE");
    if (finite && exponent != std::string::npos && conversion != 'f') {
        size_t digits = text.size() - (exponent + 2);
        if (digits < 3)
            text.insert(exponent + 2, 3 - digits, '0');
    }

    size_t signLength = !text.empty() && (text[0] == '-' || text[0] == '+' || text[0] == ' ');
    bool zeroPad = conv.zero && !conv.left && finite;
    if (!conv.left && !zeroPad)
        Pad(out, conv.width, text.size(), Char(' '));
    for (size_t i = 0; i < signLength; ++i)
        out.Put(text[i]);
    if (zeroPad)
        Pad(out, conv.width, text.size(), Char('0'));
    for (size_t i = signLength; i < text.size(); ++i)
        out.Put(text[i]);
    if (conv.left)
        Pad(out, conv.width, text.size(), Char(' '));
}

// Whether %c or %s (or %C, %S) reads a wide argument.
template <typename Char> bool TakesWide(const Conversion& conv, Char conversion) {
    if (conv.narrow)
        return false;
    if (conv.wide)
        return true;
    bool otherWidth = conversion == 'C' || conversion == 'S';
    return IsWide<Char>() != otherWidth;
}

// Formats one conversion; false for a character that names none, which then prints as
// itself, the way both runtimes treat it.
template <typename Char>
bool Convert(Output<Char>& out, const Conversion& conv, Char conversion, Args& args, Dialect dialect) {
    static const char kNull[] = "(null)";
    static const wchar_t kNullWide[] = L"(null)";
    bool crt = dialect == Dialect::Crt;
    Integer number;
    switch (conversion) {
    case 'd':
    case 'i': {
        int64_t value = ReadSigned(args, conv.size);
        number.isSigned = true;
        number.negative = value < 0;
        number.magnitude = number.negative ? 0 - static_cast<uint64_t>(value) : value;
        EmitInteger(out, conv, number, dialect);
        return true;
    }
    case 'o':
        if (!crt)
            return false;
        number.radix = 8;
        number.magnitude = ReadUnsigned(args, conv.size);
        EmitInteger(out, conv, number, dialect);
        return true;
    case 'u':
    case 'x':
    case 'X':
        number.radix = conversion == 'u' ? 10 : 16;
        number.upper = conversion == 'X';
        number.magnitude = ReadUnsigned(args, conv.size);
        EmitInteger(out, conv, number, dialect);
        return true;
    case 'p': {
        // The full pointer in capitals, as many digits as the pointer has.
        Conversion pointer = conv;
        pointer.precision = 2 * sizeof(void*);
        number.radix = 16;
        number.upper = true;
        number.magnitude = reinterpret_cast<uintptr_t>(va_arg(args.list, void*));
        EmitInteger(out, pointer, number, dialect);
        return true;
    }
    case 'c':
    case 'C': {
        int value = va_arg(args.list, int);
        uint16_t unit = TakesWide(conv, conversion) ? static_cast<uint16_t>(value)
                                                    : static_cast<unsigned char>(value);
        EmitCharacter(out, conv, unit, dialect);
        return true;
    }
    case 's':
    case 'S':
        if (TakesWide(conv, conversion)) {
            const wchar_t* text = va_arg(args.list, const wchar_t*);
            EmitText(out, conv, text ? text : kNullWide, dialect);
        } else {
            const char* text = va_arg(args.list, const char*);
            EmitText(out, conv, text ? text : kNull, dialect);
        }
        return true;
    case 'e':
    case 'E':
    case 'f':
    case 'g':
    case 'G': {
        if (!crt)
            return false;
        // The device's long double is its double.
        double value = conv.longDouble ? static_cast<double>(va_arg(args.list, long double))
                                       : va_arg(args.list, double);
        EmitFloat(out, conv, static_cast<char>(conversion), value);
        return true;
    }
    default:
        return false;
    }
}

template <typename Char>
const Char* ParseSpec(const Char* p, Conversion& conv, Args& args, Dialect dialect) {
    bool crt = dialect == Dialect::Crt;
    for (;; ++p) {
        if (*p == '-')
            conv.left = true;
        else if (*p == '#')
            conv.alternate = true;
        else if (*p == '0')
            conv.zero = true;
        else if (crt && *p == '+')
            conv.plus = true;
        else if (crt && *p == ' ')
            conv.space = true;
        else
            break;
    }
    if (crt && *p == '*') {
        int width = va_arg(args.list, int);
        if (width < 0) {
            conv.left = true;
            width = width == INT_MIN ? INT_MAX : -width;
        }
        conv.width = width;
        ++p;
    } else {
        p = ParseCount(p, &conv.width);
    }
    if (*p == '.') {
        ++p;
        if (crt && *p == '*') {
            int precision = va_arg(args.list, int);
            conv.precision = precision < 0 ? -1 : precision;
            ++p;
        } else {
            p = ParseCount(p, &conv.precision);
        }
    }
    for (bool sawLong = false;; ++p) {
        if (*p == 'h') {
            conv.narrow = true;
            conv.size = Size::Short;
        } else if (*p == 'l') {
            // l is the device's 32-bit long; ll is 64 bits.
            conv.size = sawLong ? Size::Int64 : Size::Default;
            conv.wide = true;
            sawLong = true;
        } else if (*p == 'w') {
            conv.wide = true;
        } else if (crt && *p == 'L') {
            conv.longDouble = true;
        } else if (*p == 'I') {
            if (p[1] == '6' && p[2] == '4') {
                conv.size = Size::Int64;
                p += 2;
            } else if (p[1] == '3' && p[2] == '2') {
                conv.size = Size::Default;
                p += 2;
            } else {
                conv.size = Size::Pointer;
            }
        } else {
            return p;
        }
    }
}

template <typename Char>
size_t FormatTo(Output<Char>& out, const Char* format, va_list source, Dialect dialect) {
    Args args;
    va_copy(args.list, source);
    const Char* p = format;
    while (*p) {
        if (*p != '%') {
            out.Put(*p++);
            continue;
        }
        Conversion conv;
        p = ParseSpec(p + 1, conv, args, dialect);
        if (!*p)
            break; // an unfinished conversion at the end prints nothing
        if (!Convert(out, conv, *p, args, dialect))
            out.Put(*p);
        ++p;
    }
    va_end(args.list);
    return out.Length();
}

template <typename Char>
int FormatBounded(Char* buffer, size_t count, const Char* format, va_list args) {
    if (!format || (!buffer && count > 0)) {
        errno = EINVAL;
        return -1;
    }
    Output<Char> out(buffer, count);
    size_t length = FormatTo(out, format, args, Dialect::Crt);
    if (length < count) {
        buffer[length] = 0;
        return static_cast<int>(length);
    }
    return length == count && length <= INT_MAX ? static_cast<int>(length) : -1;
}

template <typename Char> int FormatUnbounded(Char* buffer, const Char* format, va_list args) {
    if (!buffer || !format) {
        errno = EINVAL;
        return -1;
    }
    Output<Char> out(buffer, SIZE_MAX);
    size_t length = FormatTo(out, format, args, Dialect::Crt);
    buffer[length] = 0;
    return length <= INT_MAX ? static_cast<int>(length) : -1;
}

// ---- code pages -------------------------------------------------------------------------

// Windows-1252 from 0x80 to 0x9F; the five bytes the page leaves undefined map to the C1
// controls of the same value, as Windows maps them. 0xA0 to 0xFF are Latin-1.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

// Code page 437 from 0x80 to 0xFF. Below 0x80 it is ASCII: Windows maps the control bytes to
// controls, not to the PC's glyphs.
constexpr uint16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // F8
};

enum class Page { Windows1252, Oem437, Utf8, Unknown };

Page ResolvePage(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case 1252:
        return Page::Windows1252;
    case CP_OEMCP:
    case 437:
        return Page::Oem437;
    case CP_UTF8:
        return Page::Utf8;
    default:
        return Page::Unknown;
    }
}

uint16_t ByteToUnit(Page page, unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (page == Page::Oem437)
        return kCodePage437[byte - 0x80];
    return byte < 0xA0 ? kWindows1252[byte - 0x80] : byte;
}

// The byte for a code unit, or -1 when the page has none.
int UnitToByte(Page page, uint16_t unit) {
    if (unit < 0x80)
        return unit;
    if (page == Page::Windows1252 && InRange(unit, 0xA0, 0xFF))
        return unit;
    const uint16_t* table = page == Page::Oem437 ? kCodePage437 : kWindows1252;
    size_t size = page == Page::Oem437 ? 128 : 32;
    const uint16_t* found = std::find(table, table + size, unit);
    return found == table + size ? -1 : static_cast<int>(0x80 + (found - table));
}

// Counts what a conversion produces and stores what fits; a capacity of 0 only counts.
template <typename T> class Sized {
public:
    Sized(T* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

    void Put(T value) {
        if (length_ < capacity_)
            buffer_[length_] = value;
        ++length_;
    }

    // The Win32 result: the length, or 0 with ERROR_INSUFFICIENT_BUFFER.
    int Result() const {
        if (capacity_ > 0 && length_ > static_cast<size_t>(capacity_)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        return static_cast<int>(length_);
    }

private:
    T* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence from s[0..n). Returns the bytes consumed; a malformed sequence
// consumes its longest valid beginning (at least one byte) and yields false.
size_t DecodeUtf8(const unsigned char* s, size_t n, uint32_t* codePoint, bool* valid) {
    unsigned lead = s[0];
    *valid = false;
    if (lead < 0x80) {
        *codePoint = lead;
        *valid = true;
        return 1;
    }
    size_t trail;
    unsigned low = 0x80, high = 0xBF;
    uint32_t value;
    if (InRange(lead, 0xC2, 0xDF)) {
        trail = 1;
        value = lead & 0x1F;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        // No overlong forms and no encoded surrogates.
        trail = 2;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        trail = 3;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    for (size_t i = 1; i <= trail; ++i) {
        if (i >= n || s[i] < low || s[i] > high)
            return i;
        value = value << 6 | (s[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    *codePoint = value;
    *valid = true;
    return trail + 1;
}

int DecodeToWide(Page page, DWORD flags, const unsigned char* text, size_t length,
                 Sized<wchar_t>& out) {
    if (page != Page::Utf8) {
        for (size_t i = 0; i < length; ++i)
            out.Put(static_cast<wchar_t>(ByteToUnit(page, text[i])));
        return out.Result();
    }
    for (size_t i = 0; i < length;) {
        uint32_t codePoint = kReplacement;
        bool valid;
        i += DecodeUtf8(text + i, length - i, &codePoint, &valid);
        if (!valid) {
            if (flags & MB_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            codePoint = kReplacement;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out.Put(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
            out.Put(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out.Put(static_cast<wchar_t>(codePoint));
        }
    }
    return out.Result();
}

int EncodeUtf8(DWORD flags, const wchar_t* text, size_t length, Sized<char>& out) {
    for (size_t i = 0; i < length; ++i) {
        uint32_t codePoint = Unit(text[i]);
        if (InRange(codePoint, 0xD800, 0xDBFF) && i + 1 < length &&
            InRange(Unit(text[i + 1]), 0xDC00, 0xDFFF)) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (Unit(text[i + 1]) - 0xDC00);
            ++i;
        } else if (InRange(codePoint, 0xD800, 0xDFFF)) {
            if (flags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            codePoint = kReplacement;
        }
        if (codePoint < 0x80) {
            out.Put(static_cast<char>(codePoint));
        } else if (codePoint < 0x800) {
            out.Put(static_cast<char>(0xC0 | codePoint >> 6));
            out.Put(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else if (codePoint < 0x10000) {
            out.Put(static_cast<char>(0xE0 | codePoint >> 12));
            out.Put(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
            out.Put(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else {
            out.Put(static_cast<char>(0xF0 | codePoint >> 18));
            out.Put(static_cast<char>(0x80 | (codePoint >> 12 & 0x3F)));
            out.Put(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
            out.Put(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
    }
    return out.Result();
}

} // namespace

extern "C" {

// ---- strings ------------------------------------------------------------------------------

size_t cesim_wcslen(const wchar_t* s) {
    const wchar_t* p = s;
    while (*p)
        ++p;
    return p - s;
}

wchar_t* cesim_wcscpy(wchar_t* d, const wchar_t* s) {
    wchar_t* p = d;
    while ((*p++ = *s++) != 0) {
    }
    return d;
}

wchar_t* cesim_wcsncpy(wchar_t* d, const wchar_t* s, size_t n) {
    size_t i = 0;
    for (; i < n && s[i]; ++i)
        d[i] = s[i];
    for (; i < n; ++i)
        d[i] = 0;
    return d;
}

wchar_t* cesim_wcscat(wchar_t* d, const wchar_t* s) {
    cesim_wcscpy(d + cesim_wcslen(d), s);
    return d;
}

int cesim_wcscmp(const wchar_t* a, const wchar_t* b) {
    return cesim_wcsncmp(a, b, SIZE_MAX);
}

int cesim_wcsncmp(const wchar_t* a, const wchar_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return Sign(Unit(a[i]) - Unit(b[i]));
        if (!a[i])
            break;
    }
    return 0;
}

int cesim_wcsicmp(const wchar_t* a, const wchar_t* b) {
    return cesim_wcsnicmp(a, b, SIZE_MAX);
}

// Both sides fold to lower case, so '_' sorts before letters as it does on Windows.
int cesim_wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint16_t x = ToLower(Unit(a[i]));
        uint16_t y = ToLower(Unit(b[i]));
        if (x != y)
            return Sign(x - y);
        if (!x)
            break;
    }
    return 0;
}

wchar_t* cesim_wcschr(const wchar_t* s, wchar_t c) {
    for (;; ++s) {
        if (*s == c)
            return const_cast<wchar_t*>(s);
        if (!*s)
            return nullptr;
    }
}

wchar_t* cesim_wcsrchr(const wchar_t* s, wchar_t c) {
    const wchar_t* last = nullptr;
    for (;; ++s) {
        if (*s == c)
            last = s;
        if (!*s)
            return const_cast<wchar_t*>(last);
    }
}

wchar_t* cesim_wcsstr(const wchar_t* s, const wchar_t* find) {
    size_t length = cesim_wcslen(find);
    for (; *s; ++s) {
        if (cesim_wcsncmp(s, find, length) == 0)
            return const_cast<wchar_t*>(s);
    }
    return length == 0 ? const_cast<wchar_t*>(s) : nullptr;
}

wchar_t* cesim_wcsdup(const wchar_t* s) {
    if (!s)
        return nullptr;
    size_t size = (cesim_wcslen(s) + 1) * sizeof(wchar_t);
    // From the program's heap, so the program's free() takes it back.
    wchar_t* copy = static_cast<wchar_t*>(cesim_malloc(size));
    if (copy)
        std::memcpy(copy, s, size);
    return copy;
}

int32_t cesim_wcstol(const wchar_t* s, wchar_t** end, int base) {
    if (end)
        *end = const_cast<wchar_t*>(s);
    if (base != 0 && (base < 2 || base > 36)) {
        errno = EINVAL;
        return 0;
    }
    const wchar_t* p = s;
    while (IsSpace(Unit(*p)))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (base == 0)
        base = hexPrefix ? 16 : p[0] == '0' ? 8 : 10;
    // Microsoft's runtime takes the 0x whether or not a digit follows; with none, nothing
    // was read and end stays at the start.
    if (base == 16 && hexPrefix)
        p += 2;

    const uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    uint64_t value = 0;
    bool any = false;
    bool overflow = false;
    for (; DigitValue(Unit(*p)) < base; ++p) {
        any = true;
        value = value * base + DigitValue(Unit(*p));
        if (value > limit) {
            overflow = true;
            value = limit;
        }
    }
    if (!any)
        return 0;
    if (end)
        *end = const_cast<wchar_t*>(p);
    if (overflow) {
        errno = ERANGE;
        return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(value)
                                         : static_cast<int64_t>(value));
}

int cesim_wtoi(const wchar_t* s) {
    return cesim_wcstol(s, nullptr, 10);
}

wchar_t cesim_towlower(wchar_t c) {
    return static_cast<wchar_t>(ToLower(Unit(c)));
}

wchar_t cesim_towupper(wchar_t c) {
    return static_cast<wchar_t>(ToUpper(Unit(c)));
}

int cesim_iswspace(wchar_t c) {
    return IsSpace(Unit(c));
}

int cesim_iswdigit(wchar_t c) {
    return InRange(Unit(c), '0', '9');
}

// ---- printf -------------------------------------------------------------------------------

int cesim_vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
    return FormatBounded(buffer, count, format, args);
}

int cesim_snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatBounded(buffer, count, format, args);
    va_end(args);
    return result;
}

int cesim_swprintf(wchar_t* buffer, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatUnbounded(buffer, format, args);
    va_end(args);
    return result;
}

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
    // user32 formats into at most 1024 characters, the terminator included.
    const size_t kLimit = 1024;
    if (!buffer || !format)
        return 0;
    Output<wchar_t> out(buffer, kLimit - 1);
    size_t length = std::min(FormatTo(out, format, args, Dialect::User32), kLimit - 1);
    buffer[length] = 0;
    return static_cast<int>(length);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    va_list args;
    va_start(args, format);
    int result = wvsprintfW(buffer, format, args);
    va_end(args);
    return result;
}

int cesim_vsprintf(char* buffer, const char* format, va_list args) {
    return FormatUnbounded(buffer, format, args);
}

int cesim_sprintf(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatUnbounded(buffer, format, args);
    va_end(args);
    return result;
}

int cesim_vsnprintf(char* buffer, size_t count, const char* format, va_list args) {
    return FormatBounded(buffer, count, format, args);
}

int cesim_snprintf(char* buffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = FormatBounded(buffer, count, format, args);
    va_end(args);
    return result;
}

// ---- code pages ---------------------------------------------------------------------------

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteText, int multiByteLength,
                        LPWSTR wideText, int wideSize) {
    Page page = ResolvePage(codePage);
    if (!multiByteText || multiByteLength == 0 || multiByteLength < -1 || wideSize < 0 ||
        (wideSize > 0 && !wideText) || page == Page::Unknown) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (page == Page::Utf8 && (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t length = multiByteLength == -1 ? std::strlen(multiByteText) + 1 : multiByteLength;
    Sized<wchar_t> out(wideText, wideSize);
    return DecodeToWide(page, flags, reinterpret_cast<const unsigned char*>(multiByteText), length,
                        out);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCSTR defaultChar,
                        BOOL* usedDefaultChar) {
    Page page = ResolvePage(codePage);
    if (!wideText || wideLength == 0 || wideLength < -1 || multiByteSize < 0 ||
        (multiByteSize > 0 && !multiByteText) || page == Page::Unknown) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = wideLength == -1 ? cesim_wcslen(wideText) + 1 : wideLength;
    Sized<char> out(multiByteText, multiByteSize);
    if (page == Page::Utf8) {
        // UTF-8 has no default character to report.
        if (defaultChar || usedDefaultChar) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        return EncodeUtf8(flags, wideText, length, out);
    }
    char fallback = defaultChar ? *defaultChar : '?';
    if (usedDefaultChar)
        *usedDefaultChar = FALSE;
    for (size_t i = 0; i < length; ++i) {
        int byte = UnitToByte(page, Unit(wideText[i]));
        if (byte < 0) {
            if (usedDefaultChar)
                *usedDefaultChar = TRUE;
            out.Put(fallback);
        } else {
            out.Put(static_cast<char>(byte));
        }
    }
    return out.Result();
}

} // extern "C"
